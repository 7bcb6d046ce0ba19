#include "job/PcbTable.h"

#include "job/WorkRecords.h"
#include "platform/FileCell.h"

#include <cctype>

#include "job/JobFileError.h"
#include "job/JobRows.h"

namespace smt::job {

// Limits of a panel as the editor allows it; a file beyond them is damaged.
static constexpr int kMaxPanelSide = 1000;

bool IsCellText(std::string_view text) { return text.find('\t') == std::string_view::npos; }

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

int PcbTable::FindPcbIndex(std::string_view name) const {
  for (size_t i = 0; i < m_Records.size(); ++i)
    if (m_Records[i].m_strName == name) return static_cast<int>(i);
  return -1;
}

PcbRecord* PcbTable::Find(std::string_view name) {
  int i = FindPcbIndex(name);
  return i < 0 ? nullptr : &m_Records[static_cast<size_t>(i)];
}

const PcbRecord* PcbTable::Find(std::string_view name) const {
  int i = FindPcbIndex(name);
  return i < 0 ? nullptr : &m_Records[static_cast<size_t>(i)];
}

bool PcbTable::NameTaken(std::string_view name, int except) const {
  for (size_t i = 0; i < m_Records.size(); ++i)
    if (static_cast<int>(i) != except && SameNameIgnoringCase(m_Records[i].m_strName, name)) return true;
  return false;
}

void PcbTable::FreePcbList() {
  m_Records.clear();
  m_strCurPcbName.clear();
}

size_t PcbTable::LineCount() const {
  size_t n = 0;
  for (const auto& r : m_Records) n += 1 + static_cast<size_t>(r.m_nRows > 0 ? r.m_nRows : 0) + r.m_Parts.size();
  return n;
}

void AppendGridLine(std::string& line, const PcbRecord& r, int row) {
  const size_t cells = static_cast<size_t>(r.m_nCols < 0 ? 0 : r.m_nCols) + 1;
  const std::vector<std::string>* g =
      row >= 0 && static_cast<size_t>(row) < r.m_PanelGrid.size() ? &r.m_PanelGrid[static_cast<size_t>(row)] : nullptr;
  for (size_t c = 0; c < cells; ++c) {
    if (g && c < g->size()) line += (*g)[c];
    line += '\t';
  }
}

void PcbTable::ForEachLine(const std::function<void(std::string_view)>& emit) const {
  std::string line;
  for (const auto& r : m_Records) {
    emit(PcbHeaderLine(r));
    // The grid lines follow the row count the header names.
    for (int row = 0; row < r.m_nRows; ++row) {
      line.clear();
      AppendGridLine(line, r, row);
      emit(line);
    }
    for (const auto& p : r.m_Parts) {
      line.clear();
      AppendStoredPlacement(line, p);
      emit(line);
    }
  }
}

size_t PcbTable::LineBytesBound() const {
  size_t n = 0;
  for (const auto& r : m_Records) {
    n += PcbHeaderLine(r).size();
    if (r.m_nRows > 0) {
      const size_t cells = static_cast<size_t>(r.m_nCols < 0 ? 0 : r.m_nCols) + 1;
      for (int row = 0; row < r.m_nRows; ++row) {
        n += cells;
        if (static_cast<size_t>(row) < r.m_PanelGrid.size())
          for (const auto& c : r.m_PanelGrid[static_cast<size_t>(row)]) n += c.size();
      }
    }
    for (const auto& p : r.m_Parts) n += PlacementLineBound(p);
  }
  return n;
}

std::vector<std::string> PcbTable::SaveToLines() const {
  std::vector<std::string> lines;
  lines.reserve(LineCount());
  ForEachLine([&](std::string_view l) { lines.emplace_back(l); });
  return lines;
}

PcbTable PcbTable::FromLines(std::string curName, uint32_t pcbCount, const std::vector<std::string>& lines,
                            std::string_view file) {
  size_t at = 0;
  return FromLineSource(std::move(curName), pcbCount, lines.size(), [&]() -> std::string_view { return lines[at++]; },
                        file);
}

PcbTable PcbTable::FromLineSource(std::string curName, uint32_t pcbCount, size_t lineCount,
                                  const std::function<std::string_view()>& next, std::string_view file) {
  PcbTable t;
  t.m_strCurPcbName = std::move(curName);
  if (pcbCount > lineCount)
    throw JobFileError("the file names " + std::to_string(pcbCount) + " boards but holds only " +
                       std::to_string(lineCount) + " lines");
  size_t at = 0;
  t.m_Records.reserve(pcbCount);
  std::vector<std::string_view> cells;
  try {
    for (uint32_t b = 0; b < pcbCount; ++b) {
      const std::string where = "board " + std::to_string(b + 1);
      if (at >= lineCount) throw JobFileError(where + ": its header line is missing");
      PcbRecord rec;
      const int parts = ParsePcbHeaderLine(next(), rec, file, static_cast<int>(at + 1));
      ++at;
      if (rec.m_nRows > kMaxPanelSide || rec.m_nCols > kMaxPanelSide)
        throw JobFileError(where + ": a panel of " + std::to_string(rec.m_nRows) + " x " +
                           std::to_string(rec.m_nCols) + " boards is out of range");
      const size_t left = lineCount - at;
      if (rec.m_nRows > 0) {
        if (static_cast<size_t>(rec.m_nRows) > left)
          throw JobFileError(where + ": " + std::to_string(rec.m_nRows) + " panel rows named, " +
                             std::to_string(left) + " lines left");
        const int gridCells = rec.m_nCols < 0 ? 0 : rec.m_nCols + 1;
        rec.m_PanelGrid.reserve(static_cast<size_t>(rec.m_nRows));
        for (int r = 0; r < rec.m_nRows; ++r, ++at) rec.m_PanelGrid.push_back(SplitTabCells(next(), gridCells));
      }
      if (parts > 0) {
        const size_t left2 = lineCount - at;
        if (static_cast<size_t>(parts) > left2)
          throw JobFileError(where + ": " + std::to_string(parts) + " placement rows named, " +
                             std::to_string(left2) + " lines left");
        rec.m_Parts.reserve(static_cast<size_t>(parts));
        for (int i = 0; i < parts; ++i, ++at) {
          // Every number of the row is checked here, where the file is read:
          // the common line in one pass, any other by the cell reader.
          const std::string_view line = next();
          PlacementRecord& part = rec.m_Parts.emplace_back();
          if (ReadPlainStoredPlacementLine(line, part)) continue;
          part = PlacementRecord{};
          smt::platform::SplitTabCellViews(line, cells);
          ReadStoredPlacementInto(smt::platform::CellReader(file, static_cast<int>(at + 1), cells), part);
        }
      }
      t.m_Records.push_back(std::move(rec));
    }
  } catch (const smt::platform::FileCellError& e) {
    throw JobCellError(e.what(), e.file(), e.line(), e.field());
  }
  if (at != lineCount)
    throw JobFileError(std::to_string(lineCount - at) + " lines follow the last of the " +
                       std::to_string(pcbCount) + " boards");
  return t;
}

void PcbTable::CheckOpensAgain(std::string_view file) const {
  std::vector<std::string_view> cells;
  std::string line;
  try {
    for (const auto& r : m_Records) {
      const std::string where = std::string(file) + ", board \"" + r.m_strName + "\"";
      PcbRecord header;
      const std::string head = PcbHeaderLine(r);
      ParsePcbHeaderLine(head, header, where, 0);
      if (r.m_nRows > kMaxPanelSide || r.m_nCols > kMaxPanelSide)
        throw JobFileError(where + ": a panel of " + std::to_string(r.m_nRows) + " x " + std::to_string(r.m_nCols) +
                           " boards is out of range");
      int row = 0;
      for (const auto& p : r.m_Parts) {
        ++row;
        // The numbers the reader checks, within its ranges: the row is
        // formatted and read as the open reads it only when one is not.
        const bool fits = p.serial >= 0 && p.serial <= kMaxSerial && p.x >= -kMaxBoardMm && p.x <= kMaxBoardMm &&
                          p.y >= -kMaxBoardMm && p.y <= kMaxBoardMm && p.angle >= -kMaxAngle &&
                          p.angle <= kMaxAngle;
        if (fits) continue;
        line.clear();
        AppendStoredPlacement(line, p);
        smt::platform::SplitTabCellViews(line, cells);
        PlacementRecord back;
        ReadStoredPlacementInto(smt::platform::CellReader(where, row, cells), back);
      }
    }
  } catch (const smt::platform::FileCellError& e) {
    throw JobCellError(e.what(), e.file(), e.line(), e.field());
  }
}

int PcbTable::ShownIndexAfterLoad() const {
  if (m_Records.empty()) return -1;
  int i = FindPcbIndex(m_strCurPcbName);
  return i < 0 ? 0 : i;
}

PcbOpResult PcbTable::Add(const std::string& name) {
  if (name.empty()) return PcbOpResult::EmptyName;
  if (!IsCellText(name)) return PcbOpResult::HasTab;
  if (NameTaken(name)) return PcbOpResult::NameInUse;
  PcbRecord rec;
  rec.m_strName = name;
  m_Records.push_back(std::move(rec));
  m_strCurPcbName = name;
  return PcbOpResult::Ok;
}

PcbOpResult PcbTable::DeleteCurrent() {
  int i = FindPcbIndex(m_strCurPcbName);
  if (i < 0) return PcbOpResult::NotFound;
  m_Records.erase(m_Records.begin() + i);
  m_strCurPcbName.clear();
  return PcbOpResult::Ok;
}

PcbOpResult PcbTable::PasteCurrent() {
  int i = FindPcbIndex(m_strCurPcbName);
  if (i < 0) return PcbOpResult::NothingChecked;
  const std::string copyName = m_strCurPcbName + "-copy";
  if (NameTaken(copyName)) return PcbOpResult::AlreadyCopied;
  PcbRecord copy = m_Records[static_cast<size_t>(i)];
  copy.m_strName = copyName;
  m_Records.insert(m_Records.begin() + i + 1, std::move(copy));
  return PcbOpResult::Ok;
}

PcbOpResult PcbTable::RenameCurrent(const std::string& newName, const std::string& note) {
  int i = FindPcbIndex(m_strCurPcbName);
  if (i < 0) return PcbOpResult::NotFound;
  if (newName.empty()) return PcbOpResult::EmptyName;
  if (!IsCellText(newName) || !IsCellText(note)) return PcbOpResult::HasTab;
  if (NameTaken(newName, i)) return PcbOpResult::NameInUse;
  m_Records[static_cast<size_t>(i)].m_strName = newName;
  m_Records[static_cast<size_t>(i)].m_strNote = note;
  m_strCurPcbName = newName;
  return PcbOpResult::Ok;
}

}  // namespace smt::job
