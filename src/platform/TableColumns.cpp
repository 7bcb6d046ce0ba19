#include "platform/TableColumns.h"

#include <QHeaderView>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <algorithm>

namespace smt::platform {

void WidenColumnsToTexts(QTableView* view, int rowsLooked) {
  const QAbstractItemModel* m = view ? view->model() : nullptr;
  if (!m) return;
  QHeaderView* h = view->horizontalHeader();
  const int headMargin = 2 * view->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h) + 2;
  const int cellMargin = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1) + 2;
  const int rows = std::min(m->rowCount(), rowsLooked);
  for (int c = 0; c < m->columnCount(); ++c) {
    if (view->isColumnHidden(c) || h->sectionSize(c) == 0) continue;
    int needed = h->fontMetrics().horizontalAdvance(m->headerData(c, Qt::Horizontal).toString()) + headMargin;
    for (int r = 0; r < rows; ++r)
      needed = std::max(needed, view->fontMetrics().horizontalAdvance(m->data(m->index(r, c)).toString()) + cellMargin);
    if (h->sectionSize(c) < needed) h->resizeSection(c, needed);
  }
}

}  // namespace smt::platform

namespace smt::platform {

void KeepColumnsWideEnough(QTableView* view) {
  QAbstractItemModel* m = view ? view->model() : nullptr;
  if (!m) return;
  auto* pending = new QTimer(view);
  pending->setSingleShot(true);
  pending->setInterval(0);
  QObject::connect(pending, &QTimer::timeout, view, [view] { WidenColumnsToTexts(view); });
  auto later = [pending] { pending->start(); };
  QObject::connect(m, &QAbstractItemModel::modelReset, pending, later);
  QObject::connect(m, &QAbstractItemModel::rowsInserted, pending, later);
  QObject::connect(m, &QAbstractItemModel::dataChanged, pending, later);
  QObject::connect(m, &QAbstractItemModel::headerDataChanged, pending, later);
  WidenColumnsToTexts(view);
}

}  // namespace smt::platform
