#include "job/EdaFormats.h"

namespace smt::job {

namespace {

constexpr const char* kTxtFilter = "txt文件(*.txt)|*.txt||";
constexpr const char* kPikFilter = "PIK文件(*.PIK)|*.PIK||";
constexpr const char* kCsvFilter = "csv文件(*.csv)|*.csv||";
constexpr const char* kMntFilter = "mnt文件(*.mnt)|*.mnt||";
constexpr const char* kPosFilter = "pos文件(*.pos)|*.pos||";
constexpr const char* kPkpFilter = "pkp文件(*.pkp)|*.pkp||";
constexpr const char* k318Filter = "318文件(*.318)|*.318||";

// Qt matches file patterns case-sensitively on this system, so both cases
// are offered; Eagle writes the bottom side into a ".mnb" file of the same
// layout.
constexpr const char* kTxtQt = "txt文件 (*.txt *.TXT)";
constexpr const char* kPikQt = "PIK文件 (*.PIK *.pik)";
constexpr const char* kCsvQt = "csv文件 (*.csv *.CSV)";
constexpr const char* kMntQt = "mnt文件 (*.mnt *.mnb *.MNT *.MNB)";
constexpr const char* kPosQt = "pos文件 (*.pos *.POS)";
constexpr const char* kPkpQt = "pkp文件 (*.pkp *.PKP)";
constexpr const char* k318Qt = "318文件 (*.318)";

using R = EdaReader;
using U = EdaUnitRule;

constexpr std::array<EdaFormat, kEdaFormatCount> kFormats{{
    {0, "Protel99SE.txt", "txt", "txt", kTxtFilter, kTxtQt, false, R::ProtelText, U::Suffix},
    {1, "Protel99SE.PIK", "PIK", "PIK", kPikFilter, kPikQt, false, R::ProtelPik, U::Suffix},
    {2, "Altium Designer16.txt", "txt", "txt", kTxtFilter, kTxtQt, false, R::ProtelText, U::Suffix},
    {3, "Altium Designer20.txt", "txt", "txt", kTxtFilter, kTxtQt, false, R::Altium20Text, U::Suffix},
    {4, "Altium Designer16.csv", "csv", "csv", kCsvFilter, kCsvQt, false, R::CommaFile, U::Suffix},
    {5, "Altium Designer20.csv", "csv", "csv", kCsvFilter, kCsvQt, false, R::Altium20Csv, U::AsWritten},
    {6, "PowerPCB.txt", "txt", "txt", kTxtFilter, kTxtQt, false, R::PowerPcbText, U::AsWritten},
    {7, "ALLEGRO.txt", "txt", "txt", kTxtFilter, kTxtQt, false, R::AllegroText, U::AsWritten},
    {8, "Eagle.mnt", "mnt", "mnt", kMntFilter, kMntQt, false, R::EagleMnt, U::AsWritten},
    {9, "KiCad.pos", "pos", "pos", kPosFilter, kPosQt, false, R::KiCadPos, U::AsWritten},
    {10, "Excel.csv", "csv", "csv", kCsvFilter, kCsvQt, false, R::ExcelCsv, U::AsWritten},
    {11, "Proteus.pkp", "pkp", "pkp", kPkpFilter, kPkpQt, false, R::ProteusPkp, U::Thou},
    {12, "Mentor.txt", "txt", "txt", kTxtFilter, kTxtQt, false, R::MentorText, U::AsWritten},
    {13, "PADS.txt", "txt", "txt", kTxtFilter, kTxtQt, false, R::PadsText, U::AsWritten},
    {14, "PADS.txt_New", "txt", "txt", kTxtFilter, kTxtQt, false, R::PadsTextNew, U::AsWritten},
    {15, "PADS.csv", "csv", "csv", kCsvFilter, kCsvQt, false, R::PadsCsv, U::AsWritten},
    {16, "PADS.318", "318", "318", k318Filter, k318Qt, false, R::Pads318, U::AsWritten},
    {17, "GerbCam.csv", "csv", "csv", kCsvFilter, kCsvQt, false, R::GerbCamCsv, U::AsWritten},
    {18, "GerbCam.txt", "txt", "txt", kTxtFilter, kTxtQt, false, R::GerbCamText, U::AsWritten},
    {19, "ALLEGRO.csv", "csv", "csv", kCsvFilter, kCsvQt, false, R::AllegroCsv, U::AsWritten},
    {20, "ALLEGROnew.txt", "txt", "txt", kTxtFilter, kTxtQt, false, R::AllegroNewText, U::AsWritten},
    {21, "SpeedLayout.txt", "txt", "txt", kTxtFilter, kTxtQt, false, R::SpeedLayoutText, U::AsWritten},
    {22, "easyEDA.csv", "csv", "*.csv", "csv file(*.csv)|*.csv|All files (*.*)|*.*||",
     "csv file (*.csv *.CSV);;All files (*)", true, R::CommaFile, U::Suffix},
}};

}  // namespace

const std::array<EdaFormat, kEdaFormatCount>& EdaFormats() { return kFormats; }

const EdaFormat& EdaFormatAt(int index) {
  if (index < 0 || index >= kEdaFormatCount) return kFormats[0];
  return kFormats[static_cast<size_t>(index)];
}

const char* EdaReaderName(EdaReader reader) {
  switch (reader) {
    case R::ProtelText: return "ReadProtelText";
    case R::ProtelPik: return "ReadProtelPik";
    case R::Altium20Text: return "ReadAltium20Text";
    case R::CommaFile: return "ReadCommaFile";
    case R::Altium20Csv: return "ReadAltium20Csv";
    case R::PowerPcbText: return "ReadPowerPcbText";
    case R::AllegroText: return "ReadAllegroText";
    case R::EagleMnt: return "ReadEagleMnt";
    case R::KiCadPos: return "ReadKiCadPos";
    case R::ExcelCsv: return "ReadExcelCsv";
    case R::ProteusPkp: return "ReadProteusPkp";
    case R::MentorText: return "ReadMentorText";
    case R::PadsText: return "ReadPadsText";
    case R::PadsTextNew: return "ReadPadsTextNew";
    case R::PadsCsv: return "ReadPadsCsv";
    case R::Pads318: return "ReadPads318";
    case R::GerbCamCsv: return "ReadGerbCamCsv";
    case R::GerbCamText: return "ReadGerbCamText";
    case R::AllegroCsv: return "ReadAllegroCsv";
    case R::AllegroNewText: return "ReadAllegroNewText";
    case R::SpeedLayoutText: return "ReadSpeedLayoutText";
  }
  return "";
}

}  // namespace smt::job
