#pragma once
// Numbers read from the cells of the program's files (job, side files,
// library lists, feeder table and CSV). A cell is read once, where its file
// is read: the whole text must be a finite number in the field's range, or
// the line is refused with the file, the line and the field named. Nothing
// that is not a number ("nan", "inf", "1e400", a word, "12abc", an empty
// cell where a number is needed) gets past the reader, so no NaN ever
// reaches an integer conversion.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace smt::platform {

// The whole text (blanks around it allowed) as a finite decimal number in
// [lo, hi]; nullopt for anything else.
std::optional<double> ParseCellNumber(std::string_view text, double lo, double hi);
// The whole text as an integer in [lo, hi] (no fraction, no exponent).
std::optional<long long> ParseCellInteger(std::string_view text, long long lo, long long hi);

// A cell that is not what its field needs.
class FileCellError : public std::runtime_error {
 public:
  FileCellError(std::string file, int line, std::string field, std::string text, std::string need);
  const std::string& file() const { return file_; }
  int line() const { return line_; }                 // 1-based
  const std::string& field() const { return field_; }
  const std::string& text() const { return text_; }  // what the cell held

 private:
  std::string file_;
  int line_;
  std::string field_;
  std::string text_;
};

// The cells of one TAB-terminated line, as views into the line (text after
// the last TAB is not a cell). `out` is reused between lines.
void SplitTabCellViews(std::string_view line, std::vector<std::string_view>& out);

// Reads the cells of one line of one file; every refusal is a FileCellError
// naming the file, the line and the field. A cell the line does not reach
// reads as empty.
class CellReader {
 public:
  CellReader(std::string_view file, int line, const std::vector<std::string_view>& cells)
      : file_(file), line_(line), cells_(cells) {}

  std::string_view Text(size_t cell) const { return cell < cells_.size() ? cells_[cell] : std::string_view(); }
  size_t CellCount() const { return cells_.size(); }
  int line() const { return line_; }
  std::string_view file() const { return file_; }

  double Number(size_t cell, std::string_view field, double lo, double hi) const;
  // An empty cell is `whenEmpty`; any other text must be a number in range.
  double NumberOr(size_t cell, std::string_view field, double lo, double hi, double whenEmpty) const;
  long long Integer(size_t cell, std::string_view field, long long lo, long long hi) const;
  long long IntegerOr(size_t cell, std::string_view field, long long lo, long long hi, long long whenEmpty) const;
  // A number held in part of a cell (the value after a flag, one of several
  // numbers in one cell).
  double NumberIn(std::string_view text, std::string_view field, double lo, double hi) const;
  long long IntegerIn(std::string_view text, std::string_view field, long long lo, long long hi) const;
  // Refuses the line naming the field, with what the field needs.
  [[noreturn]] void Refuse(std::string_view field, std::string_view text, std::string_view need) const;

 private:
  std::string_view file_;
  int line_;
  const std::vector<std::string_view>& cells_;
};

// The range as the refusal gives it ("-10000..10000").
std::string RangeText(double lo, double hi);

}  // namespace smt::platform
