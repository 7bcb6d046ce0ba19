// What real exports from design tools hold that a plain line-and-field cut
// gets wrong: quoted texts over several lines, aligned columns whose texts
// hold blanks without quotes, header-only files beside full ones, encodings
// that look alike, a format chosen against the file's own header, and
// Allegro's place_txt as Allegro 16 and 17 write it. One small file per
// cause.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QTableWidget>
#include <filesystem>
#include <fstream>

#include "job/CDialogImportFile.h"
#include "job/EdaFileReaders.h"
#include "job/EdaPartConversion.h"
#include "platform/MessageService.h"

using namespace smt::job;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::string AltiumPreamble() {
  return "Altium Designer Pick and Place Locations\r\nC:\\board\\Pick Place for PCB1.txt\r\n\r\n"
         "========================================================================\r\n"
         "File Design Information:\r\n\r\nDate:       14/12/25\r\nTime:       21:14\r\n"
         "Revision:   Not in VersionControl\r\nVariant:    No variations\r\nUnits used: mil\r\n\r\n";
}

// A line of texts each padded to its column's width, as Altium writes them.
std::string Aligned(const std::vector<std::string>& cells, const std::vector<int>& widths) {
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i) {
    std::string c = cells[i];
    if (i + 1 < cells.size()) c.resize(static_cast<size_t>(widths[i]), ' ');
    line += c;
  }
  return line + "\r\n";
}

TEST(EdaImportFaults, QuotedTextsRunOverSeveralLines) {
  const std::string text = AltiumPreamble() +
                           "\"Designator\",\"Comment\",\"Layer\",\"Footprint\",\"Center-X(mil)\",\"Center-Y(mil)\","
                           "\"Rotation\",\"Description\"\r\n"
                           "\"C1\",\"2.2u\",\"TopLayer\",\"0603\",\"100\",\"200\",\"90\",\"CAP 2.2u\r\n16V, X7R\r\n0603\"\r\n"
                           "\"R1\",\"10k\",\"TopLayer\",\"0603\",\"300\",\"400\",\"0\",\"RES\"\r\n";
  for (int format : {5, 4}) {
    const EdaFileContent c = ReadEdaBytes(format, Bytes(text), "pnp.csv");
    ASSERT_EQ(c.rows.size(), 2u) << "format " << format;
    EXPECT_EQ(c.rows[0].Cell(kImpComment), "2.2u");
    EXPECT_EQ(c.rows[0].Cell(kImpX), "100");
    EXPECT_EQ(c.rows[1].Cell(kImpDesignator), "R1");
    EXPECT_EQ(c.rows[1].sourceLine, 17);  // numbered by the file's own lines
    EXPECT_EQ(ImportCoordinateText(c.rows[1], kImpY), "10.1600");
  }
  // A quote that never closes is a plain character, not the rest of the file.
  const EdaFileContent plain =
      ReadEdaBytes(4, Bytes("h\r\nR1,0603,1mm,2mm,,,,,T,90,\"10k\r\nR2,0805,3mm,4mm,,,,,T,0,1k\r\n"), "a.csv");
  ASSERT_EQ(plain.rows.size(), 2u);
  EXPECT_EQ(plain.rows[0].Cell(kImpComment), "10k");
  EXPECT_EQ(plain.rows[1].Cell(kImpPackage), "0805");
}

TEST(EdaImportFaults, AlignedColumnsAreCutAtTheirTitlesPositions) {
  const std::vector<int> w = {11, 31, 12, 11, 14, 14, 9};
  const std::string text =
      AltiumPreamble() +
      Aligned({"Designator", "Comment", "Layer", "Footprint", "Center-X(mil)", "Center-Y(mil)", "Rotation",
               "Description"},
              w) +
      Aligned({"MP1", "M3 Socket head Mounting Point", "TopLayer", "M3-HOLE", "100.000", "200.000", "0",
               "Voltage important"},
              w) +
      Aligned({"C1", "", "BottomLayer", "0603", "300.000", "400.000", "90", "CAP 2.2u, 16V, 0603"}, w) +
      Aligned({"U1", "\"Diodes Inc. AP1501\"", "TopLayer", "TO263-5", "1594.488", "1092.520", "180", "\"BUCK\""}, w);
  const EdaFileContent c = ReadEdaBytes(3, Bytes(text), "pnp.txt");
  ASSERT_EQ(c.rows.size(), 3u);
  struct Want {
    const char *d, *p, *x, *r, *c, *s;
  };
  const Want want[] = {{"MP1", "M3-HOLE", "100.000", "0", "M3 Socket head Mounting Point", "TopLayer"},
                       {"C1", "0603", "300.000", "90", "", "BottomLayer"},
                       {"U1", "TO263-5", "1594.488", "180", "Diodes Inc. AP1501", "TopLayer"}};
  for (size_t i = 0; i < 3; ++i) {
    const ImportRow& r = c.rows[i];
    EXPECT_EQ(r.Cell(kImpDesignator), want[i].d);
    EXPECT_EQ(r.Cell(kImpPackage), want[i].p) << i;
    EXPECT_EQ(r.Cell(kImpX), want[i].x) << i;
    EXPECT_EQ(r.Cell(kImpRotation), want[i].r) << i;
    EXPECT_EQ(r.Cell(kImpComment), want[i].c) << i;
    EXPECT_EQ(r.Cell(kImpSide), want[i].s) << i;
  }
  EXPECT_EQ(ImportCoordinateText(c.rows[0], kImpX), "2.5400");
}

// Encodings decided on the whole file: Latin-1 signs before letters are not
// GBK pairs, a short GBK value is not UTF-8, and UTF-8 stays UTF-8.
TEST(EdaImportFaults, EncodingIsDecidedOnTheWholeFile) {
  struct Case {
    std::string bytes;
    EdaTextEncoding encoding;
    const char* comment;
  };
  const std::string head = "h\nR1,0603,1mm,2mm,,,,,T,90,";
  const std::vector<Case> cases = {
      {head + "4.7\xB5" "F\n", EdaTextEncoding::Latin1, "4.7µF"},
      {head + "NTC 25\xB0" "C\n", EdaTextEncoding::Latin1, "NTC 25°C"},
      {head + "1k\xC5\xB7\n", EdaTextEncoding::Gbk, "1k欧"},
      {head + "4.7\xC2\xB5" "F\n", EdaTextEncoding::Utf8, "4.7µF"},
      {head + "\xE7\x94\xB5\xE5\xAE\xB9 10u\n", EdaTextEncoding::Utf8, "电容 10u"},
      {head + "\xB5\xE7\xC8\xDD 10u\n", EdaTextEncoding::Gbk, "电容 10u"},
  };
  for (const Case& k : cases) {
    const EdaFileContent c = ReadEdaBytes(4, Bytes(k.bytes), "e.csv");
    EXPECT_EQ(c.encoding, k.encoding) << k.comment << " read as " << EdaEncodingName(c.encoding);
    ASSERT_EQ(c.rows.size(), 1u);
    EXPECT_EQ(c.rows[0].Cell(kImpComment), k.comment);
  }
  // The operator's choice overrides the guess.
  const EdaFileContent forced = ReadEdaBytes(4, Bytes(head + "1k\xC5\xB7\n"), "e.csv", EdaTextEncoding::Latin1);
  EXPECT_EQ(forced.encoding, EdaTextEncoding::Latin1);
  EXPECT_EQ(forced.rows[0].Cell(kImpComment), "1kÅ·");
}

// A format chosen against the file's header is refused with the format the
// header points to; no numbers in a contradicted unit are imported.
TEST(EdaImportFaults, FormatAgainstTheHeaderIsRefusedWithTheFormatItPointsTo) {
  struct Case {
    int format;
    std::string name;
    std::string text;
    int suggested;
  };
  const std::vector<Case> cases = {
      // KiCad CSV (millimetres) as Proteus.pkp (thousandths of an inch).
      {11, "top-pos.csv",
       "Ref,Val,Package,PosX,PosY,Rot,Side\n\"C1\",\"10uF\",\"C_0603\",184.296101,-154.709452,90.000000,top\n", 10},
      // Eagle mount file as ALLEGRO.txt: the value would be glued into the package.
      {7, "board.mnt", "C5 23.70 23.50 180 0.1 16V 0805\nC7 12.40 24.40 180 0.1 0805\n", 8},
  };
  for (const Case& k : cases) {
    try {
      const EdaFileContent c = ReadEdaBytes(k.format, Bytes(k.text), k.name);
      ADD_FAILURE() << k.name << " read as format " << k.format << ": package \"" << c.rows[0].Cell(kImpPackage)
                    << "\", X " << ImportCoordinateText(c.rows[0], kImpX);
    } catch (const EdaImportError& e) {
      EXPECT_EQ(e.SuggestedFormat(), k.suggested) << k.name << ": " << e.what();
    }
    // The suggested format reads it.
    EXPECT_NO_THROW(ReadEdaBytes(k.suggested, Bytes(k.text), k.name)) << k.name;
  }
}

TEST(EdaImportFaults, AllegroPlaceTxtOfVersions16And17) {
  const std::string bang =
      "VERSION = 2.0\nUUNITS = MILS\n# Placement export of board.brd\n"
      "C1 ! 100.00 ! 200.00 ! 90.000 ! NO ! CAP0402\nU1 ! 1250.00 ! 300.00 ! 180.000 ! YES ! SOIC8\n";
  const std::string titled =
      "UUNITS = MILLIMETERS\n# REFDES ! SYM_NAME ! SYM_X ! SYM_Y ! SYM_ROTATE ! SYM_MIRROR\n"
      "C1 ! CAP0402 ! 2.54 ! 5.08 ! 90 ! NO\nU1 ! SOIC8 ! 31.75 ! 7.62 ! 180 ! YES\n";
  for (int format : {7, 19, 20}) {
    for (const std::string* text : {&bang, &titled}) {
      const EdaFileContent c = ReadEdaBytes(format, Bytes(*text), "place_txt.txt");
      ASSERT_EQ(c.rows.size(), 2u) << "format " << format;
      const ImportRow& u1 = c.rows[1];
      EXPECT_EQ(u1.Cell(kImpDesignator), "U1");
      EXPECT_EQ(u1.Cell(kImpPackage), "SOIC8") << "format " << format;
      EXPECT_EQ(ImportRotationText(u1), "180") << "format " << format;
      EXPECT_EQ(u1.Cell(kImpSide), "B");
      EXPECT_EQ(c.rows[0].Cell(kImpSide), "");
      EXPECT_EQ(ImportCoordinateText(u1, kImpX), text == &bang ? "31.7500" : "31.75");
      EXPECT_EQ(ImportCoordinateText(c.rows[0], kImpY),
                text == &bang ? "5.0800" : "5.08");
    }
  }
}

class ImportFaultsDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("smt_import_faults_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    PcbRecord rec;
    rec.m_strName = "main";
    job_.pcbs.m_Records.push_back(rec);
    job_.pcbs.m_strCurPcbName = "main";
    dlg_ = std::make_unique<CDialogImportFile>(job_);
    dlg_->SetAppDir(dir_.string());
    dlg_->OnInitDialog();
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string File(const std::string& name, const std::string& text) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  fs::path dir_;
  JobModel job_;
  std::unique_ptr<CDialogImportFile> dlg_;
  smt::platform::ScopedRecordingMessages messages_;
};

// A top file with its header-only bottom file: the top's parts come in, the
// empty file is named in one line.
TEST_F(ImportFaultsDialog, HeaderOnlyFileAmongSeveralAddsNoRowsAndIsNamed) {
  const std::string title = "Ref,Val,Package,PosX,PosY,Rot,Side\n";
  const std::string top = File("board-top-pos.csv", title + "\"C1\",\"10uF\",\"C_0603\",1.5,2.5,90,top\n"
                                                            "\"R1\",\"1k\",\"R_0603\",3.5,4.5,0,top\n");
  const std::string bottom = File("board-bottom-pos.csv", title);
  dlg_->FormatBox()->setCurrentIndex(10);
  ASSERT_TRUE(dlg_->OpenFiles({top, bottom}));
  EXPECT_EQ(dlg_->List().Count(), 2);
  EXPECT_EQ(dlg_->ListView()->rowCount(), 2);
  const auto texts = messages_.service.Texts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find(bottom), std::string::npos);
  EXPECT_EQ(texts[0].find(top), std::string::npos);
  EXPECT_EQ(texts[0].find('\n'), std::string::npos);  // one line

  // Only empty files: nothing is added, each is named.
  messages_.service.Clear();
  ASSERT_TRUE(dlg_->OpenFiles({bottom}));
  EXPECT_EQ(dlg_->List().Count(), 2);
  ASSERT_EQ(messages_.service.Texts().size(), 1u);
  EXPECT_NE(messages_.service.Texts()[0].find(bottom), std::string::npos);
}

TEST_F(ImportFaultsDialog, ShowsTheEncodingItChoseAndReadsAgainInTheOneChosen) {
  const std::string f = File("e.csv", "h\nR1,0603,1mm,2mm,,,,,T,90,1k\xC5\xB7\nR2,0603,1mm,2mm,,,,,T,0,2k\n");
  dlg_->FormatBox()->setCurrentIndex(4);
  ASSERT_TRUE(dlg_->OpenFiles({f}));
  EXPECT_EQ(dlg_->EncodingUsedLabel()->text().toStdString(), "GBK");
  EXPECT_EQ(dlg_->ListView()->item(0, kImpComment)->text().toStdString(), "1k欧");
  // The operator says UTF-8: the same rows are read again, not added.
  dlg_->EncodingBox()->setCurrentText("UTF-8");
  ASSERT_EQ(dlg_->List().Count(), 2);
  EXPECT_EQ(dlg_->EncodingUsedLabel()->text().toStdString(), "UTF-8");
  EXPECT_EQ(dlg_->ListView()->item(0, kImpComment)->text().toStdString(), "1kŷ");
  dlg_->EncodingBox()->setCurrentIndex(0);  // automatic again
  EXPECT_EQ(dlg_->ListView()->item(0, kImpComment)->text().toStdString(), "1k欧");
}

TEST_F(ImportFaultsDialog, OffersTheFormatTheHeaderPointsTo) {
  const std::string f = File("top-pos.csv", "Ref,Val,Package,PosX,PosY,Rot,Side\n\"C1\",\"10uF\",\"C_0603\",10.5,-2.5,90,top\n");
  dlg_->FormatBox()->setCurrentIndex(11);  // Proteus.pkp
  messages_.service.QueueAnswer(smt::platform::MsgAnswer::No);
  EXPECT_FALSE(dlg_->OpenFiles({f}));
  EXPECT_EQ(dlg_->List().Count(), 0);
  ASSERT_EQ(messages_.service.Texts().size(), 2u);  // the offer, then the refusal
  EXPECT_NE(messages_.service.Texts()[0].find("Excel.csv"), std::string::npos);

  messages_.service.Clear();
  messages_.service.QueueAnswer(smt::platform::MsgAnswer::Yes);
  ASSERT_TRUE(dlg_->OpenFiles({f}));
  EXPECT_EQ(dlg_->FormatIndex(), 10);
  EXPECT_EQ(dlg_->FormatBox()->currentIndex(), 10);
  ASSERT_EQ(dlg_->List().Count(), 1);
  const ImportRow& r = dlg_->List().Row(0);
  EXPECT_EQ(ImportCoordinateText(r, kImpX), "10.5");
}

}  // namespace
