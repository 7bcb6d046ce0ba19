// The copy kept of a file whose lines could not all be read: made once for
// the same damage, again when the file changed, never for a missing file.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/DamagedFileCopy.h"
#include "platform/FileIo.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

TEST(DamagedFileCopy, TheSameDamageIsKeptOnceAndAChangedFileAgain) {
  smt::test::TempDir dir;
  EXPECT_EQ(smt::platform::KeepDamagedCopy(dir / "config_pack.fig"), "") << "no file, no copy";
  dir.Write("config_pack.fig", "damaged one");
  const std::string first = smt::platform::KeepDamagedCopy(dir / "config_pack.fig");
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(dir.Read(fs::path(first).filename().string()), "damaged one");
  // Started again with the file as it was: no second copy.
  EXPECT_EQ(smt::platform::KeepDamagedCopy(dir / "config_pack.fig"), first);
  // Another file of the same folder is kept on its own.
  dir.Write("config_mark.fig", "damaged one");
  const std::string mark = smt::platform::KeepDamagedCopy(dir / "config_mark.fig");
  EXPECT_NE(mark, first);
  EXPECT_EQ(fs::path(mark).filename().string().rfind("config_mark.fig.damaged-", 0), 0u);
  // The file changed (damaged another way): its bytes are kept too, the first copy stays.
  int copies = 0;
  for (const auto& e : fs::directory_iterator(dir.path()))
    copies += e.path().filename().string().rfind("config_pack.fig.damaged-", 0) == 0 ? 1 : 0;
  EXPECT_EQ(copies, 1);
  dir.Write("config_pack.fig", "damaged two, longer");
  const std::string second = smt::platform::KeepDamagedCopy(dir / "config_pack.fig");
  ASSERT_NE(second, first) << "within the same second too";
  EXPECT_EQ(dir.Read(fs::path(second).filename().string()), "damaged two, longer");
  EXPECT_EQ(dir.Read(fs::path(first).filename().string()), "damaged one");
}
