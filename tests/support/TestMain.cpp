// Test entry: a QApplication on the offscreen platform, so window tests run
// headless, the C number locale, which the settings conversions use, and a
// fresh machine object for every test, so no test sees the state another
// left behind, in whatever order they run.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "core/Machine.h"

namespace {

class FreshMachinePerTest : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override {
    machines_.push_back(std::make_unique<smt::Machine>());
    current_.emplace(*machines_.back());
  }
  void OnTestEnd(const ::testing::TestInfo&) override { current_.reset(); }

 private:
  // Machines of ended tests stay alive to the end of the program: a worker a
  // test left running may still read the machine it started with.
  std::vector<std::unique_ptr<smt::Machine>> machines_;
  std::optional<smt::MachineScope> current_;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshMachinePerTest);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  return RUN_ALL_TESTS();
}
