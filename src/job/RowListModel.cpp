#include "job/RowListModel.h"

#include <QColor>
#include <algorithm>
#include <QPainter>
#include <QPixmap>

using smt::job::ListRow;
using smt::job::RowKind;

RowListModel::RowListModel(std::vector<ListRow>* rows, RowKind kind, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows), kind_(kind) {
  for (const auto& t : smt::job::BuiltinTitles(kind)) titles_ << QString::fromStdString(t);
}

int RowListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_->size());
}

int RowListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : smt::job::CellCount(kind_);
}

QVariant RowListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_->size())) return {};
  const ListRow& row = (*rows_)[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(row.Cell(index.column()));
    case Qt::DecorationRole: {
      int img = row.Image(index.column());
      return img >= 0 ? QVariant(Image(img)) : QVariant();
    }
    case Qt::TextAlignmentRole:
      return int(Qt::AlignCenter);
    case Qt::UserRole:
      return row.Image(index.column());
    default:
      return {};
  }
}

QVariant RowListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole) return titles_.value(section);
  if (orientation == Qt::Vertical && role == Qt::DisplayRole) return section + 1;
  return QAbstractTableModel::headerData(section, orientation, role);
}

void RowListModel::SetTitle(int column, const QString& title) {
  if (column < 0 || column >= titles_.size()) return;
  titles_[column] = title;
  emit headerDataChanged(Qt::Horizontal, column, column);
}

void RowListModel::Refresh() {
  beginResetModel();
  endResetModel();
}

void RowListModel::RowsChanged(std::vector<int> rows) {
  if (rows.empty()) return;
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  const int n = rowCount();
  const int last = columnCount() - 1;
  size_t i = 0;
  while (i < rows.size()) {
    size_t j = i;
    while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) ++j;
    if (rows[i] >= 0 && rows[j] < n) emit dataChanged(index(rows[i], 0), index(rows[j], last));
    i = j + 1;
  }
}

QIcon RowListModel::Image(int index) {
  static const std::vector<QIcon> icons = [] {
    // Plain, yes, no, vision yes, vision no, picked, placed, vacuum failed,
    // vision failed, working, done.
    const QColor colours[] = {QColor(0, 0, 0, 0), QColor(0, 170, 0),   QColor(200, 0, 0),  QColor(0, 120, 220),
                              QColor(150, 150, 150), QColor(240, 200, 0), QColor(0, 200, 90), QColor(230, 90, 0),
                              QColor(170, 0, 170), QColor(0, 190, 190), QColor(60, 60, 60)};
    std::vector<QIcon> v;
    for (const QColor& c : colours) {
      QPixmap pm(12, 12);
      pm.fill(Qt::transparent);
      QPainter p(&pm);
      p.setRenderHint(QPainter::Antialiasing);
      p.setBrush(c);
      p.setPen(Qt::NoPen);
      p.drawEllipse(1, 1, 10, 10);
      v.emplace_back(pm);
    }
    return v;
  }();
  return index >= 0 && index < static_cast<int>(icons.size()) ? icons[static_cast<size_t>(index)] : QIcon();
}
