#include "platform/RangeRefusal.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/SettingsSection.h"

namespace smt::platform {

namespace {

std::mutex g_m;
std::string g_appDir = ".";
std::string g_language = "Chinese";

std::string Fill(std::string text, const std::string (&values)[3], int count) {
  // No field name: the text without it and the marks around it.
  if (values[0].empty())
    if (auto at = text.find("%1"); at != std::string::npos) {
      size_t from = at, to = at + 2;
      for (const char* q : {"“", "„", "\""})
        if (from >= std::strlen(q) && text.compare(from - std::strlen(q), std::strlen(q), q) == 0) from -= std::strlen(q);
      for (bool more = true; more;) {
        more = false;
        for (const char* q : {"”", "“", "\"", "：", ":", " "})
          if (text.compare(to, std::strlen(q), q) == 0) {
            to += std::strlen(q);
            more = true;
          }
      }
      text.erase(from, to - from);
    }
  for (int k = 0; k < count; ++k) {
    const std::string mark = "%" + std::to_string(k + 1);
    if (const auto at = text.find(mark); at != std::string::npos) text.replace(at, mark.size(), values[k]);
  }
  return text;
}

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

std::string RangeBoundText(double v) {
  char buf[48];
  if (std::isfinite(v) && std::fabs(v) < 1e15 && v == std::trunc(v))
    std::snprintf(buf, sizeof buf, "%.0f", v);
  else
    std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

std::string RangeRefusalText(const std::string& appDir, const std::string& language, const std::string& field,
                             double min, double max) {
  const std::string text = LanguageSection(appDir, language, "CommonConfig")
                               .Text("Common.c_RangeRefusal", "“%1”：请输入一个介于 %2 和 %3 之间的数。");
  const std::string values[3] = {field, RangeBoundText(min), RangeBoundText(max)};
  return Fill(text, values, 3);
}

void SetRefusalLanguage(const std::string& appDir, const std::string& language) {
  std::lock_guard lk(g_m);
  g_appDir = appDir;
  g_language = language;
}

std::string RefusalLanguage() {
  std::lock_guard lk(g_m);
  return g_language;
}

std::string RangeRefusalText(const std::string& field, double min, double max) {
  std::string dir, language;
  {
    std::lock_guard lk(g_m);
    dir = g_appDir;
    language = g_language;
  }
  return RangeRefusalText(dir, language, field, min, max);
}

std::string CommonText(const std::string& key, const std::string& chineseDefault) {
  std::string dir, language;
  {
    std::lock_guard lk(g_m);
    dir = g_appDir;
    language = g_language;
  }
  return LanguageSection(dir, language, "CommonConfig").Text(key, chineseDefault);
}

std::string NumberRefusalText(const std::string& field) {
  std::string dir, language;
  {
    std::lock_guard lk(g_m);
    dir = g_appDir;
    language = g_language;
  }
  return NumberRefusalText(dir, language, field);
}

std::string NumberRefusalText(const std::string& dir, const std::string& language, const std::string& field) {
  const std::string text =
      LanguageSection(dir, language, "CommonConfig").Text("Common.c_NumberRefusal", "“%1”：请输入一个数字。");
  const std::string values[3] = {field, "", ""};
  return Fill(text, values, 1);
}

std::string FieldLabelOf(const QWidget* edit) {
  if (!edit || !edit->parentWidget()) return {};
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
