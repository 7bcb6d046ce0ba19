#pragma once
// The pick-and-place (centroid) file formats the import dialog offers, in
// the order of its format box: the file kind each offers in the open-file
// dialog, the reader that cuts its lines into the seven import columns and
// the rule that turns its X and Y texts into millimetres.
#include <array>
#include <string>

namespace smt::job {

// How X and Y texts of a format become millimetres when the number carries
// no unit of its own and the file states none.
enum class EdaUnitRule {
  Suffix,     // "12.5mm" / "100mil" are converted, a bare number stays
  AsWritten,  // the text stays as written
  Thou,       // thousandths of an inch (mil)
};

enum class EdaReader {
  ProtelText,
  ProtelPik,
  Altium20Text,
  CommaFile,
  Altium20Csv,
  PowerPcbText,
  AllegroText,
  EagleMnt,
  KiCadPos,
  ExcelCsv,
  ProteusPkp,
  MentorText,
  PadsText,
  PadsTextNew,
  PadsCsv,
  Pads318,
  GerbCamCsv,
  GerbCamText,
  AllegroCsv,
  AllegroNewText,
  SpeedLayoutText,
};

struct EdaFormat {
  int index = 0;
  const char* comboText = "";
  const char* fileKind = "";    // "txt", "PIK", "csv", ...
  const char* defaultExt = "";  // default extension of the open-file dialog
  const char* dialogFilter = "";  // the open-file dialog's filter, "name|pattern||" form
  const char* qtFilter = "";    // the same filter for Qt's file dialog
  bool mustExist = false;       // the chosen file and path must exist
  EdaReader reader = EdaReader::ProtelText;
  EdaUnitRule unitRule = EdaUnitRule::AsWritten;
};

inline constexpr int kEdaFormatCount = 23;

const std::array<EdaFormat, kEdaFormatCount>& EdaFormats();
// The format at a combo position; positions outside 0..22 give format 0.
const EdaFormat& EdaFormatAt(int index);
// The reader's own name ("ReadProtelText", ...), for messages and logs.
const char* EdaReaderName(EdaReader reader);

}  // namespace smt::job
