#include "job/CDialogImportFile.h"
#include "platform/FileChooser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "core/LogFile.h"
#include "job/EdaFileReaders.h"
#include "platform/FileFilter.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"

using namespace smt::job;

namespace {

const std::vector<std::pair<const char*, const char*>>& BuiltinTexts() {
  static const std::vector<std::pair<const char*, const char*>> k = {
      {"ImportFile.c_ImportFile", "导入文件"},
      {"ImportFile.c_ImportFormat", "导入文件格式"},
      {"ImportFile.c_OpenPCBFile", "打开PCB坐标文件"},
      {"ImportFile.c_ImportAllToProject", "导入全部到工程"},
      {"ImportFile.c_FitPartPacking", "适配元件封装"},
      {"ImportFile.c_FitPartValue", "适配元件数值"},
      {"ImportFile.c_IDOK", "确定"},
      {"ImportFile.c_PartNumber", "元件数量：0"},
      {"ImportFile.c_ImportFileList_01", "元件名称"},
      {"ImportFile.c_ImportFileList_02", "元件封装"},
      {"ImportFile.c_ImportFileList_03", "X坐标"},
      {"ImportFile.c_ImportFileList_04", "Y坐标"},
      {"ImportFile.c_ImportFileList_05", "旋转角度"},
      {"ImportFile.c_ImportFileList_06", "备  注"},
      {"ImportFile.c_ImportFileList_07", "标  记"},
      {"ImportFile.c_Message_05", "没有发现要导入的文件 !"},
      {"ImportFile.c_Message_06", "是否删除选择的行 ?"},
      {"ImportFile.c_Message_07",
       "文件 %1 第 %2 行不是该格式的元件行，此文件未导入任何元件：%3\r\n"
       "File %1, line %2 is not a part line of this format; nothing of the file was imported: %3"},
      {"ImportFile.c_Message_08", "文件 %1 无法导入：%2\r\nFile %1 cannot be imported: %2"},
      {"ImportFile.c_Message_09", "没有当前PCB，无法导入 !\r\nThere is no current PCB to import into!"},
      {"ImportFile.c_Message_10", "文件 %1 中没有元件，未添加任何行 / File %1 holds no parts; it adds no rows"},
      {"ImportFile.c_Message_11",
       "文件 %1 的文件头指向格式 %2，与所选格式 %3 不符。是否用 %2 读取？\r\n"
       "The header of file %1 points to the format %2, not to the chosen %3. Read it as %2?"},
      {"ImportFile.c_Encoding", "文字编码"},
      {"ImportFile.c_EncodingAuto", "自动 / Automatic"},
  };
  return k;
}

std::string Replace(std::string text, const std::string& mark, const std::string& value) {
  for (size_t p = text.find(mark); p != std::string::npos; p = text.find(mark, p + value.size()))
    text.replace(p, mark.size(), value);
  return text;
}

// The count label's text ends in the count; a built-in "0" at its end is
// the count of an empty list, not part of the prefix.
std::string CountPrefix(std::string text) {
  if (!text.empty() && text.back() == '0') text.pop_back();
  return text;
}

std::tm LocalNow() {
  const std::time_t t = std::time(nullptr);
  std::tm out{};
  localtime_r(&t, &out);
  return out;
}

}  // namespace

CDialogImportFile::CDialogImportFile(JobModel& job, QWidget* parent) : QDialog(parent), job_(job) {
  setObjectName("CDialogImportFile");
  for (const auto& [k, v] : BuiltinTexts()) texts_[k] = v;
  Build();
}

std::string CDialogImportFile::Text(const std::string& key) const {
  const auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

void CDialogImportFile::LoadLanguage(const std::string& appDir, const std::string& language) {
  smt::platform::LanguageSection lang(appDir, language, "ImportFileConfig");
  for (const auto& [k, v] : BuiltinTexts()) texts_[k] = lang.Text(k, v);
}

void CDialogImportFile::Build() {
  auto* top = new QVBoxLayout(this);
  auto* row1 = new QHBoxLayout;
  formatLabel_ = new QLabel(this);
  format_ = new QComboBox(this);
  format_->setObjectName("ImportFormat");
  open_ = new QPushButton(this);
  open_->setObjectName("OpenPCBFile");
  import_ = new QPushButton(this);
  import_->setObjectName("ImportAllToProject");
  row1->addWidget(formatLabel_);
  row1->addWidget(format_, 1);
  row1->addWidget(open_);
  row1->addWidget(import_);
  top->addLayout(row1);
  auto* rowEnc = new QHBoxLayout;
  encodingLabel_ = new QLabel(this);
  encoding_ = new QComboBox(this);
  encoding_->setObjectName("ImportEncoding");
  encoding_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  encodingUsed_ = new QLabel(this);
  encodingUsed_->setObjectName("ImportEncodingUsed");
  rowEnc->addWidget(encodingLabel_);
  rowEnc->addWidget(encoding_);
  rowEnc->addWidget(encodingUsed_, 1);
  top->addLayout(rowEnc);

  table_ = new QTableWidget(0, kImportColumns, this);
  table_->setObjectName("ImportFileList");
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSortingEnabled(false);
  table_->verticalHeader()->setVisible(false);
  for (int c = 0; c < kImportColumns; ++c) table_->setColumnWidth(c, 80);
  table_->setContextMenuPolicy(Qt::CustomContextMenu);
  top->addWidget(table_, 1);

  auto* row2 = new QHBoxLayout;
  fitPacking_ = new QCheckBox(this);
  fitValue_ = new QCheckBox(this);
  count_ = new QLabel(this);
  progress_ = new QProgressBar(this);
  progress_->setTextVisible(false);
  progress_->setVisible(false);
  percent_ = new QLabel("0%", this);
  ok_ = new QPushButton(this);
  ok_->setObjectName("IDOK");
  row2->addWidget(fitPacking_);
  row2->addWidget(fitValue_);
  row2->addWidget(count_);
  row2->addWidget(progress_, 1);
  row2->addWidget(percent_);
  row2->addWidget(ok_);
  top->addLayout(row2);
  resize(720, 480);

  connect(format_, qOverload<int>(&QComboBox::currentIndexChanged), this,
          [this](int i) { OnSelchangeImportFormat(i); });
  connect(encoding_, qOverload<int>(&QComboBox::currentIndexChanged), this,
          [this](int i) { OnSelchangeEncoding(i); });
  connect(open_, &QPushButton::clicked, this, [this] { OnOpenPcbFile(); });
  connect(import_, &QPushButton::clicked, this, [this] { OnImportAllToProject(); });
  connect(ok_, &QPushButton::clicked, this, [this] { OnOK(); });
  connect(table_, &QWidget::customContextMenuRequested, this, [this](const QPoint&) { OnRClickList(); });
  connect(table_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) { OnColumnClickList(c); });
}

void CDialogImportFile::ApplyTexts() {
  auto q = [this](const char* key) { return QString::fromStdString(Text(key)); };
  setWindowTitle(q("ImportFile.c_ImportFile"));
  formatLabel_->setText(q("ImportFile.c_ImportFormat"));
  open_->setText(q("ImportFile.c_OpenPCBFile"));
  import_->setText(q("ImportFile.c_ImportAllToProject"));
  fitPacking_->setText(q("ImportFile.c_FitPartPacking"));
  fitValue_->setText(q("ImportFile.c_FitPartValue"));
  ok_->setText(q("ImportFile.c_IDOK"));
  encodingLabel_->setText(q("ImportFile.c_Encoding"));
  QStringList titles;
  for (int c = 1; c <= kImportColumns; ++c)
    titles << QString::fromStdString(Text("ImportFile.c_ImportFileList_0" + std::to_string(c)));
  table_->setHorizontalHeaderLabels(titles);
}

int CDialogImportFile::Open(const std::string& appDir, const std::string& language) {
  appDir_ = appDir;
  language_ = language;
  lastImported_ = -1;
  OnInitDialog();
  exec();
  return lastImported_;
}

void CDialogImportFile::OnInitDialog() {
  LoadLanguage(appDir_, language_);
  ApplyTexts();
  // The list is empty at every opening; the combo shows the format the
  // operator used last (also after a restart), and the open-file dialog
  // starts in the folder the last files came from.
  list_.Clear();
  RefreshList();
  const ImportPlace place = LoadImportPlace(appDir_, kEdaFormatCount);
  formatIndex_ = place.format;
  lastFolder_ = place.folder;
  {
    const QSignalBlocker block(format_);
    format_->clear();
    for (const EdaFormat& f : EdaFormats()) format_->addItem(QString::fromUtf8(f.comboText));
    format_->setCurrentIndex(formatIndex_);
  }
  {
    // The encoding: the file's bytes decide unless the operator chooses one.
    const QSignalBlocker block(encoding_);
    encoding_->clear();
    encoding_->addItem(QString::fromStdString(Text("ImportFile.c_EncodingAuto")));
    for (EdaTextEncoding e : kChoosableEncodings) encoding_->addItem(QString::fromUtf8(EdaEncodingName(e)));
    encoding_->setCurrentIndex(0);
  }
  encodingUsed_->clear();
  lastOpen_ = {};
  fitPacking_->setChecked(options_.m_FitPartPacking != 0);
  fitValue_->setChecked(options_.m_FitPartValue != 0);
  progress_->setVisible(false);
  progress_->setValue(0);
  percent_->setText("0%");
  count_->setText(QString::fromStdString(Text("ImportFile.c_PartNumber")));
}

void CDialogImportFile::OnSelchangeImportFormat(int index) {
  if (index < 0 || index >= kEdaFormatCount) return;
  const bool changed = index != formatIndex_;
  formatIndex_ = index;
  if (changed) RememberPlace();
}

void CDialogImportFile::RememberPlace() {
  if (!SaveImportPlace(appDir_, {formatIndex_, lastFolder_}))
    CLogFile::Instance().Write(true, "Import: could not keep the last format and folder in %s",
                               smt::platform::ConfigPath(appDir_).c_str());
}

std::string CDialogImportFile::StartFolder() const {
  std::error_code ec;
  if (!lastFolder_.empty() && std::filesystem::is_directory(lastFolder_, ec)) return lastFolder_;
  return appDir_;
}

void CDialogImportFile::OnOpenPcbFile() {
  OnSelchangeImportFormat(format_->currentIndex());
  const EdaFormat& f = EdaFormatAt(formatIndex_);
  std::vector<std::string> paths;
  if (ChooseFiles) {
    paths = ChooseFiles(f);
  } else {
    paths = smt::platform::ChooseOpenFiles(this, Text("ImportFile.c_OpenPCBFile"), StartFolder(),
                                           smt::platform::FileFilterForLanguage(f.qtFilter, language_));
  }
  if (paths.empty()) return;  // Cancel
  lastFolder_ = std::filesystem::path(paths.front()).parent_path().string();
  RememberPlace();
  OpenFiles(paths);
}

std::optional<EdaTextEncoding> CDialogImportFile::ChosenEncoding() const {
  const int i = encoding_->currentIndex();
  if (i <= 0 || i > static_cast<int>(kChoosableEncodings.size())) return std::nullopt;
  return kChoosableEncodings[static_cast<size_t>(i - 1)];
}

bool CDialogImportFile::ReadFiles(const std::vector<std::string>& paths, std::vector<ImportRow>& rows,
                                  std::string& encodings, bool offered) {
  // Each file is judged on its own: one without parts adds no rows and is
  // named; one that does not read refuses the whole opening.
  std::vector<std::string> empty;
  for (const std::string& p : paths) {
    try {
      EdaFileContent c = ReadEdaFile(formatIndex_, p, ChosenEncoding());
      CLogFile::Instance().Write(true, "Import %s: %d parts, %s, format %s", p.c_str(),
                                 static_cast<int>(c.rows.size()), EdaEncodingName(c.encoding),
                                 EdaFormatAt(formatIndex_).comboText);
      const std::string name = EdaEncodingName(c.encoding);
      if (encodings.find(name) == std::string::npos) encodings += (encodings.empty() ? "" : ", ") + name;
      rows.insert(rows.end(), c.rows.begin(), c.rows.end());
    } catch (const EdaNoPartsError& e) {
      empty.push_back(e.File());
    } catch (const EdaImportError& e) {
      if (e.SuggestedFormat() >= 0 && !offered && OfferFormat(e.File(), e.SuggestedFormat())) {
        // Read everything again with the format the header points to (the
        // format is offered once per opening).
        rows.clear();
        encodings.clear();
        return ReadFiles(paths, rows, encodings, true);
      }
      ShowReadError(e.File(), e.Line(), e.Reason());
      return false;
    }
  }
  if (!empty.empty()) {
    std::string text;
    for (const std::string& f : empty) text += (text.empty() ? "" : "\r\n") + Replace(Text("ImportFile.c_Message_10"), "%1", f);
    CLogFile::Instance().Write(true, "Import: %s", text.c_str());
    smt::platform::ShowMessage(text, smt::platform::MsgButtons::Ok, smt::platform::MsgIcon::Information,
                               QCoreApplication::applicationName().toStdString());
  }
  return true;
}

bool CDialogImportFile::OfferFormat(const std::string& file, int suggested) {
  std::string text = Text("ImportFile.c_Message_11");
  text = Replace(text, "%1", file);
  text = Replace(text, "%2", EdaFormatAt(suggested).comboText);
  text = Replace(text, "%3", EdaFormatAt(formatIndex_).comboText);
  CLogFile::Instance().Write(true, "Import: %s", text.c_str());
  const auto answer = smt::platform::ShowMessage(text, smt::platform::MsgButtons::YesNo,
                                                 smt::platform::MsgIcon::Question,
                                                 QCoreApplication::applicationName().toStdString());
  if (answer != smt::platform::MsgAnswer::Yes) return false;
  format_->setCurrentIndex(suggested);  // also the format in use
  formatIndex_ = suggested;
  return true;
}

bool CDialogImportFile::OpenFiles(const std::vector<std::string>& paths) {
  std::vector<ImportRow> rows;
  std::string encodings;
  if (!ReadFiles(paths, rows, encodings)) return false;
  lastOpen_.paths = paths;
  lastOpen_.firstRow = list_.Count();
  lastOpen_.rows = static_cast<int>(rows.size());
  lastOpen_.intact = true;
  list_.Append(rows);
  encodingUsed_->setText(QString::fromStdString(encodings));
  RefreshList();
  return true;
}

void CDialogImportFile::OnSelchangeEncoding(int) {
  // The rows of the files opened last are read again in the chosen
  // encoding, as long as the list still holds them as they were added.
  if (!lastOpen_.intact || lastOpen_.paths.empty()) return;
  std::vector<ImportRow> rows;
  std::string encodings;
  if (!ReadFiles(lastOpen_.paths, rows, encodings)) return;
  list_.ReplaceTail(lastOpen_.firstRow, rows);
  lastOpen_.rows = static_cast<int>(rows.size());
  encodingUsed_->setText(QString::fromStdString(encodings));
  RefreshList();
}

void CDialogImportFile::ShowReadError(const std::string& file, int line, const std::string& reason) {
  std::string text = line > 0 ? Text("ImportFile.c_Message_07") : Text("ImportFile.c_Message_08");
  text = Replace(text, "%1", file);
  if (line > 0) {
    text = Replace(text, "%2", std::to_string(line));
    text = Replace(text, "%3", reason);
  } else {
    text = Replace(text, "%2", reason);
  }
  CLogFile::Instance().Write(true, "Import refused: %s", text.c_str());
  smt::platform::ShowMessage(text, smt::platform::MsgButtons::Ok, smt::platform::MsgIcon::Warning,
                             QCoreApplication::applicationName().toStdString());
}

void CDialogImportFile::RefreshList() {
  table_->setRowCount(list_.Count());
  for (int r = 0; r < list_.Count(); ++r) {
    for (int c = 0; c < kImportColumns; ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(list_.Row(r).Cell(c)));
      item->setTextAlignment(Qt::AlignCenter);
      table_->setItem(r, c, item);
    }
  }
  SetCountLabel();
}

void CDialogImportFile::SetCountLabel() {
  count_->setText(QString::fromStdString(CountPrefix(Text("ImportFile.c_PartNumber")) + std::to_string(list_.Count())));
}

std::set<int> CDialogImportFile::SelectedRows() const {
  std::set<int> rows;
  for (const QModelIndex& i : table_->selectionModel()->selectedRows()) rows.insert(i.row());
  return rows;
}

void CDialogImportFile::OnRClickList() {
  const auto answer = smt::platform::ShowMessage(Text("ImportFile.c_Message_06"), smt::platform::MsgButtons::YesNoCancel,
                                                 smt::platform::MsgIcon::Question);
  if (answer != smt::platform::MsgAnswer::Yes) return;
  if (list_.DeleteRows(SelectedRows()) > 0) {
    lastOpen_.intact = false;
    RefreshList();
  }
}

void CDialogImportFile::OnColumnClickList(int column) {
  list_.SortByColumn(column);
  lastOpen_.intact = false;
  RefreshList();
}

void CDialogImportFile::OnImportAllToProject() {
  if (list_.Empty()) {
    smt::platform::ShowMessage(Text("ImportFile.c_Message_05"), smt::platform::MsgButtons::Ok,
                               smt::platform::MsgIcon::Warning, QCoreApplication::applicationName().toStdString());
    return;
  }
  const int n = list_.Count();
  progress_->setVisible(true);
  progress_->setRange(0, n);
  progress_->setValue(0);
  const std::vector<ImportFeederRow> feeders = FeederRows ? FeederRows() : std::vector<ImportFeederRow>{};
  // The options as last confirmed with OK, not the boxes' current ticks.
  const ImportOutcome outcome = ImportPartRows(job_, list_, feeders, options_, Now ? Now() : LocalNow(),
                                               [this](int done, int total) {
                                                 progress_->setValue(done);
                                                 const int pct = static_cast<int>(
                                                     static_cast<double>(done) / total * 100.0 + 0.5);
                                                 percent_->setText(QString("%1%").arg(pct));
                                               });
  if (outcome == ImportOutcome::NoTargetBoard) {
    smt::platform::ShowMessage(Text("ImportFile.c_Message_09"));
    return;
  }
  lastImported_ = n;
  CLogFile::Instance().Write(true, "Imported %d parts into PCB %s", n, job_.pcbs.m_strCurPcbName.c_str());
}

void CDialogImportFile::OnOK() {
  options_.m_FitPartPacking = fitPacking_->isChecked() ? 1 : 0;
  options_.m_FitPartValue = fitValue_->isChecked() ? 1 : 0;
  if (!SaveImportFitOptions(appDir_, options_))
    CLogFile::Instance().Write(true, "ImportFileConfig could not be written in %s", appDir_.c_str());
  accept();
}

void CDialogImportFile::reject() {
  // Cancel leaves the options as they were; the boxes show them again at
  // the next opening.
  QDialog::reject();
}
