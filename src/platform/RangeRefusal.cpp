#include "platform/RangeRefusal.h"

#include <QVariant>

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>
#include <vector>

namespace smt::platform {

namespace {

QString Trimmed(QString s) {
  s = s.trimmed();
  while (!s.isEmpty() && (s.endsWith(':') || s.endsWith(QChar(0xFF1A)))) s.chop(1);
  return s.trimmed();
}

// The text of a widget that can name the edit after it: a label, or a check
// box or radio button that switches the field (its text names the field);
// empty for anything else.
QString NamingText(const QWidget* w) {
  if (auto* l = qobject_cast<const QLabel*>(w)) return Trimmed(l->text());
  if (qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w))
    return Trimmed(static_cast<const QAbstractButton*>(w)->text());
  return {};
}

}  // namespace

std::string FieldLabelOf(const QWidget* edit) {
  if (!edit) return {};
  // A name the dialog gave the field itself (one label over several edits).
  if (const QVariant named = edit->property(kFieldNameProperty); named.isValid() && !named.toString().isEmpty())
    return named.toString().toStdString();
  if (!edit->parentWidget()) return {};
  const QWidget* parent = edit->parentWidget();
  for (const QLabel* l : parent->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
    if (l->buddy() == edit && !Trimmed(l->text()).isEmpty()) return Trimmed(l->text()).toStdString();
  // The label before the edit in its layout row.
  for (const QLayout* lay = parent->layout(); lay;) {
    std::vector<const QLayout*> todo{lay};
    std::vector<const QLayout*> outer;  // the layouts looked at so far
    while (!todo.empty()) {
      const QLayout* l = todo.back();
      todo.pop_back();
      if (auto* g = qobject_cast<const QGridLayout*>(l)) {
        const int at = g->indexOf(const_cast<QWidget*>(edit));
        if (at >= 0) {
          int row = 0, col = 0, rs = 0, cs = 0;
          g->getItemPosition(at, &row, &col, &rs, &cs);
          for (int c = col - 1; c >= 0; --c)
            if (QLayoutItem* it = g->itemAtPosition(row, c))
              if (const QString t = NamingText(it->widget()); !t.isEmpty()) return t.toStdString();
        }
      } else if (auto* f = qobject_cast<const QFormLayout*>(l)) {
        if (QWidget* label = f->labelForField(const_cast<QWidget*>(edit)))
          if (const QString t = NamingText(label); !t.isEmpty()) return t.toStdString();
      } else if (auto* box = qobject_cast<const QBoxLayout*>(l)) {
        const int at = box->indexOf(const_cast<QWidget*>(edit));
        for (int i = at - 1; at > 0 && i >= 0; --i)
          if (QLayoutItem* it = box->itemAt(i))
            if (const QString t = NamingText(it->widget()); !t.isEmpty()) return t.toStdString();
        // A row of its own in a grid cell (a choice and its value): the
        // label left of that cell names it.
        if (at >= 0)
          for (const QLayout* up : outer)
            if (auto* g = qobject_cast<const QGridLayout*>(up))
              for (int i = 0; i < g->count(); ++i)
                if (g->itemAt(i) && g->itemAt(i)->layout() == box) {
                  int row = 0, col = 0, rs = 0, cs = 0;
                  g->getItemPosition(i, &row, &col, &rs, &cs);
                  for (int c = col - 1; c >= 0; --c)
                    if (QLayoutItem* it = g->itemAtPosition(row, c))
                      if (const QString t = NamingText(it->widget()); !t.isEmpty()) return t.toStdString();
                }
      }
      outer.push_back(l);
      for (int i = 0; i < l->count(); ++i)
        if (QLayoutItem* it = l->itemAt(i); it && it->layout()) todo.push_back(it->layout());
    }
    break;
  }
  if (auto* group = qobject_cast<const QGroupBox*>(parent); group && !Trimmed(group->title()).isEmpty())
    return Trimmed(group->title()).toStdString();
  return {};
}

}  // namespace smt::platform
