#pragma once
// What the feeder editors (the feeder editor, the group manager and the tray
// grid) need of the feeder list they edit: the table, the shown rows, the
// selection and editing state, the texts and the feeder tests. The feeder
// list panel implements it; the editors know only this, so the list and its
// editors do not include each other.
#include <string>

#include "feeder/FeederTable.h"

class FeederListPanel {
 public:
  virtual ~FeederListPanel() = default;

  virtual smt::feeder::FeederTable& Table() = 0;
  virtual const std::string& AppDir() const = 0;
  virtual const std::string& Language() const = 0;
  virtual std::string Text(const std::string& key) const = 0;

  // The rows shown for the current group.
  virtual int RowCount() const = 0;
  virtual smt::feeder::FeederListRow ListRow(int row) const = 0;
  virtual void SetListRow(int row, const smt::feeder::FeederListRow& r) = 0;
  virtual void SelectRow(int row, bool on) = 0;
  // Shows the current group again (after opening a group or an import).
  virtual void ShowCurrentGroup() = 0;
  virtual void RefreshGroupFields() = 0;

  // The editor's fields to and from a row of the list.
  virtual void SetRowFromEdit(int row) = 0;
  virtual void LoadEditFromRow(int row) = 0;

  // Starts test `mode` on the selected row after the guards; false when refused.
  virtual bool StartTest(int mode) = 0;
  // The same with the row's texts replaced (the editor's buttons test what it shows).
  virtual bool StartTestWithRow(int mode, const smt::feeder::FeederRow& row) = 0;
  virtual void OnMeasureHeight() = 0;
  virtual void OnFeedTest(bool singleStep = false) = 0;

  // Selection and editing state.
  int m_nSelectedRow = 0;
  bool m_bEditInProgress = false;
  int m_nEditGroupRow = -1;
};
