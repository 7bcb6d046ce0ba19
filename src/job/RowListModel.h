#pragma once
// A Qt table model over one of the job's row lists (placement, dispensing
// or drill): cell texts, the row images and the column titles. The rows
// stay in the JobModel; the model only shows them, so a list of thousands
// of rows is shown without copying it into widget items.
#include <QAbstractTableModel>
#include <QIcon>
#include <vector>

#include "job/JobRows.h"

class RowListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  RowListModel(std::vector<smt::job::ListRow>* rows, smt::job::RowKind kind, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void SetTitle(int column, const QString& title);
  QString Title(int column) const { return titles_.value(column); }
  // The rows changed in the JobModel.
  void Refresh();
  // These rows' cells changed (not their number or order): one change per
  // run of neighbouring rows.
  void RowsChanged(std::vector<int> rows);
  smt::job::RowKind Kind() const { return kind_; }

  // The 11 images of the part list (0 plain, 1/2 yes/no, 3/4 vision
  // yes/no, 5..10 run progress).
  static QIcon Image(int index);

 private:
  std::vector<smt::job::ListRow>* rows_;
  smt::job::RowKind kind_;
  QStringList titles_;
};
