#pragma once
// Readers of the pick-and-place files the import dialog offers. A reader
// turns one exported file into rows of the seven-column import list; the
// texts are those of the file (no unit conversion), but every row is
// checked: a designator, X, Y and rotation that read as numbers (X and Y
// may carry "mm" or "mil"). A file that does not read as its layout is
// refused as a whole, naming the file and the line, so no file is ever
// half imported.
//
// Each format has its own column order and separator; where the file
// carries a title line (Designator, Mid X, PosX, Rotation, ...) the columns
// are taken by their titles instead, which also finds the unit stated in a
// title ("Center-X(mil)") or in the preamble ("Units used: mil",
// "UUNITS = MILLIMETERS", "## Unit = mm"). Line ends may be CR LF, LF or CR;
// a last line without a line end is read; blank and comment lines are
// skipped.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "job/EdaImportList.h"
#include "job/EdaTextDecoder.h"

namespace smt::job {

class EdaImportError : public std::runtime_error {
 public:
  // line: 1-based line of the file, 0 when the fault is the whole file's.
  EdaImportError(std::string file, int line, std::string reason);
  const std::string& File() const { return file_; }
  int Line() const { return line_; }
  const std::string& Reason() const { return reason_; }
  // The format the file's own header points to when it is not the one
  // chosen (-1: none).
  int SuggestedFormat() const { return suggested_; }
  void SetSuggestedFormat(int index) { suggested_ = index; }

 private:
  std::string file_;
  int line_ = 0;
  std::string reason_;
  int suggested_ = -1;
};

// A file that holds no parts (only a header, or nothing).
class EdaNoPartsError : public EdaImportError {
 public:
  explicit EdaNoPartsError(std::string file);
};

struct EdaFileContent {
  std::vector<ImportRow> rows;
  EdaTextEncoding encoding = EdaTextEncoding::Utf8;
  EdaLengthUnit fileUnit = EdaLengthUnit::Unstated;
  bool titledColumns = false;  // the columns were taken from a title line
};

// Largest file a reader accepts.
inline constexpr std::uintmax_t kMaxEdaFileBytes = 32u * 1024u * 1024u;

// Reads one file with the reader of format `formatIndex` (0..22). Throws
// EdaImportError when the file cannot be read or does not read as the
// format; nothing is returned then.
// `encoding` forces the text encoding; without it the file's bytes decide.
EdaFileContent ReadEdaFile(int formatIndex, const std::filesystem::path& path,
                           std::optional<EdaTextEncoding> encoding = std::nullopt);
// The same on bytes already in memory; `fileName` names the file in errors
// and in the rows.
EdaFileContent ReadEdaBytes(int formatIndex, const std::vector<uint8_t>& bytes, const std::string& fileName,
                            std::optional<EdaTextEncoding> encoding = std::nullopt);

// Field cutting used by the readers.
// Runs of blanks and TABs separate fields; a field in double quotes keeps
// its blanks (the quotes are dropped, "" inside stands for one quote).
std::vector<std::string> SplitBlankFields(std::string_view line);
// Fields between separators; empty fields keep their place; quoted fields
// may hold the separator; blanks around a field are trimmed.
std::vector<std::string> SplitDelimitedFields(std::string_view line, char sep);
// Ranges of a part's numbers: X and Y in millimetres (after the unit), the
// rotation in degrees as the file writes it (brought into one turn later).
inline constexpr double kMaxImportMm = 10000.0;
inline constexpr double kMaxImportRotation = 3600.0;

// Reads X, Y and the rotation of a row from its cells into its numbers,
// once: X and Y by the unit written on the number ("mm", "mil"), else the
// unit the file states, else the row's format rule (thousandths of an inch
// are converted; otherwise the text is millimetres as written). A cell that
// is not a number, or whose value lies outside its range, refuses the row:
// EdaImportError naming the row's file and line, the field and its range.
void ReadImportNumbers(ImportRow& row);

// A length as a file writes it: a decimal number, optionally followed by
// "mm" or "mil"/"mils". False when the text is anything else.
bool ParseEdaLength(std::string_view text, double* value = nullptr);
// A finite decimal number and nothing else (blanks around it allowed).
bool ParseEdaNumber(std::string_view text, double* value = nullptr);

}  // namespace smt::job
