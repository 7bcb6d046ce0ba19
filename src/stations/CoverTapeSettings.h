#pragma once
// The cover-tape unit's settings and counters, section [SetCoverConfig] of
// config.ini. The placement run reads them at its start and writes the two
// counters back after every change.
#include <string>

namespace smt::stations {

struct CoverTapeSettings {
  int m_StepPulse = 1;       // pulses of axis 14 per pocket
  int m_CoverTotal = 1;      // parts per tape
  int m_CoverOnceTotal = 1;  // pockets sealed by one stroke
  int m_BlankTotal = 1;      // empty pockets at the end of a tape
  int m_CoverDelay = 1;      // sealing time, ms
  int m_CoverTotalCount = 0; // parts in the current tape
  int m_CoverCount = 0;      // pockets since the last stroke

  // A missing or zero value of the first five keys reads as 1.
  static CoverTapeSettings Load(const std::string& appDir);
  bool Save(const std::string& appDir) const;
  // The first field outside its dialog range, or empty.
  std::string CheckRanges() const;
};

// The run's counter write-back: stores both counters in the file.
bool SaveCoverCounters(const std::string& appDir, int totalCount, int pocketCount);

}  // namespace smt::stations
