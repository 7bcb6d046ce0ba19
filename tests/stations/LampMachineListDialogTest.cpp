// The lamp machine's point table window: add, modify and delete through the
// editor, and the counters.
#include <gtest/gtest.h>

#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QTableWidget>
#include <filesystem>

#include "core/Machine.h"
#include "platform/NumberEdit.h"
#include "platform/MessageService.h"
#include "stations/CDialogLampMachineList.h"

namespace {

using namespace smt::stations;

TEST(LampMachineListDialogTest, AddModifyDeleteThroughTheEditor) {
  smt::platform::ScopedRecordingMessages messages;
  LampPointTable::Of(smt::CurrentMachine()).Clear();
  const auto dir = std::filesystem::temp_directory_path() / ("lamp-dlg-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  CDialogLampMachineList dlg(smt::CurrentMachine(), dir.string());
  double markX = 1.0;
  dlg.runEditor = [&](CDialogLampMachineEdit& e) {
    static_cast<smt::platform::NumberEdit*>(e.m_fields[1])->setValue(markX);  // cell 3
    static_cast<smt::platform::NumberEdit*>(e.m_fields[10])->setValue(7);            // cell 12
    return true;
  };
  dlg.OnAdd();
  markX = 2.0;
  dlg.OnAdd();
  EXPECT_EQ(LampPointTable::Of(smt::CurrentMachine()).PointCount(), 2);
  EXPECT_EQ(dlg.m_list->item(3, 0)->text().toStdString(), "2");
  EXPECT_EQ(dlg.m_list->item(3, 3)->text().toStdString(), "2.0000");
  // Modify the platform-2 row of point 1: its platform-1 row stays.
  dlg.m_list->selectRow(1);
  markX = 9.5;
  dlg.OnModify();
  EXPECT_EQ(LampPointTable::Of(smt::CurrentMachine()).Cell(1, 3), "9.5000");
  EXPECT_EQ(LampPointTable::Of(smt::CurrentMachine()).Cell(0, 3), "1.0000");
  // Delete point 1 through its platform-2 row: point 2 moves up.
  dlg.m_list->selectRow(1);
  dlg.OnDelete();
  EXPECT_EQ(LampPointTable::Of(smt::CurrentMachine()).PointCount(), 1);
  EXPECT_EQ(LampPointTable::Of(smt::CurrentMachine()).Cell(0, 3), "2.0000");
  // A set quantity too close to the boards made is refused.
  dlg.m_editSet->setValue(1);
  dlg.OnConfirmCounts();
  dlg.accept();
  EXPECT_EQ(LampCounters::Load(dir.string()).m_CountSet, 1);
  LampPointTable::Of(smt::CurrentMachine()).Clear();
  std::filesystem::remove_all(dir);
}

TEST(LampMachineListDialogTest, EditorRefusesValveOpeningBelowTheHeight) {
  smt::platform::ScopedRecordingMessages messages;
  CDialogLampMachineEdit e(smt::CurrentMachine());
  static_cast<smt::platform::NumberEdit*>(e.m_fields[14])->setValue(-2.0);  // cell 16 red height
  static_cast<smt::platform::NumberEdit*>(e.m_fields[15])->setValue(-3.0);  // cell 17 red valve open
  static_cast<smt::platform::NumberEdit*>(e.m_fields[10])->setValue(5);
  static_cast<smt::platform::NumberEdit*>(e.m_fields[11])->setValue(5);
  e.accept();
  EXPECT_EQ(e.result(), 0);
  // The valve-open field waits for a valid value; no message.
  EXPECT_EQ(e.m_nFocusCell, 17);
  EXPECT_TRUE(messages.service.Texts().empty());
}

}  // namespace
