// The one reader of number cells: the whole cell must be a finite number in
// the field's range; everything else is refused with the file, the line and
// the field named.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/FileCell.h"

using namespace smt::platform;

TEST(FileCellNumbers, OnlyWholeFiniteNumbersInRangeAreTaken) {
  struct Case {
    const char* text;
    bool number;    // taken by ParseCellNumber in -1000..1000
    bool integer;   // taken by ParseCellInteger in -1000..1000
  };
  const Case cases[] = {
      {"12", true, true},       {"-12", true, true},      {"+7", true, true},     {" 3.5 ", true, false},
      {"0.0000", true, false},  {"1e2", true, false},     {"-1000", true, true},  {"1000", true, true},
      {"1000.0001", false, false}, {"-1001", false, false}, {"", false, false},   {"   ", false, false},
      {"nan", false, false},    {"NaN", false, false},    {"-nan", false, false}, {"inf", false, false},
      {"-inf", false, false},   {"infinity", false, false}, {"1e400", false, false}, {"-1e400", false, false},
      {"ten", false, false},    {"12abc", false, false},  {"1,5", false, false},  {"0x10", false, false},
      {"1.2.3", false, false},  {"--1", false, false},    {"+-1", false, false},  {"1e", false, false},
      {".", false, false},      {"5-", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseCellNumber(c.text, -1000, 1000).has_value(), c.number) << "\"" << c.text << "\"";
    EXPECT_EQ(ParseCellInteger(c.text, -1000, 1000).has_value(), c.integer) << "\"" << c.text << "\"";
  }
  EXPECT_EQ(*ParseCellNumber(" 3.5 ", -10, 10), 3.5);
  EXPECT_EQ(*ParseCellInteger("+7", 0, 10), 7);
  // An integer beyond 64 bits is refused, not wrapped.
  EXPECT_FALSE(ParseCellInteger("99999999999999999999", 0, 1LL << 62).has_value());
}

TEST(FileCellNumbers, RefusalNamesFileLineFieldAndWhatTheCellHeld) {
  std::vector<std::string_view> cells;
  SplitTabCellViews("W1\tnan\t\t5\ttail", cells);
  ASSERT_EQ(cells.size(), 4u);  // text after the last TAB is not a cell
  const CellReader in("config_feed.fig", 7, cells);
  EXPECT_EQ(in.Number(3, "X", 0, 10), 5);
  EXPECT_EQ(in.NumberOr(2, "Y", 0, 10, -1), -1);  // empty where the field allows it
  EXPECT_EQ(in.Text(9), "");                      // a cell the line does not reach
  try {
    in.Number(1, "X", -10, 10);
    FAIL() << "nan taken";
  } catch (const FileCellError& e) {
    EXPECT_EQ(e.file(), "config_feed.fig");
    EXPECT_EQ(e.line(), 7);
    EXPECT_EQ(e.field(), "X");
    EXPECT_EQ(e.text(), "nan");
    const std::string what = e.what();
    for (const char* part : {"config_feed.fig", "line 7", "\"X\"", "\"nan\"", "-10..10"})
      EXPECT_NE(what.find(part), std::string::npos) << part << " missing in: " << what;
  }
  EXPECT_THROW(in.Integer(2, "count", 0, 10), FileCellError);  // empty where a number is needed
  EXPECT_THROW(in.Integer(3, "count", 6, 10), FileCellError);  // below the range
}
