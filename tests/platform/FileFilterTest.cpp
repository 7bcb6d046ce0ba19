// Open/save dialog filters: Chinese keeps its own description, the other
// languages name the file types by their extensions.
#include <gtest/gtest.h>

#include "platform/FileFilter.h"

namespace {

using smt::platform::FileFilterForLanguage;

TEST(FileFilter, OutsideChineseTheDescriptionIsTheFileTypes) {
  struct Case {
    const char* filter;
    const char* language;
    const char* expected;
  };
  const Case cases[] = {
      {"文本文件(*.csv)", "Chinese", "文本文件(*.csv)"},
      {"文本文件(*.csv)", "English", "CSV (*.csv)"},
      {"csv文件 (*.csv *.CSV)", "German", "CSV (*.csv *.CSV)"},
      {"mnt文件 (*.mnt *.mnb *.MNT *.MNB)", "English", "MNT, MNB (*.mnt *.mnb *.MNT *.MNB)"},
      {"csv file (*.csv *.CSV);;All files (*)", "English", "csv file (*.csv *.CSV);;All files (*)"},
      {"txt文件 (*.txt);;所有文件 (*)", "English", "TXT (*.txt);;*.* (*)"},
  };
  for (const Case& c : cases) EXPECT_EQ(FileFilterForLanguage(c.filter, c.language), c.expected) << c.filter;
}

}  // namespace
