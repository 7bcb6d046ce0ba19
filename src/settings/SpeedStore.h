#pragma once
// The speed templates, the speed settings and the seven per-use speed
// records as one published state: worker threads (homing, jog, run, feeder
// tests) read a consistent snapshot while the window thread commits the
// speed dialog's OK.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "settings/Listeners.h"
#include "settings/Snapshot.h"
#include "settings/SpeedSettings.h"
#include "settings/SpeedTemplates.h"
#include "settings/SpeedUses.h"

namespace smt::settings {

struct SpeedState {
  SpeedTiers tiers;
  SpeedUseNames uses;
  SpeedSettings settings;
  SpeedRecords records{};
};

// Outcome of the speed dialog's OK.
struct SpeedCommitResult {
  bool closed = false;                  // false: the dialog stays open
  std::vector<std::string> messageKeys; // language keys of the messages to show, in order
  std::string error;                    // file error text (dialog stays open)
  int activeTier = 0;                   // tier to tick in the menu (1..3), 0 leaves the ticks
};

// The speed dialog's OK changes "config_speed.fig" and the settings file as
// one set under this journal; FinishSpeedSave completes or undoes a set a
// killed program left, before either file is read.
std::filesystem::path SpeedSaveJournal(const std::string& appDir);
void FinishSpeedSave(const std::string& appDir);

class SpeedStore {
 public:
  std::shared_ptr<const SpeedState> Get() const { return state_.Get(); }

  // Start-up and language switch: the tiers and the use names from the
  // stored form (use line and rows of "config_speed.fig"). Returns a
  // warning for a row count that is not a multiple of three.
  // Every speed cell is checked: a refused one is told once (file, line,
  // field), its row kept as it came; `refusedCells` gets how many.
  std::string BuildTemplateArrays(const std::string& useLine, const std::vector<std::string>& rows,
                                  const SpeedNameTable& names, int language, int* refusedCells = nullptr);
  // [SpeedTemplateConfig] and the seven use sections.
  void LoadConfig(const std::string& appDir);
  void LoadAllUsageSpeeds(const std::string& appDir);

  // The stored form for saving "config_speed.fig" with the project.
  std::string StoredUseLine() const;
  std::vector<std::string> StoredRows() const;

  // A template of the active tier by name (nullopt: no active tier or no such template).
  std::optional<SpeedRecord> LookupActive(const std::string& name) const;
  SpeedRecord Record(SpeedUse use) const { return Get()->records[static_cast<int>(use)]; }

  // The OK of the speed dialog: `page` is the page shown (0 uses, 1..3 tiers).
  // Page 0 refuses before anything is written. Otherwise writes
  // "<dir>/config_speed.fig", [SpeedTemplateConfig] and the use sections of
  // the uses whose template the tier holds as one set (a failure or a kill
  // leaves every file and the store as they were), and publishes the new
  // state.
  SpeedCommitResult CommitOk(const std::string& appDir, int page, const SpeedTiers& tiers, const SpeedUseNames& uses,
                             const SpeedSettings& settings);

  // Told after the use speeds are read at start-up and after every accepted
  // OK (homing and jog speeds, the speed options of the link).
  int AddListener(std::function<void()> listener) { return listeners_.Add(std::move(listener)); }
  void RemoveListener(int id) { listeners_.Remove(id); }

  // Tests and the shell: replace the whole state.
  void Set(SpeedState s) { state_.Set(std::move(s)); }

 private:
  Snapshot<SpeedState> state_;
  Listeners<> listeners_;
};

}  // namespace smt::settings
