#include "feeder/FeederTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/Machine.h"
#include "feeder/FeederRecord.h"
#include "platform/FileCell.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"

namespace smt::feeder {

FeederTable& FeederTable::Of(smt::Machine& machine) { return machine.Part<FeederTable>(); }

using smt::platform::FormatDouble;
using smt::platform::FormatInt;

namespace {

constexpr int kMaxTraySide = kMaxTraySideCells;

bool TickedCell(int cell) { return cell == kCellCamera || cell == kCellFly || cell == kCellSpeed; }

int OnIcon(int cell) { return cell == kCellCamera ? 1 : cell == kCellFly ? 2 : 3; }

FeederCells CellsFromList(const FeederListRow& r, bool pastedCounts) {
  FeederCells row;
  for (int c = 0; c < kFeederCells; ++c) {
    if (TickedCell(c)) {
      const int i = r.icon[static_cast<size_t>(c)];
      const bool on = i == 1 || i == 2 || i == 3 || (pastedCounts && i == 5);
      row[static_cast<size_t>(c)] = (on ? "Yes/" : "No/") + r.text[static_cast<size_t>(c)];
    } else {
      row[static_cast<size_t>(c)] = r.text[static_cast<size_t>(c)];
    }
  }
  return row;
}

std::string JoinTab(const std::vector<std::string>& cells) {
  std::string s;
  for (const auto& c : cells) {
    s += c;
    s += '\t';
  }
  return s;
}

std::string Field(const std::vector<std::string>& f, size_t i) { return i < f.size() ? f[i] : std::string(); }

}  // namespace

FeederRow RowFromListRow(const FeederListRow& row, int listLine, bool pastedCounts) {
  return FeederRow(CellsFromList(row, pastedCounts), "feeder list", listLine);
}

FeederListRow ListRowOf(const FeederRow& row) {
  FeederListRow lr;
  for (int c = 0; c < kFeederCells; ++c) lr.text[static_cast<size_t>(c)] = row.Cell(c);
  for (int c : {kCellCamera, kCellFly, kCellSpeed}) {
    auto [on, value] = SplitFlagCell(row.Cell(c));
    lr.icon[static_cast<size_t>(c)] = on ? OnIcon(c) : 4;
    lr.text[static_cast<size_t>(c)] = value;
  }
  return lr;
}

bool TrayRecord::KeptAsRead() const {
  if (keptLines.empty() || readValues != ValuesKey()) return false;
  return std::all_of(cells.begin(), cells.end(), [](const std::string& c) { return c.empty(); });
}

std::string TrayRecord::ValuesKey() const {
  char key[160];
  std::snprintf(key, sizeof key, "%d %d %d %d %.17g %.17g", rows, cols, rowSerial, colSerial, rowSpace, colSpace);
  return key;
}

TrayRecord TrayRecord::Default(std::optional<std::string> cell) {
  TrayRecord t;
  if (cell) t.cells.push_back(*cell);
  return t;
}

std::vector<std::string> SplitTabCells(const std::string& line) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
    out.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  return out;
}

std::pair<bool, std::string> SplitFlagCell(const std::string& cell) {
  const size_t slash = cell.find('/');
  if (slash == std::string::npos) return {cell == "Yes", std::string()};
  return {cell.substr(0, slash) == "Yes", cell.substr(slash + 1)};
}

char FeederSideLetter(const std::string& number) {
  for (char c : {'W', 'N', 'E', 'S', 'G'})
    if (number.find(c) != std::string::npos) return c;
  return 0;
}

// --- groups -------------------------------------------------------------------

int FeederTable::FindGroupUnlocked(const std::string& name) const {
  for (size_t i = 0; i < groups_.size(); ++i)
    if (groups_[i].name == name) return static_cast<int>(i);
  return -1;
}

FeederGroup* FeederTable::CurrentUnlocked() {
  if (currentIndex_ < 0 || currentIndex_ >= static_cast<int>(groups_.size())) return nullptr;
  return &groups_[static_cast<size_t>(currentIndex_)];
}
const FeederGroup* FeederTable::CurrentUnlocked() const {
  if (currentIndex_ < 0 || currentIndex_ >= static_cast<int>(groups_.size())) return nullptr;
  return &groups_[static_cast<size_t>(currentIndex_)];
}

int FeederTable::FindGroupByName(const std::string& name) const {
  std::lock_guard lk(m_);
  return FindGroupUnlocked(name);
}
int FeederTable::GroupCount() const {
  std::lock_guard lk(m_);
  return static_cast<int>(groups_.size());
}
int FeederTable::CurrentIndex() const {
  std::lock_guard lk(m_);
  return currentIndex_;
}
std::string FeederTable::CurrentName() const {
  std::lock_guard lk(m_);
  return currentName_;
}
void FeederTable::SetCurrentName(const std::string& name) {
  std::lock_guard lk(m_);
  currentName_ = name;
}
std::vector<FeederGroup> FeederTable::Groups() const {
  std::lock_guard lk(m_);
  return groups_;
}
std::optional<FeederGroup> FeederTable::CurrentGroup() const {
  std::lock_guard lk(m_);
  if (const FeederGroup* g = CurrentUnlocked()) return *g;
  return std::nullopt;
}
int FeederTable::CurrentRowCount() const {
  std::lock_guard lk(m_);
  const FeederGroup* g = CurrentUnlocked();
  return g ? g->RowCount() : 0;
}
std::optional<FeederRow> FeederTable::CurrentRow(int n) const {
  std::lock_guard lk(m_);
  const FeederGroup* g = CurrentUnlocked();
  if (!g || n < 0 || n >= g->RowCount()) return std::nullopt;
  return g->rows[static_cast<size_t>(n)];
}
int FeederTable::FindCurrentRow(const std::string& number) const {
  std::lock_guard lk(m_);
  const FeederGroup* g = CurrentUnlocked();
  if (!g) return -1;
  for (int i = 0; i < g->RowCount(); ++i)
    if (g->rows[static_cast<size_t>(i)].Number() == number) return i;
  return -1;
}
bool FeederTable::SetCurrentCell(int n, int cell, const std::string& text) {
  std::lock_guard lk(m_);
  FeederGroup* g = CurrentUnlocked();
  if (!g || n < 0 || n >= g->RowCount() || cell < 0 || cell >= kFeederCells) return false;
  g->rows[static_cast<size_t>(n)].SetText(cell, text);
  return true;
}

bool FeederTable::SetCurrentFeedCount(int n, int count) {
  std::lock_guard lk(m_);
  FeederGroup* g = CurrentUnlocked();
  return g && n >= 0 && n < g->RowCount() && g->rows[static_cast<size_t>(n)].SetFeedCount(count);
}

bool FeederTable::SetCurrentQuantity(int n, int quantity) {
  std::lock_guard lk(m_);
  FeederGroup* g = CurrentUnlocked();
  return g && n >= 0 && n < g->RowCount() && g->rows[static_cast<size_t>(n)].SetQuantity(quantity);
}

bool FeederTable::SetCurrentPickHeight(int n, double mm) {
  std::lock_guard lk(m_);
  FeederGroup* g = CurrentUnlocked();
  return g && n >= 0 && n < g->RowCount() && g->rows[static_cast<size_t>(n)].SetPickHeight(mm);
}

std::vector<FeederListRow> FeederTable::ShowGroupInList(const std::string& name, const FeederNameTables& names) {
  std::lock_guard lk(m_);
  std::vector<FeederListRow> out;
  const int idx = FindGroupUnlocked(name);
  if (idx < 0) {
    currentIndex_ = -1;
    return out;
  }
  currentIndex_ = idx;
  for (FeederRow& row : groups_[static_cast<size_t>(idx)].rows) {
    if (row.Empty()) break;
    FeederListRow lr;
    for (int c = 0; c < kFeederCells; ++c) lr.text[static_cast<size_t>(c)] = row.Cell(c);
    row.SetText(kCellFeedMode, TranslateFeedModeCell(row.Cell(kCellFeedMode), names));
    lr.text[kCellFeedMode] = row.Cell(kCellFeedMode);
    for (int c : {kCellCamera, kCellFly, kCellSpeed}) {
      auto [on, value] = SplitFlagCell(row.Cell(c));
      lr.icon[static_cast<size_t>(c)] = on ? OnIcon(c) : 4;
      if (c == kCellSpeed) {
        int use = 0;
        if (MatchSpeedName(value, names, &use)) value = names.speed[static_cast<size_t>(names.Lang() * 8 + use)];
        row.SetText(kCellSpeed, (on ? "Yes/" : "No/") + value);
      }
      lr.text[static_cast<size_t>(c)] = value;
    }
    out.push_back(std::move(lr));
  }
  return out;
}

// --- text form ---------------------------------------------------------------------

FeederLoadResult FeederTable::LoadFromLines(std::vector<std::string>& lines, const FeederNameTables& names) {
  FeederLoadResult result;
  if (lines.empty()) return result;
  using smt::platform::CellReader;
  using smt::platform::FileCellError;
  size_t pos = 0;
  auto take = [&]() -> std::optional<std::vector<std::string>> {
    if (pos >= lines.size()) return std::nullopt;
    return SplitTabCells(lines[pos++]);
  };
  std::vector<std::string_view> views;
  // The cells of line `at` (0-based) for a checked read.
  auto reader = [&](size_t at) {
    smt::platform::SplitTabCellViews(lines[at], views);
    return CellReader(kFeederFileName, static_cast<int>(at + 1), views);
  };
  auto problem = [&](const FileCellError& e) {
    return "line " + std::to_string(e.line()) + ": field \"" + e.field() + "\": \"" + e.text() + "\" is " +
           (e.text().empty() ? "empty" : "not a usable number");
  };
  std::vector<FeederGroup> groups;
  std::string error;
  long long trayCells = 0;
  const std::string currentName = Field(SplitTabCells(lines[0]), 1);
  int groupCount = 0;
  try {
    groupCount = static_cast<int>(reader(0).Integer(0, "group count", 0, 1'000'000));
  } catch (const FileCellError& e) {
    error = problem(e);
    result.stoppedAtLine = 1;
  }
  std::vector<std::string> stoppedLead, unreadTail, unreadForm;
  int unreadGroups = 0;
  std::optional<FeederGroup> stoppedGroup;
  if (!error.empty()) unreadForm = lines;
  // The load stops in group `gi`, whose line is `groupLine`, at line
  // `firstUnread`: the lines from there on are kept as read, and so are
  // the lines read of the group (`loaded`, which the table keeps marked).
  auto keepRest = [&](int gi, size_t groupLine, size_t firstUnread, FeederGroup* loaded) {
    firstUnread = std::clamp(firstUnread, groupLine, lines.size());
    if (loaded) {
      stoppedLead.assign(lines.begin() + static_cast<std::ptrdiff_t>(groupLine),
                         lines.begin() + static_cast<std::ptrdiff_t>(firstUnread));
      loaded->loadStoppedHere = true;
      stoppedGroup = *loaded;
    } else {
      firstUnread = groupLine;
    }
    unreadTail.assign(lines.begin() + static_cast<std::ptrdiff_t>(firstUnread), lines.end());
    unreadGroups = groupCount - gi;
  };
  pos = 1;
  for (int gi = 0; gi < groupCount && error.empty(); ++gi) {
    if (pos >= lines.size()) {
      error = "the form ends before group " + std::to_string(gi + 1);
      break;
    }
    const size_t groupLine = pos;
    const auto gl = *take();
    FeederGroup g;
    g.name = Field(gl, 0);
    g.description = Field(gl, 1);
    int rowCount = 0;
    try {
      rowCount = static_cast<int>(reader(groupLine).Integer(2, "row count", 0, 1'000'000));
    } catch (const FileCellError& e) {
      error = problem(e);
      result.stoppedAtLine = static_cast<int>(groupLine + 1);
      keepRest(gi, groupLine, groupLine, nullptr);
      break;
    }
    if (static_cast<size_t>(rowCount) > lines.size() - pos) {
      error = "group \"" + g.name + "\" counts more rows than the form holds";
      keepRest(gi, groupLine, pos, &g);
      groups.push_back(std::move(g));
      break;
    }
    for (int r = 0; r < rowCount; ++r) {
      // Every number of the row is read here, once. A row whose numbers
      // cannot be read keeps its text (it is written back as it was) and is
      // named; nothing is picked from it.
      const int line = static_cast<int>(pos + 1);
      const auto cells = *take();
      FeederCells text;
      for (size_t c = 0; c < kFeederCells; ++c) text[c] = Field(cells, c);
      text[kCellFeedMode] = TranslateFeedModeCell(text[kCellFeedMode], names);
      text[kCellSpeed] = TranslateSpeedCell(text[kCellSpeed], names);
      FeederRow row(std::move(text), kFeederFileName, line);
      if (const FileCellError* e = row.Problem()) result.skipped.push_back({e->line(), e->field(), problem(*e)});
      g.rows.push_back(std::move(row));
    }
    for (int r = 0; r < rowCount && error.empty(); ++r) {
      if (pos >= lines.size()) {
        error = "the form ends before a tray of group \"" + g.name + "\"";
        break;
      }
      const size_t trayLine = pos;
      const std::string where = "line " + std::to_string(trayLine + 1) + ": ";
      TrayLine size;
      try {
        size = ReadTraySize(reader(trayLine), kMaxTraySide);
      } catch (const FileCellError& e) {
        error = problem(e) + " (a tray of group \"" + g.name + "\" has an impossible size)";
        result.stoppedAtLine = e.line();
        break;
      }
      if (size.rows > 0 && static_cast<size_t>(size.rows) > lines.size() - pos - 1) {
        error = where + "a tray of group \"" + g.name + "\" has an impossible size";
        break;
      }
      if (size.rows > 0 && trayCells + static_cast<long long>(size.rows) * size.cols > kMaxTrayCellsPerFile) {
        // What one file may allocate in all: a tray past it is kept as its
        // lines (written back as read) and offers no cell; the load goes on.
        result.skipped.push_back({static_cast<int>(trayLine + 1), "tray rows",
                                  where + "a tray of group \"" + g.name + "\" asks for " +
                                      std::to_string(static_cast<long long>(size.rows) * size.cols) +
                                      " cells: the trays of one file may ask for " +
                                      std::to_string(kMaxTrayCellsPerFile) +
                                      " cells in all; it is kept as it is and not used"});
        TrayRecord t;
        t.rows = 0;
        t.cols = 0;
        t.readValues = t.ValuesKey();
        for (size_t k = 0; k <= static_cast<size_t>(size.rows); ++k) t.keptLines.push_back(lines[trayLine + k]);
        pos = trayLine + 1 + static_cast<size_t>(size.rows);
        g.trays.push_back(std::move(t));
        continue;
      }
      if (size.rows > 0) trayCells += static_cast<long long>(size.rows) * size.cols;
      TrayRecord t;
      try {
        const TrayLine tl = ReadTrayLine(reader(trayLine), kMaxTraySide, kMaxTraySpacingMm);
        t.rows = tl.rows;
        t.cols = tl.cols;
        t.rowSerial = tl.rowSerial == -1 ? 0 : tl.rowSerial;
        t.colSerial = tl.colSerial;
        t.rowSpace = tl.rowSpace;
        t.colSpace = tl.colSpace;
      } catch (const FileCellError& e) {
        // The tray's extent is known: its lines are kept as they are and
        // written back unchanged; it offers no cell to pick until edited.
        result.skipped.push_back({e.line(), e.field(), problem(e) + " (a tray of group \"" + g.name + "\")"});
        t = TrayRecord{};
        t.rows = 0;
        t.cols = 0;
        t.readValues = t.ValuesKey();
        for (size_t k = 0; k <= static_cast<size_t>(size.rows); ++k) t.keptLines.push_back(lines[trayLine + k]);
        pos = trayLine + 1 + static_cast<size_t>(size.rows);
        g.trays.push_back(std::move(t));
        continue;
      }
      t.readLine = lines[trayLine];
      t.readValues = t.ValuesKey();
      ++pos;
      if (t.rows == 0) {
        t = TrayRecord::Default("Yes/1");
      } else {
        t.cells.reserve(static_cast<size_t>(t.rows) * static_cast<size_t>(t.cols));
        for (int rr = 0; rr < t.rows; ++rr) {
          const auto cl = *take();
          for (int cc = 0; cc < t.cols; ++cc) t.cells.push_back(Field(cl, static_cast<size_t>(cc)));
        }
      }
      g.trays.push_back(std::move(t));
    }
    // Rows whose tray the load did not reach get the default tray, marked
    // with their slot: their lines are kept after the group.
    if (!g.rows.empty())
      while (g.trays.size() < g.rows.size()) {
        g.trays.push_back(TrayRecord::Default("Yes/1"));
        if (!error.empty()) g.trays.back().unreadSlot = static_cast<int>(g.trays.size() - 1);
      }
    if (!error.empty()) keepRest(gi, groupLine, pos, &g);
    groups.push_back(std::move(g));
  }
  lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(pos, lines.size())));
  std::lock_guard lk(m_);
  groups_ = std::move(groups);
  currentName_ = currentName;
  stoppedLead_ = std::move(stoppedLead);
  unreadTail_ = std::move(unreadTail);
  unreadGroups_ = unreadGroups;
  stoppedGroup_ = std::move(stoppedGroup);
  unreadForm_ = std::move(unreadForm);
  result.ok = true;
  for (const auto& s : result.skipped) {
    if (!result.error.empty()) result.error += "\r\n";
    result.error += s.text;
  }
  if (!error.empty()) {
    if (!result.error.empty()) result.error += "\r\n";
    result.error += error;
  }
  return result;
}

namespace {

// The lines of the rows `which` of `g`, then of their trays, as the table
// holds them.
void WriteRows(const FeederGroup& g, const std::vector<size_t>& which, std::vector<std::string>& out) {
  for (size_t r : which) out.push_back(JoinTab(std::vector<std::string>(g.rows[r].Cells().begin(), g.rows[r].Cells().end())));
}
void WriteTrays(FeederGroup& g, const std::vector<size_t>& which, std::vector<std::string>& out) {
  for (size_t r : which) {
    if (r >= g.trays.size()) g.trays.resize(g.rows.size(), TrayRecord::Default("Yes/1"));
    TrayRecord& t = g.trays[r];
    if (t.KeptAsRead()) {
      // A tray that could not be read goes back as it was.
      out.insert(out.end(), t.keptLines.begin(), t.keptLines.end());
      continue;
    }
    if (t.rowSerial == -1) t.rowSerial = 0;
    if (!t.readLine.empty() && t.readValues == t.ValuesKey())
      out.push_back(t.readLine);
    else
      out.push_back(JoinTab({FormatInt(t.rows), FormatInt(t.cols), FormatInt(t.rowSerial), FormatInt(t.colSerial),
                             FormatDouble(t.rowSpace, 4), FormatDouble(t.colSpace, 4)}));
    if (t.rows <= 0) continue;
    for (int rr = 0; rr < t.rows; ++rr) {
      std::string line;
      for (int cc = 0; cc < t.cols; ++cc) {
        const size_t i = static_cast<size_t>(rr) * static_cast<size_t>(t.cols) + static_cast<size_t>(cc);
        if (i < t.cells.size()) line += t.cells[i];
        line += '\t';
      }
      out.push_back(std::move(line));
    }
  }
}

// A whole group: its line, its rows with a number, their trays.
void WriteGroup(FeederGroup& g, std::vector<std::string>& out) {
  std::vector<size_t> kept;
  for (size_t r = 0; r < g.rows.size(); ++r)
    if (!g.rows[r].Empty()) kept.push_back(r);
  out.push_back(JoinTab({g.name, g.description, FormatInt(static_cast<long long>(kept.size()))}));
  WriteRows(g, kept, out);
  WriteTrays(g, kept, out);
}

// True when `g`, the group a load stopped in, still has the shape it was
// loaded with: the same number of rows, none without a number, and the
// trays read and not read in the same slots. Its lines then stand in the
// file as they did and the lines not read can follow them.
bool KeepsLoadedShape(const FeederGroup& g, const FeederGroup& loaded) {
  if (g.rows.size() != loaded.rows.size() || g.trays.size() != loaded.trays.size()) return false;
  for (const FeederRow& r : g.rows)
    if (r.Empty()) return false;
  for (size_t j = 0; j < g.trays.size(); ++j)
    if (g.trays[j].unreadSlot != loaded.trays[j].unreadSlot) return false;
  return true;
}

// The group line as read with the group's name and description put in.
std::string GroupLineAsRead(const std::string& read, const FeederGroup& g) {
  const size_t t1 = read.find('\t');
  const size_t t2 = t1 == std::string::npos ? std::string::npos : read.find('\t', t1 + 1);
  if (t2 == std::string::npos) return JoinTab({g.name, g.description, "0"});
  if (read.compare(0, t1, g.name) == 0 && read.compare(t1 + 1, t2 - t1 - 1, g.description) == 0) return read;
  return g.name + '\t' + g.description + read.substr(t2);
}

}  // namespace

std::vector<std::string> FeederTable::SaveToLines() {
  std::lock_guard lk(m_);
  // A form whose group count could not be read goes back whole; groups made
  // since are written before it (its first line then reads as a group whose
  // row count cannot be read, so the next load keeps it as it is again).
  if (!unreadForm_.empty()) {
    if (groups_.empty()) return unreadForm_;
    std::vector<std::string> out;
    out.push_back(JoinTab({FormatInt(static_cast<long long>(groups_.size()) + 1), currentName_}));
    for (FeederGroup& g : groups_) WriteGroup(g, out);
    out.insert(out.end(), unreadForm_.begin(), unreadForm_.end());
    return out;
  }
  // The group a load stopped in (it may have been deleted since).
  int stopped = -1;
  const bool unread = !stoppedLead_.empty() || !unreadTail_.empty() || unreadGroups_ > 0;
  if (unread && stoppedGroup_)
    for (size_t i = 0; i < groups_.size() && stopped < 0; ++i)
      if (groups_[i].loadStoppedHere) stopped = static_cast<int>(i);
  const bool inPlace = stopped >= 0 && !stoppedLead_.empty() &&
                       KeepsLoadedShape(groups_[static_cast<size_t>(stopped)], *stoppedGroup_);
  std::vector<std::string> out;
  const long long written = static_cast<long long>(groups_.size()) - (inPlace ? 1 : 0);
  out.push_back(JoinTab({FormatInt(written + (unread ? unreadGroups_ : 0)), currentName_}));
  for (size_t gi = 0; gi < groups_.size(); ++gi) {
    if (inPlace && static_cast<int>(gi) == stopped) continue;
    WriteGroup(groups_[gi], out);
  }
  if (!unread) return out;
  if (inPlace) {
    // The stopped group at its place: its group line as read (its row
    // count included), its rows and the trays read as the table holds
    // them, then the lines not read.
    FeederGroup& g = groups_[static_cast<size_t>(stopped)];
    out.push_back(GroupLineAsRead(stoppedLead_.front(), g));
    std::vector<size_t> rows, trays;
    for (size_t r = 0; r < g.rows.size(); ++r) rows.push_back(r);
    for (size_t r = 0; r < g.trays.size(); ++r)
      if (g.trays[r].unreadSlot < 0) trays.push_back(r);
    WriteRows(g, rows, out);
    WriteTrays(g, trays, out);
  } else {
    // The stopped group was reshaped or removed (or its own line could not
    // be read): its lines as read stay where they were.
    out.insert(out.end(), stoppedLead_.begin(), stoppedLead_.end());
  }
  out.insert(out.end(), unreadTail_.begin(), unreadTail_.end());
  return out;
}

// --- editing -------------------------------------------------------------------------

void FeederTable::CopyGroupToBuffer() {
  std::lock_guard lk(m_);
  buffer_ = FeederGroup{};
  workTray_ = TrayRecord::Default(std::string());
  const FeederGroup* g = CurrentUnlocked();
  if (g) {
    buffer_ = *g;
    if (buffer_.trays.size() < buffer_.rows.size()) buffer_.trays.resize(buffer_.rows.size(), TrayRecord::Default("Yes/1"));
  }
  buffer_.rows.push_back(FeederRow{});
  buffer_.trays.push_back(TrayRecord::Default(std::string()));
}

void FeederTable::AppendRowFromList(const FeederListRow& row) {
  std::lock_guard lk(m_);
  FeederGroup* g = CurrentUnlocked();
  if (!g || buffer_.rows.empty()) return;
  buffer_.rows.back() = RowFromListRow(row, static_cast<int>(buffer_.rows.size()), false);
  buffer_.trays.back() = workTray_;
  buffer_.name = g->name;
  buffer_.description = g->description;
  *g = buffer_;
  buffer_ = FeederGroup{};
}

void FeederTable::StoreListRow(const FeederListRow& row, int n) {
  std::lock_guard lk(m_);
  FeederGroup* g = CurrentUnlocked();
  if (!g || n < 0 || n >= g->RowCount()) return;
  g->rows[static_cast<size_t>(n)] = RowFromListRow(row, n + 1, true);
}

void FeederTable::StoreRow(const FeederRow& row, int n) {
  std::lock_guard lk(m_);
  FeederGroup* g = CurrentUnlocked();
  if (!g || n < 0 || n >= g->RowCount()) return;
  g->rows[static_cast<size_t>(n)] = row;
}

void FeederTable::ClearCurrentRowsUnlocked() {
  FeederGroup* g = CurrentUnlocked();
  if (!g) return;
  g->rows.clear();
  for (TrayRecord& t : g->trays) t = TrayRecord::Default();
  g->trays.clear();
}

bool FeederTable::DeleteRowByNumber(const std::string& number) {
  std::unique_lock lk(m_);
  FeederGroup* g = CurrentUnlocked();
  if (!g) return false;
  if (g->RowCount() == 1) {
    g->rows.clear();
    g->trays.clear();
    return true;
  }
  buffer_ = FeederGroup{};
  for (int k = 0; k < g->RowCount(); ++k) {
    if (g->rows[static_cast<size_t>(k)].Number() != number) continue;
    g->rows.erase(g->rows.begin() + k);
    if (static_cast<size_t>(k) < g->trays.size()) g->trays.erase(g->trays.begin() + k);
    return true;
  }
  lk.unlock();
  smt::platform::ShowMessage(kFeedNumberError);
  return false;
}

bool FeederTable::PasteRowAfter(const std::string& sourceNumber, const std::string& newNumber) {
  std::unique_lock lk(m_);
  FeederGroup* g = CurrentUnlocked();
  buffer_ = FeederGroup{};
  if (g) {
    for (int k = 0; k < g->RowCount(); ++k) {
      if (g->rows[static_cast<size_t>(k)].Number() != sourceNumber) continue;
      if (g->trays.size() < g->rows.size()) g->trays.resize(g->rows.size(), TrayRecord::Default("Yes/1"));
      FeederRow copy = g->rows[static_cast<size_t>(k)];
      copy.SetText(kCellNumber, newNumber);
      TrayRecord tray = g->trays[static_cast<size_t>(k)];
      g->rows.insert(g->rows.begin() + k + 1, std::move(copy));
      g->trays.insert(g->trays.begin() + k + 1, std::move(tray));
      return true;
    }
  }
  lk.unlock();
  smt::platform::ShowMessage(kFeedNumberError);
  return false;
}

void FeederTable::ClearBufferGroup() {
  std::lock_guard lk(m_);
  buffer_ = FeederGroup{};
}

void FeederTable::ClearCurrentGroupRows() {
  std::lock_guard lk(m_);
  ClearCurrentRowsUnlocked();
}

void FeederTable::ReplaceCurrentRows(std::vector<FeederRow> rows, std::vector<TrayRecord> trays) {
  std::lock_guard lk(m_);
  FeederGroup* g = CurrentUnlocked();
  if (!g) return;
  trays.resize(rows.size(), TrayRecord::Default("Yes/1"));
  if (rows.empty()) trays.clear();
  g->rows = std::move(rows);
  g->trays = std::move(trays);
}

std::string FeederTable::ShiftCurrentPositions(double dx, double dy) {
  std::lock_guard lk(m_);
  FeederGroup* g = CurrentUnlocked();
  if (!g) return {};
  std::vector<FeederRow> moved = g->rows;
  for (FeederRow& r : moved) {
    if (r.Empty()) continue;
    if (!r.Readable()) return "feeder \"" + r.Number() + "\": " + r.Problem()->what();
    const double x = r.Record().x + dx, y = r.Record().y + dy;
    if (!r.SetPickPoint(x, y))
      return "feeder \"" + r.Number() + "\": the pick point " + FormatDouble(x, 4) + ", " + FormatDouble(y, 4) +
             " leaves " + smt::platform::RangeText(-kFeederPositionLimitMm, kFeederPositionLimitMm) + " mm";
  }
  g->rows = std::move(moved);
  return {};
}

// --- working tray -----------------------------------------------------------------------

void FeederTable::AllocTrayGrid(int rows, int cols) {
  std::lock_guard lk(m_);
  rows = std::clamp(rows, 0, kMaxTraySide);
  cols = std::clamp(cols, 0, kMaxTraySide);
  workTray_ = TrayRecord{};
  workTray_.rows = rows;
  workTray_.cols = cols;
  workTray_.cells.assign(static_cast<size_t>(rows) * static_cast<size_t>(cols), std::string());
}

void FeederTable::FreeTrayGrid() {
  std::lock_guard lk(m_);
  if (workTray_.rows == 0) return;
  workTray_ = TrayRecord::Default();
}

void FeederTable::LoadTray(int n) {
  std::lock_guard lk(m_);
  const FeederGroup* g = CurrentUnlocked();
  if (!g || n < 0 || static_cast<size_t>(n) >= g->trays.size()) return;
  const TrayRecord& t = g->trays[static_cast<size_t>(n)];
  const size_t size = workTray_.cells.size();
  // A tray kept as its lines stays so while its values are not changed:
  // an editor's OK on the row keeps them.
  workTray_ = t;
  workTray_.cells.resize(std::max(size, t.cells.size()));
}

void FeederTable::StoreTray(int n) {
  std::lock_guard lk(m_);
  FeederGroup* g = CurrentUnlocked();
  if (!g || n < 0 || n >= g->RowCount()) return;
  if (g->trays.size() < g->rows.size()) g->trays.resize(g->rows.size(), TrayRecord::Default("Yes/1"));
  g->trays[static_cast<size_t>(n)] = workTray_;
}

void FeederTable::StoreTrayWithCells(int n) {
  std::lock_guard lk(m_);
  FeederGroup* g = CurrentUnlocked();
  if (!g || n < 0 || n >= g->RowCount()) return;
  if (g->trays.size() < g->rows.size()) g->trays.resize(g->rows.size(), TrayRecord::Default("Yes/1"));
  TrayRecord& t = g->trays[static_cast<size_t>(n)];
  t = workTray_;
  t.cells.assign(static_cast<size_t>(std::max(0, t.rows)) * static_cast<size_t>(std::max(0, t.cols)), std::string());
}

void FeederTable::FreeRowTray(int n) {
  std::lock_guard lk(m_);
  FeederGroup* g = CurrentUnlocked();
  if (!g || n < 0 || static_cast<size_t>(n) >= g->trays.size()) return;
  g->trays[static_cast<size_t>(n)] = TrayRecord::Default();
}

TrayRecord FeederTable::WorkTray() const {
  std::lock_guard lk(m_);
  return workTray_;
}
void FeederTable::SetWorkTray(TrayRecord t) {
  std::lock_guard lk(m_);
  workTray_ = std::move(t);
}
std::optional<TrayRecord> FeederTable::CurrentTray(int n) const {
  std::lock_guard lk(m_);
  const FeederGroup* g = CurrentUnlocked();
  if (!g || n < 0 || static_cast<size_t>(n) >= g->trays.size()) return std::nullopt;
  return g->trays[static_cast<size_t>(n)];
}

void FeederTable::NormalizeTrayRowSerial(int n) {
  std::lock_guard lk(m_);
  FeederGroup* g = CurrentUnlocked();
  if (!g || n < 0 || static_cast<size_t>(n) >= g->trays.size()) return;
  if (g->trays[static_cast<size_t>(n)].rowSerial == -1) g->trays[static_cast<size_t>(n)].rowSerial = 0;
}

TrayGridView FeederTable::ShowTrayGrid() const {
  std::lock_guard lk(m_);
  TrayGridView v;
  v.rows = std::max(0, workTray_.rows);
  v.cols = std::max(0, workTray_.cols);
  v.rowSpace = workTray_.rowSpace;
  v.colSpace = workTray_.colSpace;
  const long long next = static_cast<long long>(workTray_.rowSerial) * v.cols + workTray_.colSerial;
  for (int r = 0; r < v.rows; ++r)
    for (int c = 0; c < v.cols; ++c) {
      const size_t i = static_cast<size_t>(r) * static_cast<size_t>(v.cols) + static_cast<size_t>(c);
      TrayGridCell cell;
      if (i < workTray_.cells.size()) cell.text = SplitFlagCell(workTray_.cells[i]).second;
      cell.present = static_cast<long long>(i) >= next;
      v.cells.push_back(std::move(cell));
    }
  return v;
}

void FeederTable::StoreTrayFromGrid(int rows, int cols, double rowSpace, double colSpace,
                                    const std::vector<TrayGridCell>& cells) {
  std::lock_guard lk(m_);
  rows = std::clamp(rows, 0, kMaxTraySide);
  cols = std::clamp(cols, 0, kMaxTraySide);
  TrayRecord t;
  t.rows = rows;
  t.cols = cols;
  t.rowSpace = rowSpace;
  t.colSpace = colSpace;
  bool found = false;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const size_t i = static_cast<size_t>(r) * static_cast<size_t>(cols) + static_cast<size_t>(c);
      const TrayGridCell cell = i < cells.size() ? cells[i] : TrayGridCell{};
      t.cells.push_back((cell.present ? "Yes/" : "No/") + cell.text);
      if (cell.present && !found) {
        found = true;
        t.rowSerial = r;
        t.colSerial = c;
      }
    }
  workTray_ = std::move(t);
}

// --- group manager ------------------------------------------------------------------------

void FeederTable::AddGroup(const std::string& name, const std::string& description) {
  std::lock_guard lk(m_);
  FeederGroup g;
  g.name = name;
  g.description = description;
  groups_.push_back(std::move(g));
}

bool FeederTable::CopyGroup(const std::string& source, const std::string& name, const std::string& description) {
  std::lock_guard lk(m_);
  const int s = FindGroupUnlocked(source);
  if (s < 0) return false;
  FeederGroup g = groups_[static_cast<size_t>(s)];
  g.name = name;
  g.description = description;
  // A copy is a group of its own: the lines a load could not read stay
  // with the group they came from.
  g.loadStoppedHere = false;
  for (TrayRecord& t : g.trays) t.unreadSlot = -1;
  groups_.push_back(std::move(g));
  return true;
}

bool FeederTable::EditGroup(const std::string& oldName, const std::string& name, const std::string& description) {
  std::lock_guard lk(m_);
  const int s = FindGroupUnlocked(oldName);
  if (s < 0) return false;
  groups_[static_cast<size_t>(s)].name = name;
  groups_[static_cast<size_t>(s)].description = description;
  if (oldName == currentName_) currentName_ = name;
  return true;
}

bool FeederTable::DeleteGroup(const std::string& name) {
  std::lock_guard lk(m_);
  if (name == currentName_) return false;
  const int s = FindGroupUnlocked(name);
  if (s < 0) return false;
  groups_.erase(groups_.begin() + s);
  if (currentIndex_ > s) --currentIndex_;
  return true;
}

void FeederTable::Clear() {
  std::lock_guard lk(m_);
  groups_.clear();
  stoppedLead_.clear();
  unreadTail_.clear();
  unreadGroups_ = 0;
  stoppedGroup_.reset();
  unreadForm_.clear();
  buffer_ = FeederGroup{};
  workTray_ = TrayRecord::Default();
  currentIndex_ = 0;
  currentName_.clear();
}

}  // namespace smt::feeder
