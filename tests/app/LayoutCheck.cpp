#include "LayoutCheck.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRubberBand>
#include <QScrollArea>
#include <QScrollBar>
#include <QSizeGrip>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTableView>
#include <QTextDocument>
#include <QToolButton>
#include <algorithm>

namespace smt::test {

namespace {

std::string S(const QString& s) { return s.toStdString(); }

// "dialog/groupBox/label 'text'": where the control is, for the report.
std::string PathOf(const QWidget* w, const QWidget* window) {
  std::string path;
  for (const QWidget* p = w; p && p != window; p = p->parentWidget()) {
    std::string name = p->objectName().isEmpty() ? p->metaObject()->className() : S(p->objectName());
    path = path.empty() ? name : name + "/" + path;
  }
  return path;
}

std::string Describe(const QWidget* w, const QWidget* window, const QString& text) {
  return PathOf(w, window) + " '" + S(text).substr(0, 60) + "'";
}

QString WithoutMnemonic(QString t) {
  t.replace("&&", "\x01");
  t.remove('&');
  t.replace("\x01", "&");
  return t;
}

// Controls whose inner widgets are their own business.
bool IsOpaqueControl(const QWidget* w) {
  if (qobject_cast<const QScrollArea*>(w)) return false;
  return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLabel*>(w) ||
         qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
         qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractScrollArea*>(w) ||
         qobject_cast<const QAbstractSlider*>(w) || qobject_cast<const QTabBar*>(w) ||
         qobject_cast<const QProgressBar*>(w) || qobject_cast<const QMenuBar*>(w);
}

bool Ignored(const QWidget* w) {
  return w->isWindow() || !w->isVisible() || qobject_cast<const QSizeGrip*>(w) ||
         qobject_cast<const QRubberBand*>(w) || w->objectName().startsWith("qt_");
}

std::vector<QWidget*> VisibleChildren(const QWidget* w) {
  std::vector<QWidget*> out;
  for (QObject* o : w->children())
    if (auto* c = qobject_cast<QWidget*>(o); c && !Ignored(c)) out.push_back(c);
  return out;
}

struct Checker {
  QWidget* window;
  std::string where;
  std::vector<std::string> problems;

  void Add(const std::string& what) { problems.push_back(where + ": " + what); }

  void TooNarrow(const QWidget* w, const QString& text, int needed, int has, const char* dim = "wide") {
    Add(Describe(w, window, text) + " needs " + std::to_string(needed) + " px " + dim + ", has " + std::to_string(has));
  }

  void CheckText(const QWidget* w, const QString& text) {
    if (LooksLikeCodeName(WithoutMnemonic(text))) Add(Describe(w, window, text) + " shows a code name");
  }

  void CheckLabel(const QLabel* l) {
    const QString text = l->text();
    if (text.isEmpty() || l->pixmap().cacheKey() != 0) return;
    CheckText(l, text);
    const QRect r = l->contentsRect().adjusted(l->margin(), l->margin(), -l->margin(), -l->margin());
    QSize needed;
    if (l->wordWrap()) {
      needed = QSize(0, l->heightForWidth(l->width()));
      if (needed.height() > l->height()) TooNarrow(l, text, needed.height(), l->height(), "high");
      return;
    }
    const bool rich = l->textFormat() == Qt::RichText || (l->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
    if (rich) {
      QTextDocument doc;
      doc.setDefaultFont(l->font());
      doc.setDocumentMargin(0);
      doc.setHtml(text);
      needed = QSize(qCeil(doc.idealWidth()), 0);
    } else {
      needed = l->fontMetrics().size(l->buddy() ? Qt::TextShowMnemonic : 0, text);
    }
    if (needed.width() > r.width()) TooNarrow(l, text, needed.width(), r.width());
    if (needed.height() > r.height() + 2) TooNarrow(l, text, needed.height(), r.height(), "high");
  }

  void CheckButton(const QAbstractButton* b) {
    const QString text = b->text();
    if (text.isEmpty()) return;
    CheckText(b, text);
    if (auto* t = qobject_cast<const QToolButton*>(b); t && t->toolButtonStyle() == Qt::ToolButtonIconOnly) return;
    const QSize textSize = b->fontMetrics().size(Qt::TextShowMnemonic, text);
    int iconWidth = b->icon().isNull() ? 0 : b->iconSize().width() + 4;
    QRect room = b->rect();
    if (auto* p = qobject_cast<const QPushButton*>(b)) {
      QStyleOptionButton o;
      o.initFrom(p);
      o.rect = p->rect();
      o.text = text;
      o.features = p->isFlat() ? QStyleOptionButton::Flat : QStyleOptionButton::None;
      if (p->menu()) o.features |= QStyleOptionButton::HasMenu;
      room = p->style()->subElementRect(QStyle::SE_PushButtonContents, &o, p);
      if (p->menu()) room.setWidth(room.width() - p->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &o, p));
    } else if (qobject_cast<const QCheckBox*>(b) || qobject_cast<const QRadioButton*>(b)) {
      QStyleOptionButton o;
      o.initFrom(b);
      o.rect = b->rect();
      o.text = text;
      const bool check = qobject_cast<const QCheckBox*>(b) != nullptr;
      room = b->style()->subElementRect(check ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents, &o, b);
    } else {
      room = b->rect().adjusted(3, 3, -3, -3);
      if (auto* t = qobject_cast<const QToolButton*>(b); t && t->toolButtonStyle() == Qt::ToolButtonTextUnderIcon) {
        iconWidth = 0;
        room.setHeight(room.height() - t->iconSize().height());
      }
    }
    if (textSize.width() + iconWidth > room.width()) TooNarrow(b, text, textSize.width() + iconWidth, room.width());
    if (textSize.height() > room.height() + 2) TooNarrow(b, text, textSize.height(), room.height(), "high");
  }

  void CheckGroupBox(const QGroupBox* g) {
    const QString title = g->title();
    if (title.isEmpty()) return;
    CheckText(g, title);
    const int needed = g->fontMetrics().size(Qt::TextShowMnemonic, title).width() + 2 * 6 +
                       (g->isCheckable() ? g->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 4 : 0);
    if (needed > g->width()) TooNarrow(g, title, needed, g->width());
  }

  void CheckCombo(const QComboBox* c) {
    const QString text = c->currentText();
    if (text.isEmpty()) return;
    CheckText(c, text);
    QStyleOptionComboBox o;
    o.initFrom(c);
    o.rect = c->rect();
    o.editable = c->isEditable();
    o.currentText = text;
    const QRect room = c->style()->subControlRect(QStyle::CC_ComboBox, &o, QStyle::SC_ComboBoxEditField, c);
    const int needed = c->fontMetrics().horizontalAdvance(text) + (c->itemIcon(c->currentIndex()).isNull() ? 0 : c->iconSize().width() + 4);
    if (needed > room.width()) TooNarrow(c, text, needed, room.width());
  }

  void CheckLineEdit(const QLineEdit* e, const QWidget* shownAs) {
    const QString text = e->echoMode() == QLineEdit::Normal ? e->text() : QString();
    if (text.isEmpty()) return;
    const QMargins m = e->textMargins();
    const int room = e->width() - 2 * 2 - m.left() - m.right() - (e->hasFrame() ? 2 * 2 : 0);
    const int needed = e->fontMetrics().horizontalAdvance(text);
    if (needed > room) TooNarrow(shownAs, text, needed, room);
  }

  // Header and cell texts of a table that its columns cut off.
  void CheckTable(const QTableView* t) {
    const QAbstractItemModel* m = t->model();
    if (!m) return;
    const QHeaderView* h = t->horizontalHeader();
    const int margin = t->style()->pixelMetric(QStyle::PM_HeaderMargin) * 2;
    const int cellMargin = 2 * (t->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, t) + 1);
    for (int c = 0; c < m->columnCount(); ++c) {
      if (t->isColumnHidden(c) || h->sectionSize(c) == 0) continue;
      const int width = h->sectionSize(c);
      const QString head = m->headerData(c, Qt::Horizontal).toString();
      if (!h->isHidden() && !head.isEmpty()) {
        CheckText(t, head);
        const int needed = h->fontMetrics().horizontalAdvance(head) + margin;
        if (needed > width) TooNarrow(t, "column " + head, needed, width);
      }
      for (int r = 0; r < std::min(m->rowCount(), 30); ++r) {
        const QString cell = m->data(m->index(r, c)).toString();
        if (cell.isEmpty()) continue;
        const int needed = t->fontMetrics().horizontalAdvance(cell) + cellMargin;
        if (needed > width) {
          TooNarrow(t, "cell " + QString::number(r) + "," + QString::number(c) + " " + cell, needed, width);
          break;
        }
      }
    }
  }

  void CheckControl(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w)) CheckLabel(l);
    else if (auto* b = qobject_cast<QAbstractButton*>(w)) CheckButton(b);
    else if (auto* c = qobject_cast<QComboBox*>(w)) CheckCombo(c);
    else if (auto* e = qobject_cast<QLineEdit*>(w)) CheckLineEdit(e, e);
    else if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) {
      if (auto* e = s->findChild<QLineEdit*>()) CheckLineEdit(e, s);
    } else if (auto* t = qobject_cast<QTableView*>(w)) CheckTable(t);
    if (auto* g = qobject_cast<QGroupBox*>(w)) CheckGroupBox(g);
  }

  // `w` is a container: its children lie inside it, do not overlap, and are
  // checked in turn.
  void CheckContainer(QWidget* w) {
    const std::vector<QWidget*> kids = VisibleChildren(w);
    for (QWidget* c : kids) {
      if (!w->rect().contains(c->geometry())) {
        Add(PathOf(c, window) + " lies outside " + (w == window ? std::string("its window") : PathOf(w, window)) +
            " (" + std::to_string(c->x()) + "," + std::to_string(c->y()) + " " + std::to_string(c->width()) + "x" +
            std::to_string(c->height()) + " in " + std::to_string(w->width()) + "x" + std::to_string(w->height()) + ")");
      }
    }
    for (size_t i = 0; i < kids.size(); ++i)
      for (size_t j = i + 1; j < kids.size(); ++j) {
        const QRect both = kids[i]->geometry().intersected(kids[j]->geometry());
        if (both.width() > 0 && both.height() > 0)
          Add(PathOf(kids[i], window) + " and " + PathOf(kids[j], window) + " overlap");
      }
    for (QWidget* c : kids) Check(c);
  }

  void Check(QWidget* w) {
    CheckControl(w);
    if (auto* area = qobject_cast<QScrollArea*>(w)) {
      if (QWidget* content = area->widget(); content && content->isVisible()) {
        if (area->horizontalScrollBar()->isVisible())
          Add(PathOf(area, window) + " needs horizontal scrolling (" + std::to_string(content->width()) + " px in " +
              std::to_string(area->viewport()->width()) + ")");
        CheckContainer(content);
      }
      return;
    }
    if (!IsOpaqueControl(w)) CheckContainer(w);
  }
};

}  // namespace

QSize AvailableClientSize(const ScreenSize& screen) {
  return {screen.width - 2 * kFrameBorder, screen.height - kTaskBarHeight - kTitleBarHeight - kFrameBorder};
}

QSize FirstShownSize(const QWidget& window, const ScreenSize& screen) {
  QSize s = window.sizeHint();
  if (!window.layout() || !s.isValid()) return window.size();
  if (window.layout()->hasHeightForWidth()) s.setHeight(window.layout()->totalHeightForWidth(s.width()));
  s = s.boundedTo(QSize(screen.width * 2 / 3, screen.height * 2 / 3));
  return s.expandedTo(window.minimumSize()).boundedTo(window.maximumSize());
}

std::vector<std::string> CheckWindowLayout(QWidget& window, const ScreenSize& screen, const std::string& where) {
  Checker c{&window, where, {}};
  const QSize room = AvailableClientSize(screen);
  if (window.width() > room.width() || window.height() > room.height())
    c.Add("the window (" + std::to_string(window.width()) + "x" + std::to_string(window.height()) +
          ") does not fit the screen's " + std::to_string(room.width()) + "x" + std::to_string(room.height()));
  if (!window.windowTitle().isEmpty()) c.CheckText(&window, window.windowTitle());
  c.Check(&window);
  return c.problems;
}

std::string WhyNotInSight(QWidget* w, QWidget& window) {
  if (!w) return "missing";
  if (!w->isVisibleTo(&window)) return "hidden";
  for (QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
    const QRect in(w->mapTo(p, QPoint(0, 0)), w->size());
    if (!p->rect().contains(in))
      return "cut off by " + (p->objectName().isEmpty() ? std::string(p->metaObject()->className()) : S(p->objectName())) +
             " (its bottom at " + std::to_string(in.bottom()) + ", the parent " + std::to_string(p->height()) + " high)";
    if (p == &window) break;
  }
  return {};
}

bool LooksLikeCodeName(const QString& text) {
  static const QRegularExpression code(
      R"(^\s*(m_[A-Za-z]\w*|[A-Za-z]\w*\.c_\w+|c_[A-Za-z]\w*|IDC_\w+|IDS_\w+|ID_\w+)\s*[:：]?\s*$)");
  return code.match(text).hasMatch();
}

}  // namespace smt::test
