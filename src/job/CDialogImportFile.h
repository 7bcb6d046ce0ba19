#pragma once
// The import dialog: the operator picks a pick-and-place file format, opens
// one or more exported files into the import list, may delete or sort
// rows, and imports the list into the PCB editor's current board. The two
// matching options are kept in [ImportFileConfig]; the check boxes change
// them only with OK.
//
// The dialog object lives as long as the PCB editor: the format index and
// the options keep their values between openings, the list is empty at
// every opening.
#include <QDialog>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "job/EdaImportList.h"
#include "job/EdaPartConversion.h"
#include "job/EdaTextDecoder.h"
#include "job/ImportFileSettings.h"
#include "job/JobModel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

class CDialogImportFile : public QDialog {
  Q_OBJECT
 public:
  explicit CDialogImportFile(smt::job::JobModel& job, QWidget* parent = nullptr);

  // Opens the dialog modally for the job's current board. Returns the
  // number of placement rows the board received by the last import while
  // the dialog was open, or -1 when nothing was imported.
  int Open(const std::string& appDir, const std::string& language);

  // Seams (optional): the shown rows of the feeder list panel, and the
  // open-file dialog (returns the chosen paths, empty on Cancel).
  std::function<std::vector<smt::job::ImportFeederRow>()> FeederRows;
  std::function<std::vector<std::string>(const smt::job::EdaFormat&)> ChooseFiles;
  // Local time of an import (tests fix it).
  std::function<std::tm()> Now;

  // The options as the conversion uses them; set from the settings at
  // start-up by the view.
  smt::job::ImportFitOptions& Options() { return options_; }
  void SetOptions(const smt::job::ImportFitOptions& o) { options_ = o; }
  void SetAppDir(const std::string& appDir) { appDir_ = appDir; }
  const std::string& AppDir() const { return appDir_; }

  // Texts of section ImportFileConfig of "<appDir>/<language>.ini".
  void LoadLanguage(const std::string& appDir, const std::string& language);
  std::string Text(const std::string& key) const;

  // Handlers, usable without showing the window.
  void OnInitDialog();
  // A format chosen by the operator is kept in the settings at once.
  void OnSelchangeImportFormat(int index);
  // The folder the open-file dialog starts in: the folder of the files
  // opened last when it still exists, else the working directory.
  std::string StartFolder() const;
  // The encoding box: 0 lets each file's bytes decide; a chosen encoding
  // reads the files opened last again and is used for later openings.
  void OnSelchangeEncoding(int index);
  void OnOpenPcbFile();
  // Reads the files with the format in use and appends their rows; a file
  // that does not read is reported and nothing of the chosen files is
  // added. Returns true when the rows were added.
  bool OpenFiles(const std::vector<std::string>& paths);
  void OnRClickList();
  void OnColumnClickList(int column);
  void OnImportAllToProject();
  void OnOK();
  void reject() override;

  int FormatIndex() const { return formatIndex_; }
  const smt::job::ImportList& List() const { return list_; }
  int LastImportedRows() const { return lastImported_; }
  QTableWidget* ListView() const { return table_; }
  QComboBox* FormatBox() const { return format_; }
  QComboBox* EncodingBox() const { return encoding_; }
  QLabel* EncodingUsedLabel() const { return encodingUsed_; }
  QCheckBox* FitPackingBox() const { return fitPacking_; }
  QCheckBox* FitValueBox() const { return fitValue_; }
  QLabel* CountLabel() const { return count_; }
  QLabel* PercentLabel() const { return percent_; }
  QPushButton* OpenButton() const { return open_; }
  QProgressBar* Progress() const { return progress_; }

 private:
  void Build();
  void ApplyTexts();
  void RefreshList();
  void RememberPlace();
  void SetCountLabel();
  void ShowReadError(const std::string& file, int line, const std::string& reason);
  std::set<int> SelectedRows() const;
  std::optional<smt::job::EdaTextEncoding> ChosenEncoding() const;
  bool ReadFiles(const std::vector<std::string>& paths, std::vector<smt::job::ImportRow>& rows,
                 std::string& encodings, bool offered = false);
  bool OfferFormat(const std::string& file, int suggested);

  struct LastOpen {
    std::vector<std::string> paths;
    int firstRow = 0;
    int rows = 0;
    bool intact = false;  // the list still holds its rows where they were added
  };
  LastOpen lastOpen_;

  smt::job::JobModel& job_;
  std::string appDir_ = ".";
  std::string language_ = "Chinese";
  std::map<std::string, std::string> texts_;
  smt::job::ImportFitOptions options_;
  smt::job::ImportList list_;
  int formatIndex_ = 0;
  std::string lastFolder_;
  int lastImported_ = -1;

  QComboBox* format_ = nullptr;
  QComboBox* encoding_ = nullptr;
  QLabel* encodingLabel_ = nullptr;
  QLabel* encodingUsed_ = nullptr;
  QLabel* formatLabel_ = nullptr;
  QPushButton* open_ = nullptr;
  QPushButton* import_ = nullptr;
  QPushButton* ok_ = nullptr;
  QCheckBox* fitPacking_ = nullptr;
  QCheckBox* fitValue_ = nullptr;
  QLabel* count_ = nullptr;
  QLabel* percent_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QTableWidget* table_ = nullptr;
};
