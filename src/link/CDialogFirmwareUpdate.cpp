#include "link/CDialogFirmwareUpdate.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "core/MachineState.h"
#include "link/FirmwareUpdater.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "platform/WorkerThreads.h"
#include "platform/RefusalTexts.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The feeder-board choice lives as long as the program, as the dialog does.

// Shows the worker's lines on the dialog, from the window thread; nothing
// once the dialog is gone.
class DialogSink : public smt::link::FirmwareSink {
 public:
  explicit DialogSink(QPointer<QLabel> status, QPointer<QLabel> config, QPointer<QProgressBar> progress)
      : status_(std::move(status)), config_(std::move(config)), progress_(std::move(progress)) {}
  void Status(const std::string& line) override {
    auto w = status_;
    smt::platform::PostToGui([w, line] { if (w) w->setText(Q(line)); });
  }
  void ConfigText(const std::string& text) override {
    auto w = config_;
    smt::platform::PostToGui([w, text] { if (w) w->setText(Q(text)); });
  }
  void Progress(int percent) override {
    auto w = progress_;
    smt::platform::PostToGui([w, percent] { if (w) w->setValue(percent); });
  }

 private:
  QPointer<QLabel> status_;
  QPointer<QLabel> config_;
  QPointer<QProgressBar> progress_;
};

const char* const kWorkRunning = "固件操作正在进行，请等待完成 !\r\nThe firmware work is running, please wait until it ends !";

}  // namespace

smt::link::FirmwareTexts CDialogFirmwareUpdate::LoadLanguage(const std::string& dir, const std::string& language) {
  return smt::link::FirmwareTexts::Load(dir, language);
}

CDialogFirmwareUpdate::CDialogFirmwareUpdate(smt::Machine& machine, FirmwareDialogEnvironment env, QWidget* parent)
    : QDialog(parent), machine_(machine), env_(std::move(env)), texts_(LoadLanguage(env_.appDir, env_.language)) {
  setObjectName("CDialogFirmwareUpdate");
  setWindowTitle(Q(texts_.firmwareUpdate));
  m_nFeedSelect = machine_.firmwareFeedSelect.load();

  auto* layout = new QVBoxLayout(this);
  auto* buttons = new QHBoxLayout;
  upgrade_ = new QPushButton(Q(texts_.upadte), this);
  readConfig_ = new QPushButton(Q(texts_.readConfig), this);
  writeLimit_ = new QPushButton(Q(texts_.writeLimit), this);
  buttons->addWidget(upgrade_);
  buttons->addWidget(readConfig_);
  buttons->addWidget(writeLimit_);
  layout->addLayout(buttons);

  auto* group = new QGroupBox(Q(texts_.feedSelect), this);
  auto* groupLayout = new QHBoxLayout(group);
  auto* radios = new QButtonGroup(this);
  static const char* kFeedNames[4] = {"Feed32", "Feed64", "Feed96", "Feed128"};
  for (int i = 0; i < 4; ++i) {
    feed_[i] = new QRadioButton(kFeedNames[i], group);
    radios->addButton(feed_[i], i);
    groupLayout->addWidget(feed_[i]);
  }
  feed_[std::clamp(m_nFeedSelect, 0, 3)]->setChecked(true);
  layout->addWidget(group);

  status_ = new QLabel(Q(texts_.updateInformation), this);
  status_->setObjectName("FirmwareStatus");
  layout->addWidget(status_);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  layout->addWidget(progress_);
  config_ = new QLabel(Q(texts_.configInformation), this);
  config_->setObjectName("FirmwareConfig");
  config_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(config_);

  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(box);

  connect(upgrade_, &QPushButton::clicked, this, [this] { OnBnClickedUpgrade(); });
  connect(readConfig_, &QPushButton::clicked, this, [this] { OnBnClickedReadConfig(); });
  connect(writeLimit_, &QPushButton::clicked, this, [this] { OnBnClickedWriteLimit(); });
}

CDialogFirmwareUpdate::~CDialogFirmwareUpdate() = default;

std::string CDialogFirmwareUpdate::StatusText() const { return status_->text().toStdString(); }
std::string CDialogFirmwareUpdate::ConfigText() const { return config_->text().toStdString(); }
int CDialogFirmwareUpdate::ProgressValue() const { return progress_->value(); }

void CDialogFirmwareUpdate::SetButtonsEnabled(bool on) {
  upgrade_->setEnabled(on);
  readConfig_->setEnabled(on);
  writeLimit_->setEnabled(on);
}

void CDialogFirmwareUpdate::OnBnClickedUpgrade() {
  // The feeder-board choice is taken over only when the upgrade starts.
  for (int i = 0; i < 4; ++i)
    if (feed_[i]->isChecked()) m_nFeedSelect = i;
  machine_.firmwareFeedSelect = m_nFeedSelect;
  StartWork(1);
}

void CDialogFirmwareUpdate::OnBnClickedReadConfig() { StartWork(2); }
void CDialogFirmwareUpdate::OnBnClickedWriteLimit() { StartWork(3); }

void CDialogFirmwareUpdate::StartWork(int mode) {
  using smt::platform::ShowMessage;
  if (running_) {
    ShowMessage(kWorkRunning);
    return;
  }
  if (!machine_.connected) {
    ShowMessage(smt::platform::WindowText("LinkMessagesConfig", "LinkMessages.c_NotConnected", "机器没有联机 !"));
    return;
  }
  if (!env_.link || !machine_.TryClaimBusy()) {
    ShowMessage(smt::platform::WindowText("LinkMessagesConfig", "LinkMessages.c_Running", "机器正在运行 !"));
    return;
  }
  m_nThreadMode = mode;
  running_ = true;
  SetButtonsEnabled(false);
  progress_->setValue(0);

  smt::link::FirmwareEnvironment fw;
  fw.machine = &machine_;
  fw.link = env_.link;
  fw.appDir = env_.appDir;
  fw.texts = texts_;
  fw.reconnect = env_.reconnect;
  fw.discovery = env_.discovery;
  fw.linkDropped = env_.linkDropped;
  fw.linkRestored = env_.linkRestored;
  fw.settle = env_.settle;
  const int feedSelect = m_nFeedSelect;
  QPointer<CDialogFirmwareUpdate> self(this);
  smt::Machine* machine = &machine_;
  auto sink = std::make_shared<DialogSink>(QPointer<QLabel>(status_), QPointer<QLabel>(config_),
                                           QPointer<QProgressBar>(progress_));
  const bool started = smt::platform::WorkerThreads::Instance().Start(
      "FirmwareUpdate", [fw, mode, feedSelect, self, sink, machine](std::stop_token st) mutable {
        {
          smt::BusyRelease busy(*machine);
          fw.aborted = [st] { return st.stop_requested(); };
          smt::link::FirmwareUpdater updater(fw, *sink);
          switch (mode) {
            case 1: updater.UpgradeBoards(feedSelect); break;
            case 2: updater.ReadConfigInfo(); break;
            case 3: updater.WritePositionLimits(); break;
            default: break;
          }
          fw.link->SetBootAbort({});
        }
        smt::platform::PostToGui([self] {
          if (!self) return;
          self->running_ = false;
          self->SetButtonsEnabled(true);
        });
      });
  if (!started) {
    machine_.ReleaseBusy();
    running_ = false;
    SetButtonsEnabled(true);
  }
}

bool CDialogFirmwareUpdate::RefuseWhileRunning() {
  if (!running_) return false;
  // Closing now would leave a board half written with nobody to report it.
  smt::platform::ShowMessage(kWorkRunning);
  return true;
}

void CDialogFirmwareUpdate::reject() {
  if (RefuseWhileRunning()) return;
  QDialog::reject();
}

void CDialogFirmwareUpdate::accept() {
  if (RefuseWhileRunning()) return;
  QDialog::accept();
}

void CDialogFirmwareUpdate::closeEvent(QCloseEvent* e) {
  if (RefuseWhileRunning()) {
    e->ignore();
    return;
  }
  QDialog::closeEvent(e);
}

void OpenFirmwareUpdateDialog(QWidget* parent, smt::Machine& machine, const FirmwareDialogEnvironment& env) {
  if (machine.machineBusy) {
    smt::platform::ShowMessage(smt::platform::WindowText("LinkMessagesConfig", "LinkMessages.c_BusyRefused", "设备正在自动工作，禁止此项执行 !"));
    return;
  }
  if (env.commModel == 0) {
    smt::platform::ShowMessage(smt::platform::WindowText("LinkMessagesConfig", "LinkMessages.c_NoFunction", "此功能不可用 !"));
    return;
  }
  CDialogFirmwareUpdate dialog(machine, env, parent);
  dialog.exec();
}
