// The readers against real pick-and-place files exported by design tools:
// every file must give the parts a person reading it would list, with
// positions in millimetres after conversion.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "job/EdaFileReaders.h"
#include "job/EdaPartConversion.h"
#include "support/EdaSamples.h"

using namespace smt::job;
namespace fs = std::filesystem;

namespace {

struct Expected {
  const char* designator;
  const char* package;
  const char* xMm;
  const char* yMm;
  const char* rotation;
  const char* comment;
  const char* side;
};

struct SampleCase {
  const char* file;
  int format;
  int parts;
  EdaTextEncoding encoding;
  int spotRow;  // a row to check in full
  Expected spot;
};

std::ostream& operator<<(std::ostream& os, const SampleCase& c) { return os << c.file << " as format " << c.format; }

class EdaSampleFiles : public ::testing::TestWithParam<SampleCase> {};

TEST_P(EdaSampleFiles, ReadsEveryPartWithItsColumnsAndMillimetres) {
  const SampleCase& c = GetParam();
  const fs::path path = smt::test::EdaSample(c.file);
  if (path.empty()) GTEST_SKIP() << smt::test::EdaSampleMissing(c.file);

  const EdaFileContent content = ReadEdaFile(c.format, path);
  ASSERT_EQ(static_cast<int>(content.rows.size()), c.parts);
  EXPECT_EQ(content.encoding, c.encoding) << EdaEncodingName(content.encoding);

  const ImportRow& r = content.rows[static_cast<size_t>(c.spotRow)];
  EXPECT_EQ(r.Cell(kImpDesignator), c.spot.designator);
  EXPECT_EQ(r.Cell(kImpPackage), c.spot.package);
  EXPECT_EQ(ImportCoordinateText(r, kImpX), c.spot.xMm);
  EXPECT_EQ(ImportCoordinateText(r, kImpY), c.spot.yMm);
  EXPECT_EQ(ImportRotationText(r), c.spot.rotation);
  EXPECT_EQ(r.Cell(kImpComment), c.spot.comment);
  EXPECT_EQ(r.Cell(kImpSide), c.spot.side);

  // Every row is a part: a designator and coordinates that convert.
  for (const ImportRow& row : content.rows) {
    EXPECT_FALSE(row.Cell(kImpDesignator).empty()) << "line " << row.sourceLine;
    EXPECT_TRUE(ParseEdaLength(row.Cell(kImpX))) << "line " << row.sourceLine << ": " << row.Cell(kImpX);
    EXPECT_TRUE(ParseEdaLength(row.Cell(kImpY))) << "line " << row.sourceLine << ": " << row.Cell(kImpY);
    EXPECT_TRUE(ParseEdaNumber(row.Cell(kImpRotation))) << "line " << row.sourceLine;
  }
}

using E = EdaTextEncoding;

INSTANTIATE_TEST_SUITE_P(
    RealExports, EdaSampleFiles,
    ::testing::Values(
        // Allegro place_txt, "UUNITS = MILLIMETERS", LF, no mirror column.
        SampleCase{"allegro-txt/oscillator-place_txt-v1.txt", 7, 25, E::Utf8, 0,
                   {"C1", "CAP196", "51.435", "22.225", "270", "", ""}},
        // Altium CSV: 12 preamble lines, quoted fields, mil in the titles, Latin-1.
        SampleCase{"altium-csv/ledctrl-pick-place-mil.csv", 5, 46, E::Latin1, 0,
                   {"J2", "PCB-zuuv2u5tezfwori2z0s2-1", "6.5000", "45.2350", "180", "Molex 105450-0101", "TopLayer"}},
        // Old Altium text: "mil" on every value, rotation "180.00", LF, no preamble.
        SampleCase{"altium-old-txt/a24v5v-pick-place-midx-mil.txt", 0, 69, E::Utf8, 0,
                   {"J1A", "HT5.08-3P-H", "18.9000", "10.1000", "180", "HT5.08-3P-H", "T"}},
        SampleCase{"altium-old-txt/a24v5v-pick-place-midx-mil.txt", 2, 69, E::Utf8, 0,
                   {"J1A", "HT5.08-3P-H", "18.9000", "10.1000", "180", "HT5.08-3P-H", "T"}},
        // New Altium text: preamble, quoted fields with blanks, mil in the titles.
        SampleCase{"altium-txt/ledctrl-pick-place-mil.txt", 3, 46, E::Latin1, 0,
                   {"J2", "PCB-zuuv2u5tezfwori2z0s2-1", "6.5000", "45.2350", "180", "Molex 105450-0101", "TopLayer"}},
        // Eagle CPL through a ULP: seven plain CSV columns, "mil" suffixes.
        SampleCase{"csv-generic/imageproc-eagle-CPL-milsuffix.csv", 4, 100, E::Utf8, 0,
                   {"ANT1", "ANT8030-2R4-01A", "44.3484", "2.4384", "0", "ANT8030-2R4-01A", "T"}},
        SampleCase{"csv-generic/imageproc-eagle-CPL-milsuffix.csv", 22, 100, E::Utf8, 2,
                   {"C1", "0402-CAP", "15.5194", "21.0820", "270", "1uF", "B"}},
        // Eagle mount files: values with blanks, package is the last word.
        SampleCase{"eagle-mnt/eat001.mnt", 8, 16, E::Utf8, 3,
                   {"C9", "0805", "12.30", "13.90", "270", "0.47 6.3V", "T"}},
        SampleCase{"eagle-mnt/eat001.mnt", 8, 16, E::Utf8, 4,
                   {"C28", "UD-6,3X7,7_NICHICON", "9.31", "8.66", "0", "100 uF", "T"}},
        SampleCase{"eagle-mnt/eat001.mnb", 8, 15, E::Utf8, 0, {"C1", "0805", "7.40", "16.40", "180", "10 uF", "B"}},
        // EasyEDA: UTF-16LE with BOM, TAB separated, quoted, "mm" suffixes.
        SampleCase{"easyeda/pdtrigger-PickAndPlace-utf16-tab.csv", 22, 16, E::Utf16Le, 1,
                   {"C7", "C0603", "-0.8900", "4.0600", "180", "1u", "T"}},
        // KiCad CSV read through the CSV formats: titles name the columns.
        SampleCase{"kicad-csv/trillium-Monolith-top-pos.csv", 10, 87, E::Utf8, 0,
                   {"C1", "C_0603_1608Metric", "184.296101", "-154.709452", "90", "10uF", "top"}},
        SampleCase{"kicad-csv/trillium-Monolith-top-pos.csv", 4, 87, E::Utf8, 4,
                   {"C6", "C_0603_1608Metric", "188.976000", "-128.003000", "270", "0.1uF", "top"}},
        // KiCad ASCII positions.
        SampleCase{"kicad-pos/nofishleft-kicad514-top.pos", 9, 95, E::Utf8, 0,
                   {"IC1", "WS2812B", "-15.4940", "104.1400", "0", "WS2812B", "top"}},
        SampleCase{"kicad-pos/openpnp-kicad2014-F.Cu.pos", 9, 95, E::Utf8, 1,
                   {"C2", "Capacitors_SMD:c", "93.3450", "-77.4700", "180", "100u", "F.Cu"}}));

TEST(EdaSampleFiles, EasyEdaCommentHoldsTheValue) {
  const char* sample = "easyeda/pdtrigger-PickAndPlace-utf16-tab.csv";
  const fs::path path = smt::test::EdaSample(sample);
  if (path.empty()) GTEST_SKIP() << smt::test::EdaSampleMissing(sample);
  const EdaFileContent c = ReadEdaFile(22, path);
  // Every part of this board has a comment column; the last line ends with a value.
  EXPECT_FALSE(c.rows.back().Cell(kImpComment).empty());
  EXPECT_EQ(c.rows.back().Cell(kImpComment).find('"'), std::string::npos);
}

}  // namespace
