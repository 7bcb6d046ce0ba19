// What the operator types becomes a number, or a file name, only when it
// is one whole: the shared readers of number fields and of names that
// become paths, over the texts an operator or a damaged file gives.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <cmath>

#include "platform/MessageService.h"
#include "platform/NameAsPath.h"
#include "platform/NumberEdit.h"
#include "platform/OperatorNumber.h"

using namespace smt::platform;

TEST(OperatorNumber, OnlyAWholeFiniteDecimalNumberIsANumber) {
  struct Case {
    const char* text;
    bool number, integer;
    double value;
  };
  const Case cases[] = {
      {"12", true, true, 12},         {" -3 ", true, true, -3},      {"+7", true, true, 7},
      {"0.5", true, false, 0.5},      {".5", true, false, 0.5},      {"5.", true, false, 5},
      {"1e3", true, false, 1000},     {"-2.5E-1", true, false, -0.25},
      // Refused: words, trailing letters, nothing, other notations, beyond double.
      {"ten", false, false, 0},       {"12abc", false, false, 0},    {"", false, false, 0},
      {" ", false, false, 0},         {"nan", false, false, 0},      {"inf", false, false, 0},
      {"-infinity", false, false, 0}, {"0x10", false, false, 0},     {"1e400", false, false, 0},
      {"1,5", false, false, 0},       {"1 2", false, false, 0},      {"e5", false, false, 0},
      {"1e", false, false, 0},        {"--1", false, false, 0},      {"5\t6", false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto d = ParseOperatorNumber(c.text);
    EXPECT_EQ(d.has_value(), c.number);
    if (d) {
      EXPECT_DOUBLE_EQ(*d, c.value);
    }
    const auto i = ParseOperatorInteger(c.text);
    EXPECT_EQ(i.has_value(), c.integer);
    if (i) {
      EXPECT_EQ(*i, static_cast<long long>(c.value));
    }
  }
  // Whole numbers beyond 32 bits are refused, not cut.
  EXPECT_FALSE(ParseOperatorInteger("2147483648").has_value());
  EXPECT_FALSE(ParseOperatorInteger("99999999999").has_value());
  EXPECT_EQ(ParseOperatorInteger("-2147483648").value(), -2147483648LL);
}

TEST(OperatorNumber, TheRangeHoldsAtBothEnds) {
  EXPECT_TRUE(OperatorNumberInRange("0", 0, 500, false));
  EXPECT_TRUE(OperatorNumberInRange("500", 0, 500, false));
  EXPECT_FALSE(OperatorNumberInRange("600", 0, 500, false));
  EXPECT_FALSE(OperatorNumberInRange("-0.0001", 0, 500, false));
  EXPECT_FALSE(OperatorNumberInRange("5.5", 0, 10, true));  // a whole-number field
}

// A refused field: the message names its label and range, the field keeps
// what was typed (nothing cut) and gets the focus.
TEST(OperatorNumber, ARefusalNamesTheFieldAndKeepsWhatWasTyped) {
  ScopedRecordingMessages messages;
  NumberEdit box(nullptr, 0, 500, 4);
  box.setText("600");
  EXPECT_FALSE(box.Read().has_value());
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_NE(messages.service.Texts()[0].find("0"), std::string::npos);
  EXPECT_NE(messages.service.Texts()[0].find("500"), std::string::npos);
  EXPECT_EQ(box.text().toStdString(), "600");
  box.setValue(1.6);
  EXPECT_EQ(box.text().toStdString(), "1.6000");
  EXPECT_EQ(box.Read().value(), 1.6);
  EXPECT_TRUE(std::isnan(NumberEdit(nullptr, 0, 1, -1).value()));
}

TEST(NameAsPath, OnlyOneFileNameBecomesAPath) {
  const char* good[] = {"W1", "G12", "CAP", "feed-", "a.b", "托盘1", "x y"};
  for (const char* n : good) EXPECT_EQ(NameAsPathProblem(n), "") << n;
  const char* bad[] = {"",        "../../outside/W1", "..",  ".",   "a/b", "a\\b", "W1..png", "a:b",
                       "a*",      "a?",               "a\"", "a<b", "a>b", "a|b", "a\tb",    "a\nb",
                       "ends. ", "ends."};
  for (const char* n : bad) EXPECT_NE(NameAsPathProblem(n), "") << n;
  EXPECT_NE(NameAsPathProblem(std::string(201, 'a')), "");
  ScopedRecordingMessages messages;
  EXPECT_EQ(NameAsPath("Template", "W1", ".png", "Feeder number").value(), std::filesystem::path("Template/W1.png"));
  EXPECT_FALSE(NameAsPath("Template", "../../outside/W1", ".png", "Feeder number").has_value());
  ASSERT_EQ(messages.service.Texts().size(), 1u);
  EXPECT_NE(messages.service.Texts()[0].find("Feeder number"), std::string::npos);
  EXPECT_NE(messages.service.Texts()[0].find("../../outside/W1"), std::string::npos);
}

TEST(NameAsPath, ExtensionsMatchInAnyCase) {
  EXPECT_TRUE(HasExtension("CAP.SMT", ".smt"));
  EXPECT_TRUE(HasExtension("/jobs/cap.Smt", ".smt"));
  EXPECT_FALSE(HasExtension("/jobs/.smt", ".smt"));
  EXPECT_FALSE(HasExtension("CAP.SMTX", ".smt"));
  EXPECT_FALSE(HasExtension("CAPsmt", ".smt"));
}
