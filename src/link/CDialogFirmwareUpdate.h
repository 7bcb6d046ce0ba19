#pragma once
// The board firmware dialog: starts the upgrade of every board with an image
// in the "Update" folder, shows the main board's configuration block and
// writes the machine's X and Y travel limits into it. The work runs on one
// worker thread that holds the machine's busy state; while it runs the
// buttons are off and the dialog stays open.
#include <QDialog>
#include <QPointer>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>

#include "link/CMachineLink.h"
#include "link/DiscoverMainBoard.h"
#include "link/FirmwareTexts.h"

namespace smt {
class Machine;
}

class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

// What the dialog needs of the rest of the program.
struct FirmwareDialogEnvironment {
  smt::link::CMachineLink* link = nullptr;  // the jog panel's link object
  std::string appDir = ".";
  std::string language = "Chinese";
  // See smt::link::FirmwareEnvironment: the main board's reconnect after its
  // jump (empty: discovery with `discovery`), and the jog panel's side of a
  // dropped and restored link.
  std::function<bool()> reconnect;
  smt::link::DiscoveryOptions discovery;
  std::function<void()> linkDropped;
  std::function<void()> linkRestored;
  std::chrono::milliseconds settle{1000};
  // m_CommModel: 0 serial (the boot loaders are reached over the network only).
  int commModel = 1;
};

class CDialogFirmwareUpdate : public QDialog {
  Q_OBJECT
 public:
  // The dialog works on `machine`: its link state, busy claim and the
  // feeder-board choice kept between openings.
  CDialogFirmwareUpdate(smt::Machine& machine, FirmwareDialogEnvironment env, QWidget* parent = nullptr);
  ~CDialogFirmwareUpdate() override;

  // The 28 texts of section FirmwareUpdateConfig (Chinese defaults).
  static smt::link::FirmwareTexts LoadLanguage(const std::string& dir, const std::string& language);

  // Feeder boards: 0 to 3 for "Feed32" to "Feed128"; kept between openings.
  int m_nFeedSelect = 0;
  // 1 upgrade, 2 read the configuration, 3 write the limits.
  int m_nThreadMode = 0;

  void OnBnClickedUpgrade();
  void OnBnClickedReadConfig();
  void OnBnClickedWriteLimit();

  bool WorkerRunning() const { return running_.load(); }
  std::string StatusText() const;
  std::string ConfigText() const;
  int ProgressValue() const;
  QPushButton* UpgradeButton() const { return upgrade_; }
  QPushButton* ReadConfigButton() const { return readConfig_; }
  QPushButton* WriteLimitButton() const { return writeLimit_; }
  QRadioButton* FeedRadio(int i) const { return feed_[i]; }

  void reject() override;
  void accept() override;

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  // Guards, the busy claim and the worker.
  void StartWork(int mode);
  void SetButtonsEnabled(bool on);
  bool RefuseWhileRunning();

  smt::Machine& machine_;
  FirmwareDialogEnvironment env_;
  smt::link::FirmwareTexts texts_;
  std::atomic<bool> running_{false};
  QLabel* status_ = nullptr;
  QLabel* config_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* upgrade_ = nullptr;
  QPushButton* readConfig_ = nullptr;
  QPushButton* writeLimit_ = nullptr;
  QRadioButton* feed_[4] = {};
};

// The main menu's "单片机升级" (command 33211): refused while `machine` is
// busy and on the serial link, else the dialog opened modally on it.
void OpenFirmwareUpdateDialog(QWidget* parent, smt::Machine& machine, const FirmwareDialogEnvironment& env);
