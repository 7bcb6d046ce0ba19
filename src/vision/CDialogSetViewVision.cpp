// The camera panel's vision commands: vision test, QR read, get and find
// template; the move that follows a result or a click is started here and
// runs in vision/PanelMove.cpp.
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "core/LogFile.h"
#include "core/MachineState.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MachineGuards.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "link/ProcessCommands.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "platform/NumberFieldReader.h"
#include "platform/SettingsSection.h"
#include "platform/WorkerThreads.h"
#include "settings/SettingsStores.h"
#include "vision/CDialogSetView.h"
#include "vision/CameraCalib.h"
#include "vision/CameraDS.h"
#include "vision/PartRecognizers.h"
#include "vision/RecognitionTypes.h"
#include "vision/QrCodeReader.h"
#include "vision/VisionGlobals.h"
#include "vision/VisionSlots.h"
#include "vision/VisionTemplates.h"
#include "vision/ImageFiles.h"
#include "platform/RefusalTexts.h"

using smt::platform::ShowMessage;
using namespace smt::vision;

namespace {

bool RoleFittedNow(const smt::Machine& machine, int role) {
  switch (role) {
    case 0: return machine.camera.highSpeedMarkCamera.load();
    case 1: return machine.camera.highSpeedVisualCamera1.load();
    case 2: return machine.camera.highSpeedVisualCamera2.load();
    default: return false;
  }
}

std::string Format(const char* fmt, double a, double b, double c, double d = 0, double e = 0) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, a, b, c, d, e);
  return buf;
}

}  // namespace

int CDialogSetView::FeatureTypeFromCombo() const {
  const std::string text = m_comboFeature->currentText().toStdString();
  int t = 0;
  if (text.size() >= 2 && std::isdigit(static_cast<unsigned char>(text[0])) &&
      std::isdigit(static_cast<unsigned char>(text[1])))
    t = (text[0] - '0') * 10 + (text[1] - '0');
  if (t < 0 || t > 17) t = 0;
  return t;
}

CDialogSetView::JobParams CDialogSetView::SnapshotJobParams() const {
  JobParams p;
  p.visualSize = m_VisualSize;
  p.pixelPerMm = m_dPixelPerMm;
  p.contrast = m_Light_Contrast;
  p.binary = m_bBinaryImg;
  p.featureType = FeatureTypeFromCombo();
  p.packageName = neighbours->SelectedFeederPackage();
  p.templateName = m_strTemplateName;
  p.visionMode = machine_.camera.visionMode.load();
  if (p.visionMode == 0) {
    p.colourReversal = neighbours->BoardMark().invert;
  } else {
    p.colourReversal = neighbours->VisualColourReversal();
  }
  p.lensCorrection = neighbours->LensCorrection();
  return p;
}

CDialogSetView::JobParams CDialogSetView::CurrentJobParams() const {
  std::lock_guard lk(m_jobM);
  return m_jobParams;
}

bool CDialogSetView::CheckBoxForCommand(bool templateCommand, bool* directShowChecked) {
  const auto typed = smt::platform::ParseOperatorNumber(m_editVisualSize->text().toStdString());
  if (!typed || *typed < 0) {
    smt::platform::RefuseOperatorNumber(m_editVisualSize, 0, VisualSizeLimit());
    return false;
  }
  const double v = *typed;
  if (v * m_dPixelPerMm > m_nImageHeight) {
    m_editVisualSize->setFocus();
    m_editVisualSize->selectAll();
    ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_VisualSizeTooBig", "视觉尺寸太大 !"));
    return false;
  }
  m_VisualSize = v;
  UpdateViewParameters();
  *directShowChecked = false;
  if (templateCommand && machine_.camera.highSpeedCamera.load() == 0) {
    *directShowChecked = true;
    if (m_VisualSize == 0.0 || m_VisualSize * m_dPixelPerMm > 470) {
      ShowMessage(m_texts["SetView.c_Message_05"]);
      m_editVisualSize->setFocus();
      m_editVisualSize->selectAll();
      return false;
    }
  }
  return true;
}

void CDialogSetView::TakeJobParameters() {
  JobParams p = SnapshotJobParams();
  std::lock_guard lk(m_jobM);
  m_jobParams = std::move(p);
}

void CDialogSetView::QueueOrRunJob(int job) {
  TakeJobParameters();
  const int role = machine_.camera.visionMode.load();
  if (machine_.camera.highSpeedCamera.load() == 1 && RoleFittedNow(machine_, role) && m_engine->HasRole(role)) {
    if (role == 1 && m_engine->TriggerMode(1) != 0) m_engine->SetTriggerMode(1, 0);
    m_engine->Play(role);
    m_engine->RequestJob(role, job, m_nWorkImage.load());
    return;
  }
  const int idx = std::clamp(m_iDirectShowCamera, 0, 7);
  if (!m_pDirectShowCamera[idx]) return;
  StopLiveTimer();
  cv::Mat frame;
  m_pDirectShowCamera[idx]->QueryFrame(frame, std::chrono::milliseconds(2000));
  RunJobOnFrame(job, frame, m_nWorkImage.load());
}

void CDialogSetView::RunJobOnFrame(int job, const cv::Mat& frame, int workImage) {
  switch (job) {
    case kJobVisionTest: RunVisionTest(workImage, frame, true); break;
    case kJobQrRead: ReadQrCode(frame); break;
    case kJobGetTemplate: SaveTemplate(frame); break;
    case kJobFindTemplate: FindTemplate(frame); break;
    default: break;
  }
}

void CDialogSetView::OnBnClickedVisionTest() {
  bool ds = false;
  if (!CheckBoxForCommand(false, &ds)) return;
  if (!smt::link::CheckMachineGuards(machine_, true, true)) return;
  if (machine_.camera.highSpeedCamera.load() == 0 && (m_VisualSize == 0.0 || m_VisualSize * m_dPixelPerMm > 470)) {
    ShowMessage(m_texts["SetView.c_Message_05"]);
    m_editVisualSize->setFocus();
    m_editVisualSize->selectAll();
    return;
  }
  m_bPanelVisionTest = true;
  QueueOrRunJob(kJobVisionTest);
}

void CDialogSetView::OnQrCodeRecognition() {
  if (!smt::link::CheckMachineGuards(machine_, true, true)) return;
  QueueOrRunJob(kJobQrRead);
}

void CDialogSetView::TemplateCommand(int job, const std::string& name) {
  bool ds = false;
  if (!CheckBoxForCommand(true, &ds)) return;
  m_strTemplateName = name;
  QueueOrRunJob(job);
}

void CDialogSetView::RestartLiveTimerAfterVision() {
  auto alive = m_alive;
  smt::platform::PostToGui([this, alive] {
    if (!*alive) return;
    const int hs = machine_.camera.highSpeedCamera.load();
    const int mode = machine_.camera.visionMode.load();
    if (hs == 1 && mode >= 0 && mode <= 2)
      StartLiveTimer(RoleFittedNow(machine_, mode) ? 100 : 40);
    else if (hs == 0)
      StartLiveTimer(40);
  });
}

bool CDialogSetView::RunVisionTest(int n, const cv::Mat& frame, bool moveAfter) {
  const JobParams p = CurrentJobParams();
  if (!frame.empty()) {
    if (m_bPanelVisionTest.exchange(false)) smt::vision::WriteImageFile("test picture.jpg", frame);
    cv::Mat work = frame.clone();
    if (p.visionMode == 2 && p.lensCorrection) {
      cv::Mat corrected;
      if (machine_.Part<CCameraCalib>().Undistort(corrected, frame)) work = corrected;
    }
    const auto table = smt::settings::SettingsStores::Of(machine_).machine.Geometry()->table;
    auto visualError = [&] {
      InfoLine(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_VisualError", "视觉识别失败 !"));
      CLogFile::Instance().Write(true, "Visual Error !");
      if (n == m_nReferenceHead.load()) m_nReferenceMoveX = 0;
    };
    auto moveChecks = [&]() -> bool {
      if (!moveAfter) return true;
      if (!smt::link::CheckMachineGuards(machine_, true, true)) return false;
      StartPanelMove(1);
      return true;
    };
    if (p.visionMode == 1 || p.visionMode == 2) {
      double dx = 0, dy = 0, da = 0;
      const cv::RotatedRect r = RecognizeSpecialPart(n, work, p.contrast, p.colourReversal, p.featureType,
                                                     p.packageName, p.visualSize, p.pixelPerMm, 0.0, 0.0, dx, dy,
                                                     da, p.binary);
      if (IsNotFound(r)) {
        visualError();
      } else {
        m_nMoveX = static_cast<int>(dx * table.dXPulse);
        m_nMoveY = static_cast<int>(dy * table.dYPulse);
        m_nMoveZ = -static_cast<int>(da * table.dAPulse);
        if (n == m_nReferenceHead.load()) m_nReferenceMoveX = m_nMoveX.load();
        if (!moveChecks()) return false;
        const double w = r.size.width / p.pixelPerMm, h = r.size.height / p.pixelPerMm;
        m_dPartWidth = w;
        m_dPartHeight = h;
        InfoLine(Format("Visual: X = %0.4f，Y = %0.4f，A = %0.4f，W = %0.2f，H = %0.2f", dx, dy, da, w, h));
        CLogFile::Instance().Write(true, "%s", Format("X = %0.4f，Y = %0.4f，A = %0.4f，W = %0.2f，H = %0.2f", dx, dy, da, w, h).c_str());
      }
    } else if (p.visionMode == 0) {
      double dx = 0, dy = 0;
      const CircleResult c = RecognizePart(work, p.contrast, p.colourReversal, p.visualSize, p.pixelPerMm, dx, dy,
                                           p.binary);
      if (!c.found || c.x == -1.0f || !(c.radius < p.pixelPerMm * p.visualSize * 0.5)) {
        visualError();
      } else {
        m_nMoveX = static_cast<int>(dx * table.dXPulse);
        m_nMoveY = static_cast<int>(dy * table.dYPulse);
        m_nMoveZ = 0;
        if (!moveChecks()) return false;
        const double d = c.radius * 2.0 / p.pixelPerMm;
        const std::string line = Format("Mark: X = %0.4f，Y = %0.4f，D = %0.4f", dx, dy, d);
        InfoLine(line);
        CLogFile::Instance().Write(true, "%s", line.c_str());
      }
    }
  }
  RestartLiveTimerAfterVision();
  return false;
}

void CDialogSetView::ReadQrCode(const cv::Mat& frame) {
  // Without the network models the reader still reads (classic detection);
  // only a reader that could not be built at all refuses.
  if (CurrentQrReaderMode() == QrReaderMode::Off) {
    ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_QrModelFailed", "二维码识别模型加载失败 !"));
    return;
  }
  std::vector<std::string> texts;
  ReadQrCodes(frame.clone(), texts);
  if (texts.empty()) {
    // Said where the operator looks, also with the information switch off;
    // a reader without its models says that it reads less well.
    std::string said = smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_QrCodeError", "没有读到二维码 !");
    if (CurrentQrReaderMode() == QrReaderMode::WithoutModels)
      said += " " + smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_QrWithoutModels",
                                              "（二维码识别模型没有加载，只用基本识别。）");
    smt::link::RuntimeOf(machine_).Hooks().ShowNotice(said);
    return;
  }
  for (const auto& t : texts) InfoLine(t);
}

bool CDialogSetView::SaveTemplate(const cv::Mat& frame) {
  const JobParams p = CurrentJobParams();
  cv::Mat cut;
  const TemplateCutResult r = CutTemplateSquare(frame, p.visualSize, p.pixelPerMm, cut);
  if (r == TemplateCutResult::TooSmall) {
    ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_SizeTooSmall", "尺寸太小 !"));
    return false;
  }
  if (r != TemplateCutResult::Ok) {
    ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_PartTooBig", "元件尺寸太大 !"));
    return false;
  }
  // The name (a feeder number) becomes a file name only when it is one.
  if (const std::string refusal = TemplateNameRefusal(p.templateName); !refusal.empty()) {
    ShowMessage(refusal);
    return false;
  }
  // A flat cut (bare board, an empty pocket) would match anywhere with a
  // score of 1.000: refused, nothing held and no file written.
  if (!HasTemplateContrast(cut)) {
    RefuseFlatTemplate("Get template", cut);
    return false;
  }
  PublishVisionResult(0, cut);
  SetHeldTemplate(machine_, "template", cut);
  WriteTemplateFile(m_strAppDir, p.templateName, cut);
  return true;
}

bool CDialogSetView::FindTemplate(const cv::Mat& frame) {
  const JobParams p = CurrentJobParams();
  cv::Mat templ = HeldTemplateFor(machine_, m_strAppDir, p.templateName);
  if (frame.empty() || templ.empty()) {
    ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_NoImageOrTemplate", "没有找到图像或模板 !"));
    return false;
  }
  cv::Mat cut;
  const TemplateCutResult r = CutTemplateSquare(frame, p.visualSize, p.pixelPerMm, cut);
  if (r == TemplateCutResult::TooSmall) {
    ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_SizeTooSmall", "尺寸太小 !"));
    return false;
  }
  if (r != TemplateCutResult::Ok) {
    ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_PartTooBig", "元件尺寸太大 !"));
    return false;
  }
  if (templ.rows > cut.rows + 4) {
    ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_TemplateBiggerThanImage", "模板大于搜索区域 !"));
    return false;
  }
  // A flat template from an old file finds nothing (it would read 1.000
  // anywhere).
  if (!HasTemplateContrast(templ)) {
    InfoLine(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_TemplateMatchError", "模板匹配失败 !"));
    RefuseFlatTemplate("Find template", templ);
    return false;
  }
  double score = 0;
  int ox = 0, oy = 0;
  const cv::RotatedRect m = MatchTemplateFind(cut, templ, score, ox, oy);
  if (IsNotFound(m)) {
    InfoLine(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_TemplateMatchError", "模板匹配失败 !"));
    CLogFile::Instance().Write(true, "MathTemplate Error !");
    return false;
  }
  const auto table = smt::settings::SettingsStores::Of(machine_).machine.Geometry()->table;
  const double X = ox / p.pixelPerMm, Y = oy / p.pixelPerMm;
  const double w = m.size.width / p.pixelPerMm, h = m.size.height / p.pixelPerMm;
  m_nMoveX = static_cast<int>(X * table.dXPulse);
  m_nMoveY = static_cast<int>(Y * table.dYPulse);
  m_nMoveZ = 0;
  if (!smt::link::CheckMachineGuards(machine_, true, true)) return false;
  StartPanelMove(1);
  const std::string line = Format("template: X=%0.2f，Y=%0.2f，w=%0.2f，h=%0.2f，score=%0.2f", X, Y, w, h, score);
  InfoLine(line);
  CLogFile::Instance().Write(true, "%s", line.c_str());
  return true;
}

void CDialogSetView::RefuseFlatTemplate(const char* command, const cv::Mat& templ) {
  char why[160];
  std::snprintf(why, sizeof why, "%s: the template has no contrast (standard deviation %.2f, needs %.2f grey levels)",
                command, TemplateContrast(templ), kMinTemplateContrast);
  CLogFile::Instance().Write(true, "%s", why);
  // Read without inserting: this runs on a camera's grab thread too.
  const auto text = m_texts.find("SetView.c_TemplateNoContrast");
  ShowMessage(text != m_texts.end() ? text->second : std::string(why));
}

bool CDialogSetView::StartPanelMove(int mode) {
  if (mode != 0 && mode != 1) {
    ShowMessage(smt::platform::WindowText("VisionMessagesConfig", "VisionMessages.c_ParameterError", "参数错误 !"));
    return false;
  }
  // The busy state is claimed here, before the worker exists, so two quick
  // clicks never start two moves.
  if (!machine_.TryClaimBusy()) {
    ShowMessage(smt::link::kRunning);
    return false;
  }
  PanelMoveRequest req;
  req.machine = &machine_;
  req.mode = mode;
  req.visionMode = machine_.camera.visionMode.load();
  req.machineType = machine_.machineType.load();
  req.moveX = m_nMoveX.load();
  req.moveY = m_nMoveY.load();
  req.moveZ = m_nMoveZ.load();
  req.platform = smt::link::RuntimeOf(machine_).headGroup.load();
  if (!smt::platform::WorkerThreads::Instance().Start("panel move", [req](std::stop_token) { PanelMoveThreadProc(req); })) {
    machine_.ReleaseBusy();
    return false;
  }
  return true;
}

bool CDialogSetView::GrabFrame(int role, cv::Mat& frame, std::chrono::milliseconds timeout, int captureIndex) {
  if (machine_.camera.highSpeedCamera.load() == 1 && RoleFittedNow(machine_, role) && m_engine->HasRole(role)) {
    m_engine->Play(role);
    if (!m_engine->RequestFrame(role, frame, timeout)) return false;
  } else {
    bool ok = false;
    smt::platform::RunOnGui([&] {
      const int idx = std::clamp(captureIndex < 0 ? m_iDirectShowCamera : captureIndex, 0, 7);
      if (!m_pDirectShowCamera[idx]) return;
      StopLiveTimer();
      ok = m_pDirectShowCamera[idx]->QueryFrame(frame, timeout);
      StartLiveTimer(40);
    });
    if (!ok) return false;
  }
  if (role == 2 && neighbours->LensCorrection()) {
    cv::Mat corrected;
    if (machine_.Part<CCameraCalib>().Undistort(corrected, frame)) frame = corrected;
  }
  return !frame.empty();
}
