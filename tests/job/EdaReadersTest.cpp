// The readers on small files of each layout, and their refusals.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "job/EdaFileReaders.h"
#include "platform/TextCodec.h"

using namespace smt::job;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

using Cells = std::array<const char*, kImportColumns>;  // D P X Y R C S

struct LayoutCase {
  int format;
  std::string text;
  Cells first;
};

std::ostream& operator<<(std::ostream& os, const LayoutCase& c) { return os << "format " << c.format; }

class EdaLayouts : public ::testing::TestWithParam<LayoutCase> {};

// Each format's own column order, separator and preamble, without a title
// line; a second part follows so that the lines are told apart.
TEST_P(EdaLayouts, CutsFieldsIntoTheirColumns) {
  const LayoutCase& c = GetParam();
  const EdaFileContent content = ReadEdaBytes(c.format, Bytes(c.text), "board.txt");
  ASSERT_EQ(content.rows.size(), 2u);
  for (int k = 0; k < kImportColumns; ++k)
    EXPECT_EQ(content.rows[0].Cell(k), c.first[static_cast<size_t>(k)]) << "column " << k;
  EXPECT_EQ(content.rows[1].Cell(kImpDesignator), "R2");
  EXPECT_EQ(content.rows[0].rule, EdaFormatAt(c.format).unitRule);
}

std::string Lines(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "preamble line " + std::to_string(i + 1) + "\r\n";
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    EveryReader, EdaLayouts,
    ::testing::Values(
        LayoutCase{0, "Protel pick list\r\nboard x\r\n\r\nR1 0603 10mm 20mm 1 1 1 1 T 90 10k ohm\r\nR2 0603 1 2 1 1 1 1 T 0 1k\r\n",
                   {"R1", "0603", "10mm", "20mm", "90", "10k ohm", "T"}},
        LayoutCase{1, "PIK\r\n\r\nR1 0603 100mil 200mil 1 1 1 1 B 270\r\nR2 0603 1 2 1 1 1 1 B 0\r\n",
                   {"R1", "0603", "100mil", "200mil", "270", "", "B"}},
        LayoutCase{2, "head\r\n\r\nR1 SOT23 1.5 2.5 0 0 0 0 T 180 BC847\r\nR2 SOT23 1 2 0 0 0 0 T 0 x\r\n",
                   {"R1", "SOT23", "1.5", "2.5", "180", "BC847", "T"}},
        LayoutCase{3, "a\r\n\r\nb\r\n\r\nc\r\n\r\nsome titles\r\nR1 10k T 0603 1.5 2.5 90\r\nR2 1k T 0603 1 2 0\r\n",
                   {"R1", "0603", "1.5", "2.5", "90", "10k", "T"}},
        LayoutCase{4, "h\r\nR1,0603,1mm,2mm,,,,,T,90,10k\r\nR2,0603,1mm,2mm,,,,,T,0,1k\r\n",
                   {"R1", "0603", "1mm", "2mm", "90", "10k", "T"}},
        LayoutCase{5, Lines(13) + "\"10k\",\"R1\",\"0603\",\"T\",\"90\",\"1.5\",\"2.5\"\r\n\"1k\",\"R2\",\"0603\",\"T\",\"0\",\"1\",\"2\"\r\n",
                   {"R1", "0603", "1.5", "2.5", "90", "10k", "T"}},
        LayoutCase{6, Lines(6) + "R1,0603 1.5, 2.5, 90, 10k\r\nR2,0603 1, 2, 0, 1k\r\n",
                   {"R1", "0603", "1.5", "2.5", "90", "10k", ""}},
        LayoutCase{7, "UUNITS = MILS\r\nR1 100 200 90 m SOIC8\r\nR2 100 200 0 SOIC8\r\n",
                   {"R1", "SOIC8", "100", "200", "90", "", "B"}},
        LayoutCase{8, "R1 1.5 2.5 90 10k 0603\nR2 1 2 0 1k 0603\n", {"R1", "0603", "1.5", "2.5", "90", "10k", "T"}},
        LayoutCase{9, "### Module positions\n### Printed by Pcbnew\n## Unit = mm, Angle = deg.\n## Side : top\n"
                      "# Ref Val Package PosX PosY Rot Side\nR1 10k 0603 1.5 2.5 -90 top\nR2 1k 0603 1 2 0 top\n## End\n",
                   {"R1", "0603", "1.5", "2.5", "-90", "10k", "top"}},
        LayoutCase{10, "h\r\n10k,R1,0603,x,T,90,1.5,2.5\r\n1k,R2,0603,x,T,0,1,2\r\n",
                   {"R1", "0603", "1.5", "2.5", "90", "10k", "T"}},
        LayoutCase{11, Lines(12) + "R1,10k,0603,TOP,90,1000,2000\r\nR2,1k,0603,TOP,0,1,2\r\n",
                   {"R1", "0603", "1000", "2000", "90", "10k", "TOP"}},
        LayoutCase{12, "h\r\n10k 0603 1.5 2.5 90 R1 x top side\r\n1k 0603 1 2 0 R2 x top\r\n",
                   {"R1", "0603", "1.5", "2.5", "90", "10k", "top side"}},
        LayoutCase{13, "h\r\nR1\t10k\t0603\tx\tT\t90\t1.5\t2.5\r\nR2\t1k\t0603\tx\tT\t0\t1\t2\r\n",
                   {"R1", "0603", "1.5", "2.5", "90", "10k", "T"}},
        LayoutCase{14, "h\r\n0603\tR1\tx\ty\tT\t90\t1.5\t2.5\r\n0603\tR2\tx\ty\tT\t0\t1\t2\r\n",
                   {"R1", "0603", "1.5", "2.5", "90", "", "T"}},
        LayoutCase{15, "h\r\n0603,R1,x,y,T,90,1.5,2.5\r\n0603,R2,x,y,T,0,1,2\r\n",
                   {"R1", "0603", "1.5", "2.5", "90", "", "T"}},
        LayoutCase{16, "R1 0603 1.5 2.5 90\r\nR2 0603 1 2 0\r\n", {"R1", "0603", "1.5", "2.5", "90", "", ""}},
        LayoutCase{17, Lines(9) + "R1,0603,1.5,2.5,90\r\nR2,0603,1,2,0\r\n", {"R1", "0603", "1.5", "2.5", "90", "", ""}},
        LayoutCase{18, Lines(9) + "R1 0603 1.5 2.5 90 10k\r\nR2 0603 1 2 0 1k\r\n",
                   {"R1", "0603", "1.5", "2.5", "90", "10k", ""}},
        LayoutCase{19, "h\r\nR1,x,10k,0603,1.5,2.5,90\r\nR2,x,1k,0603,1,2,0\r\n",
                   {"R1", "0603", "1.5", "2.5", "90", "10k", ""}},
        LayoutCase{20, Lines(5) + "R1 x 10k 0603 1.5 2.5 90\r\nR2 x 1k 0603 1 2 0\r\n",
                   {"R1", "0603", "1.5", "2.5", "90", "10k", ""}},
        LayoutCase{21, Lines(6) + "R1;1.5;2.5;10k;x;90;SOP 8\r\nR2;1;2;1k;x;0;0603\r\n",
                   {"R1", "SOP 8", "1.5", "2.5", "90", "10k", ""}},
        LayoutCase{22, "h\r\nR1,0603,1mm,2mm,,,,,T,90,10k\r\nR2,0603,1mm,2mm,,,,,T,0,1k\r\n",
                   {"R1", "0603", "1mm", "2mm", "90", "10k", "T"}}));

// Line ends of every kind, and a last line without one.
TEST(EdaReaders, LineEndsOfEveryKindAndAnUnendedLastLine) {
  for (const char* eol : {"\r\n", "\n", "\r"}) {
    const std::string text = std::string("R1 0603 1.5 2.5 90") + eol + "R2 0603 1 2 0" + eol + "R3 0603 3 4 180";
    const EdaFileContent c = ReadEdaBytes(16, Bytes(text), "b.318");
    ASSERT_EQ(c.rows.size(), 3u) << "line end " << (eol[0] == '\r' ? (eol[1] ? "CRLF" : "CR") : "LF");
    EXPECT_EQ(c.rows[2].Cell(kImpRotation), "180");
    EXPECT_EQ(c.rows[2].sourceLine, 3);
  }
}

// A line that is not a part refuses the whole file, naming the line.
TEST(EdaReaders, MalformedLineRefusesTheWholeFileNamingTheLine) {
  struct Bad {
    int format;
    std::string text;
    int line;
    const char* reasonPart;
  };
  const std::vector<Bad> cases = {
      {16, "R1 0603 1.5 2.5 90\nR2 0603 abc 2.5 90\nR3 0603 1 2 0\n", 2, "X"},
      {16, "R1 0603 1.5 2.5 90\nR2 0603 1.5 2.5\n", 2, "rotation"},
      {4, "Designator,Footprint,Mid X,Mid Y,Layer,Rotation,Comment\nR1,0603,1mm,2mm,T,0,1k\n\nR2,0603,1mm,,T,0,1k\n",
       4, "Y"},
      {9, "## Unit = mm\nR1 10k 0603 1.5 2.5 90 top\nR2 10k 0603 1.5 2.5 ninety top\n", 3, "rotation"},
      {8, "R1 1.5 2.5 90 10k 0603\nR2 1.5\n", 2, "Y"},
  };
  for (const Bad& b : cases) {
    try {
      ReadEdaBytes(b.format, Bytes(b.text), "bad.txt");
      ADD_FAILURE() << "format " << b.format << " accepted a malformed file";
    } catch (const EdaImportError& e) {
      EXPECT_EQ(e.File(), "bad.txt");
      EXPECT_EQ(e.Line(), b.line) << e.what();
      EXPECT_NE(e.Reason().find(b.reasonPart), std::string::npos) << e.Reason();
      EXPECT_NE(std::string(e.what()).find("bad.txt:" + std::to_string(b.line)), std::string::npos);
    }
  }
}

TEST(EdaReaders, FilesWithoutPartsAndMissingFilesAreRefused) {
  for (const std::string& text : {std::string(), std::string("\r\n\r\n"), std::string("just a title\r\n")}) {
    EXPECT_THROW(ReadEdaBytes(16, Bytes(text), "empty.318"), EdaImportError);
  }
  try {
    ReadEdaFile(0, "/nonexistent/dir/pnp.txt");
    ADD_FAILURE();
  } catch (const EdaImportError& e) {
    EXPECT_EQ(e.Line(), 0);
    EXPECT_EQ(e.File(), "/nonexistent/dir/pnp.txt");
  }
}

// Comma files keep empty fields in place and quoted commas in their field.
TEST(EdaReaders, CommaFieldsKeepTheirPlacesAndQuotes) {
  const auto f = SplitDelimitedFields("A,,B", ',');
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[1], "");
  EXPECT_EQ(f[2], "B");
  const auto q = SplitDelimitedFields(R"( "R1" , "SOT-23, 3 pin","say ""hi""",)", ',');
  ASSERT_EQ(q.size(), 4u);
  EXPECT_EQ(q[0], "R1");
  EXPECT_EQ(q[1], "SOT-23, 3 pin");
  EXPECT_EQ(q[2], "say \"hi\"");
  EXPECT_EQ(q[3], "");
  const auto b = SplitBlankFields("  C17   \"1 uf\"  TopLayer\t 90 ");
  ASSERT_EQ(b.size(), 4u);
  EXPECT_EQ(b[1], "1 uf");
  EXPECT_EQ(b[3], "90");
}

// Titles in any order name the columns; the unit comes from a title or
// from the preamble; extra words of a blank-separated line go to its last
// text column.
TEST(EdaReaders, TitlesNameColumnsAndStateUnits) {
  const EdaFileContent a = ReadEdaBytes(
      10, Bytes("Rotation;Comment;X (mil);Y (mil);Ref\n90;10k;100;200;R1\n0;1k;1;2;R2\n"), "t.csv");
  ASSERT_EQ(a.rows.size(), 2u);
  EXPECT_TRUE(a.titledColumns);
  EXPECT_EQ(a.fileUnit, EdaLengthUnit::Mil);
  EXPECT_EQ(a.rows[0].Cell(kImpDesignator), "R1");
  EXPECT_EQ(a.rows[0].Cell(kImpX), "100");
  EXPECT_EQ(a.rows[0].Cell(kImpComment), "10k");

  const EdaFileContent b = ReadEdaBytes(
      3, Bytes("Units used: inch\r\n\r\nDesignator Footprint Center-X Center-Y Rotation Comment\r\n"
               "R1 0603 1.5 2.5 90 big resistor\r\nR2 0603 1 2 0 x\r\n"),
      "t.txt");
  EXPECT_EQ(b.fileUnit, EdaLengthUnit::Inch);
  EXPECT_EQ(b.rows[0].Cell(kImpComment), "big resistor");
}

// Encodings: GBK (the Chinese ANSI code page), UTF-16 big-endian, UTF-8
// with a mark; the text ends at a NUL byte.
TEST(EdaReaders, EncodingsOfDesignTools) {
  const std::string utf8 = "R1,电阻,1mm,2mm,,,,,T,90,十千欧\r\n";
  const std::string gbk = smt::platform::Utf8ToGbk("标题\r\n" + utf8);
  EdaFileContent g = ReadEdaBytes(4, Bytes(gbk), "g.csv");
  EXPECT_EQ(g.encoding, EdaTextEncoding::Gbk);
  ASSERT_EQ(g.rows.size(), 1u);
  EXPECT_EQ(g.rows[0].Cell(kImpPackage), "电阻");
  EXPECT_EQ(g.rows[0].Cell(kImpComment), "十千欧");

  std::u16string u16 = smt::platform::Utf8ToUtf16("title\n" + utf8);
  std::vector<uint8_t> be = {0xFE, 0xFF};
  for (char16_t ch : u16) {
    be.push_back(static_cast<uint8_t>(ch >> 8));
    be.push_back(static_cast<uint8_t>(ch & 0xFF));
  }
  EdaFileContent b = ReadEdaBytes(4, be, "b.csv");
  EXPECT_EQ(b.encoding, EdaTextEncoding::Utf16Be);
  EXPECT_EQ(b.rows.at(0).Cell(kImpComment), "十千欧");

  std::vector<uint8_t> withNul = Bytes("\xEF\xBB\xBFtitle\n" + utf8);
  withNul.push_back(0);
  for (char ch : std::string("R9,x,junk")) withNul.push_back(static_cast<uint8_t>(ch));
  EdaFileContent m = ReadEdaBytes(4, withNul, "m.csv");
  EXPECT_EQ(m.encoding, EdaTextEncoding::Utf8Bom);
  EXPECT_EQ(m.rows.size(), 1u);

  // Latin-1: a high byte that cannot start a GBK pair.
  EdaFileContent l = ReadEdaBytes(4, Bytes("t\nR1,0603,1mm,2mm,,,,,T,90,1\xB5" "F \xB1 5%\n"), "l.csv");
  EXPECT_EQ(l.encoding, EdaTextEncoding::Latin1);
  EXPECT_EQ(l.rows[0].Cell(kImpComment), "1µF ± 5%");
}

TEST(EdaReaders, NumbersAndLengthsAsFilesWriteThem) {
  double v = 0;
  EXPECT_TRUE(ParseEdaLength("744.095mil", &v));
  EXPECT_DOUBLE_EQ(v, 744.095);
  EXPECT_TRUE(ParseEdaLength(" -0.89mm ", &v));
  EXPECT_DOUBLE_EQ(v, -0.89);
  EXPECT_TRUE(ParseEdaLength("+12", &v));
  EXPECT_DOUBLE_EQ(v, 12);
  for (const char* bad : {"", "mm", "1.2.3", "12 cm", "abc", "1,5"}) EXPECT_FALSE(ParseEdaLength(bad)) << bad;
  EXPECT_TRUE(ParseEdaNumber("360.00"));
  EXPECT_FALSE(ParseEdaNumber("90deg"));
}

}  // namespace
