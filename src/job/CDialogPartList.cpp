#include "job/CDialogPartList.h"
#include "platform/FileChooser.h"
#include "platform/TableColumns.h"

#include <QTimer>

#include <algorithm>
#include <utility>

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QMenu>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <cstdio>

#include "core/MachineState.h"
#include "job/CDialogFind.h"
#include "job/CDialogPCBEdit.h"
#include "job/CDialogPartEditDis.h"
#include "job/CDialogPartEditDrill.h"
#include "job/CDialogPartEditSmt.h"
#include "job/CToolBarPartControl.h"
#include "job/CurrentBoard.h"
#include "job/DropDownLists.h"
#include "job/PartListTexts.h"
#include "job/RowListModel.h"
#include "link/LinkRuntime.h"
#include "platform/FileFilter.h"
#include "platform/FileIo.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "settings/SettingsStores.h"

using smt::job::BoardTransform;
using smt::job::RowKind;
using smt::platform::MsgAnswer;
using smt::platform::MsgButtons;
using smt::platform::MsgIcon;

namespace {

// Menu ids of the three lists' context menus.
enum MenuId {
  kSmtSelectAll = 33275, kSmtAdd = 32865, kSmtEdit, kSmtDelete, kSmtCopy, kSmtPaste, kSmtCopyPaste = 33127,
  kSuctionTest = 32782, kCameraTest = 32783, kCurrentSmt = 32977, kSelectSmt = 32979,
  kPcbCw = 33027, kPcbCcw = 33028, kPcbMirrorLR = 33030, kPcbMirrorUD = 33031, kPcbCompound = 33098,
  kGrout1Y1 = 33152, kGrout1Y2, kGrout2Y1, kGrout2Y2, kCamY1 = 33162, kCamY2, kNoz1Y1, kNoz2Y1, kNoz3Y1, kNoz4Y1,
  kDisSelectAll = 33295, kDisAdd, kDisEdit, kDisDelete, kDisCopy, kDisPaste, kDisCopyPaste, kDisHeadTest,
  kCurrentDis, kSelectDis, kDisCameraTest,
  kDrillSelectAll = 33308, kDrillAdd, kDrillEdit, kDrillDelete, kDrillCopy, kDrillPaste, kDrillCopyPaste,
  kDrillTest, kDrillCameraTest, kCurrentDrill, kSelectDrill
};

std::string Fmt2(const char* f, int a, int b) {
  char buf[128];
  std::snprintf(buf, sizeof buf, f, a, b);
  return buf;
}

}  // namespace

CDialogPartList::CDialogPartList(smt::Machine& machine, QWidget* parent)
    : QWidget(parent),
      machine_(machine),
      job_(smt::job::PartListOf(machine).job),
      logic_(smt::job::PartListOf(machine).logic),
      run_(smt::job::PartListOf(machine).run),
      coord_(smt::job::PartListOf(machine).coord),
      editSmt_([this] {
        auto d = std::make_unique<CDialogPartEditSmt>(machine_, job_, this);
        d->partListText = [this](const std::string& key) { return Text(key); };
        if (dialogLanguage_) d->LoadLanguage(dialogLanguage_->first, dialogLanguage_->second);
        return d;
      }),
      editDis_([this] {
        auto d = std::make_unique<CDialogPartEditDis>(machine_, this);
        if (dialogLanguage_) d->LoadLanguage(dialogLanguage_->first, dialogLanguage_->second);
        return d;
      }),
      editDrill_([this] {
        auto d = std::make_unique<CDialogPartEditDrill>(machine_, this);
        if (dialogLanguage_) d->LoadLanguage(dialogLanguage_->first, dialogLanguage_->second);
        return d;
      }),
      find_([this] {
        auto d = std::make_unique<CDialogFind>(logic_, this);
        if (dialogLanguage_) d->LoadLanguage(dialogLanguage_->first, dialogLanguage_->second);
        return d;
      }) {
  setObjectName("CDialogPartList");
  {
    std::map<std::string, std::string> texts(smt::job::PartListTextTable().begin(), smt::job::PartListTextTable().end());
    texts["PartList.c_SMTTime"] = "用时：";
    logic_.SetTexts(std::move(texts));
  }
  auto* lay = new QVBoxLayout(this);
  toolbar_ = new CToolBarPartControl(this);
  toolbar_->setObjectName("c_370");
  toolbar_->Create([this](int c) { OnCommand(c); });
  // The PCB and strategy buttons explain themselves in a tip and in the
  // frame's status bar; any other button empties the status bar.
  for (int c = CToolBarPartControl::kFirstCommand; c < CToolBarPartControl::kFirstCommand + CToolBarPartControl::kButtonCount; ++c) {
    QAction* a = toolbar_->Button(c);
    if (!a) continue;
    // The texts in the window's language (tips set with the other texts).
    std::string statusKey;
    if (c == smt::job::kBtnPcbEdit) statusKey = "PartList.c_PcbEditStatus";
    else if (c == smt::job::kBtnStrategy) statusKey = "PartList.c_StrategyStatus";
    connect(a, &QAction::hovered, this, [this, statusKey] {
      if (statusText) statusText(statusKey.empty() ? std::string() : Text(statusKey));
    });
  }
  lay->addWidget(toolbar_);
  auto* labels = new QHBoxLayout;
  board_ = new QLabel(this);
  board_->setObjectName("c_1103");
  count_ = new QLabel(this);
  count_->setObjectName("c_1104");
  progress_ = new QLabel(this);
  progress_->setObjectName("c_1083");
  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName("c_1109");
  smtTime_ = new QLabel(this);
  smtTime_->setObjectName("c_1107");
  // The run clock beside its label: the label stays while the clock runs.
  clock_ = new QLabel(this);
  clock_->setObjectName("runClock");
  counter_ = new QLineEdit(this);
  counter_->setObjectName("c_1005");
  counter_->setReadOnly(true);
  // How the last run ended, with its counts; empty until a run ends.
  runEnd_ = new QLabel(this);
  runEnd_->setObjectName("runEnd");
  for (QWidget* w : std::initializer_list<QWidget*>{board_, count_, progress_, progressBar_, smtTime_, clock_, counter_, runEnd_})
    labels->addWidget(w);
  labels->addStretch();
  lay->addLayout(labels);

  stack_ = new QStackedWidget(this);
  std::vector<smt::job::ListRow>* lists[3] = {&job_.placementRows, &job_.dispenseRows, &job_.drillRows};
  for (int i = 0; i < 3; ++i) models_[i] = new RowListModel(lists[i], static_cast<RowKind>(i), this);
  // The placement list is shown at start; the other two lists are made the
  // first time they are shown or reached.
  View(0);
  lay->addWidget(stack_, 1);

  // In-place choice boxes (hidden until a cell is edited); the feeder
  // chooser lies over the placement list's feeder cell.
  names_ = new QComboBox(this);
  names_->setObjectName("c_1085");
  types_ = new QComboBox(this);
  types_->setObjectName("c_1020");
  packages_ = new QComboBox(this);
  packages_->setObjectName("c_1040");
  angles_ = new QComboBox(this);
  angles_->setObjectName("c_1025");
  feeders_ = new QComboBox(views_[0]->viewport());
  feeders_->setObjectName("c_1023");
  feeders_->installEventFilter(this);
  connect(feeders_, &QComboBox::activated, this, [this] { OnFeederChooserDone(); });
  for (auto* c : {names_, types_, packages_, angles_, feeders_}) c->hide();

  pcbEdit_ = std::make_unique<CDialogPCBEdit>(machine_, job_, smt::job::PartListOf(machine_).camera, this);
  job_.onRowsChanged = [this](RowKind k) {
    models_[static_cast<int>(k)]->Refresh();
    PushSelection(k);
  };
  job_.onVisibleChanged = [this] { ShowVisibleList(); };
  job_.onLoadCurrentBoard = [this](int index, const smt::job::PcbRecord&) { LoadCurrentBoard(index); };
  WireLogic();
  WireRun();
  run_.DisableRunButtons();
  ApplyLanguageTexts();
}

CDialogPartList::~CDialogPartList() {
  // The data outlives the panel: nothing of it may call the panel any more.
  job_.onRowsChanged = nullptr;
  job_.onVisibleChanged = nullptr;
  job_.onLoadCurrentBoard = nullptr;
  logic_.view.Disconnect();
  run_.later = nullptr;
  run_.view.Disconnect();
  run_.boardCount = nullptr;
  run_.runStarting = nullptr;
  run_.runStarted = nullptr;
  smt::job::FreePanelGrid(machine_);
}

// The list work's view on this panel: its rows and its part editors.
class CDialogPartList::ListView : public smt::job::PartListView {
 public:
  explicit ListView(CDialogPartList& panel) : p_(panel) {}
  void ShowRow(RowKind k, int row) override { p_.ShowRow(k, row); }
  bool EditSmt(smt::job::SmtEditFields& f) override {
    p_.editSmt_->marks = &p_.coord_.marks;
    p_.editSmt_->packageRows = p_.packageRows;
    p_.editSmt_->markRows = p_.markRows;
    CDialogPartList* p = &p_;
    p_.editSmt_->acceptFields = [p](const smt::job::SmtEditFields& e) { return p->logic_.SmtFeederFits(e); };
    return p_.editSmt_->Edit(f);
  }
  bool EditDis(smt::job::DisEditFields& f) override { return p_.editDis_->Edit(f); }
  bool EditDrill(smt::job::DrillEditFields& f) override { return p_.editDrill_->Edit(f); }
  void CameraTestForModify() override { p_.coord_.OnCameraTest(); }

 private:
  CDialogPartList& p_;
};

void CDialogPartList::WireLogic() {
  logic_.view.Connect(std::make_shared<ListView>(*this));
  logic_.autoChangeNozzle = nullptr;
}

// The run control's view on this panel; the jog panel's boxes through the
// link's jog panel hooks until the shell puts its own in.
class CDialogPartList::RunView : public smt::job::RunControlView {
 public:
  // Keeps the panel's machine itself: the machine outlives the panel, so a
  // run worker still holding this view reaches a live machine.
  explicit RunView(CDialogPartList& panel) : p_(panel), machine_(panel.machine_) {}
  void EnableButton(int b, bool on) override {
    CDialogPartList* p = &p_;
    smt::platform::PostToGui([p, b, on] {
      if (QAction* a = p->toolbar_->Button(b)) a->setEnabled(on);
    });
  }
  void JogInfo(int box, const std::string& t) override {
    auto& hooks = smt::link::RuntimeOf(machine_).Hooks();
    if (box == 1) hooks.AppendInfoLine(t, true);
    else hooks.AppendInfoLine2(t, true);
  }
  void FocusList(RowKind k) override { p_.View(static_cast<int>(k))->setFocus(); }
  void RunTimer(bool on) override {
    CDialogPartList* p = &p_;
    smt::platform::PostToGui([p, on] {
      if (on && !p->clockTimer_) p->clockTimer_ = p->startTimer(1000);
      if (!on && p->clockTimer_) {
        p->killTimer(p->clockTimer_);
        p->clockTimer_ = 0;
      }
    });
  }
  void ShowClock(const std::string& t) override { p_.clock_->setText(QString::fromStdString(t)); }
  void ShowCount(const std::string& t) override { p_.counter_->setText(QString::fromStdString(t)); }
  void EnableWindows() override {
    CDialogPartList* p = &p_;
    smt::platform::PostToGui([p] { p->View(0)->setEnabled(true); });
  }

 private:
  CDialogPartList& p_;
  smt::Machine& machine_;
};

void CDialogPartList::WireRun() {
  run_.view.Connect(std::make_shared<RunView>(*this));
  run_.later = [this](int ms, std::function<void()> fn) { QTimer::singleShot(ms, this, std::move(fn)); };
  run_.boardCount = [this]() -> int& { return pcbEdit_->Fields().m_PcbBoardCount; };
  // A placement run counts its rows from the states it shows, against what
  // it was asked to place: the rows from the one it starts from (Start from
  // the current row), only the selected ones for a run of the selected rows.
  // Read before the run threads start: a run that ends at once clears its
  // start choices.
  run_.runStarting = [this](int mode) {
    TakeRunRowPlan();
    const int type = logic_.Type();
    tallyPlacement_ = type != 9 && (mode == 0 || mode == 1 || mode == 2 || mode == 11 || mode == 12);
    startToPlace_ = startSkipped_ = 0;
    if (!tallyPlacement_) return;
    const auto& rows = job_.placementRows;
    const int first = logic_.m_bStartFromCurrentSmt ? std::max(logic_.State(RowKind::Placement).testRow, 0) : 0;
    for (int i = first; i < static_cast<int>(rows.size()); ++i) {
      if (logic_.m_bSelectedSmt && !logic_.IsSelected(RowKind::Placement, i)) continue;
      (rows[static_cast<size_t>(i)].Cell(smt::job::kSmtPlace) == "Yes" ? startToPlace_ : startSkipped_) += 1;
    }
  };
  run_.runStarted = [this](int) {
    const int toPlace = startToPlace_;
    tally_.Start(toPlace, startSkipped_);
    runEnd_->clear();
    runEnd_->setStyleSheet({});
    progressBar_->setRange(0, std::max(toPlace, 1));
    progressBar_->setValue(0);
  };
}

CDialogFind& CDialogPartList::FindDialog() { return *find_; }
CDialogPartEditSmt& CDialogPartList::SmtEditor() { return *editSmt_; }
CDialogPartEditDis& CDialogPartList::DisEditor() { return *editDis_; }
CDialogPartEditDrill& CDialogPartList::DrillEditor() { return *editDrill_; }

std::string CDialogPartList::Text(const std::string& key) const { return logic_.Text(key); }

void CDialogPartList::LoadLanguage(const std::string& appDir, const std::string& language) {
  smt::platform::LanguageSection s(appDir, language, "PartListConfig");
  std::map<std::string, std::string> texts;
  texts["PartList.c_SMTTime"] = Text("PartList.c_SMTTime");  // kept unless the language has its own
  for (const auto& [k, v] : smt::job::PartListTextTable()) texts[k] = s.Text(k, v);
  logic_.SetTexts(std::move(texts));
  pcbEdit_->LoadLanguage(appDir, language);
  dialogLanguage_.emplace(appDir, language);
  if (editSmt_.Built()) editSmt_->LoadLanguage(appDir, language);
  if (editDis_.Built()) editDis_->LoadLanguage(appDir, language);
  if (editDrill_.Built()) editDrill_->LoadLanguage(appDir, language);
  if (find_.Built()) find_->LoadLanguage(appDir, language);
  ApplyLanguageTexts();
}

void CDialogPartList::ApplyLanguageTexts() {
  // The board labels are written again in the new language.
  if (!boardText_.isEmpty() && !job_.pcbs.m_strCurPcbName.empty()) {
    for (int i = 0; i < job_.pcbs.Count(); ++i)
      if (job_.pcbs.m_Records[static_cast<size_t>(i)].m_strName == job_.pcbs.m_strCurPcbName) {
        LoadCurrentBoard(i);
        break;
      }
  }
  board_->setText(boardText_);
  count_->setText(countText_);
  progress_->setText(QString::fromStdString(Text("PartList.c_Progress")));
  for (int command = CToolBarPartControl::kFirstCommand;
       command < CToolBarPartControl::kFirstCommand + CToolBarPartControl::kButtonCount; ++command)
    if (QAction* a = toolbar_->Button(command))
      a->setText(QString::fromStdString(Text("PartList.c_Button_" + std::to_string(command))));
  if (QAction* a = toolbar_->Button(smt::job::kBtnPcbEdit)) a->setToolTip(QString::fromStdString(Text("PartList.c_PcbEditTip")));
  if (QAction* a = toolbar_->Button(smt::job::kBtnStrategy))
    a->setToolTip(QString::fromStdString(Text("PartList.c_StrategyTip")));
  smtTime_->setText(QString::fromStdString(Text("PartList.c_SMTTime")));
  // The last run's end line in the new language.
  if (tally_.Counts().ended) ShowRunEnd();
  for (int i = 0; i < 15; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "PartList.c_PartList_%02d", i + 1);
    models_[0]->SetTitle(i, QString::fromStdString(Text(key)));
  }
  for (int i = 0; i < 11; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "PartList.c_DisList_%02d", i + 1);
    models_[1]->SetTitle(i, QString::fromStdString(Text(key)));
  }
  for (int i = 0; i < 14; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "PartList.c_DrillList_%02d", i + 1);
    models_[2]->SetTitle(i, QString::fromStdString(Text(key)));
  }
  pcbEdit_->ApplyLanguageTexts();
}

void CDialogPartList::FillChoiceCombos() {
  const std::pair<size_t, QComboBox*> targets[] = {{0, names_}, {1, types_}, {3, angles_}};
  for (const auto& [index, box] : targets) {
    for (const auto& item : smt::job::DropDownChoices(machine_, index)) box->addItem(QString::fromStdString(item));
  }
  if (packageRows)
    for (const auto& r : packageRows()) packages_->addItem(QString::fromStdString(r.substr(0, r.find('\t'))));
}

QComboBox* CDialogPartList::ChoiceCombo(int id) const {
  switch (id) {
    case 1085: return names_;
    case 1020: return types_;
    case 1040: return packages_;
    case 1025: return angles_;
    case 1023: return feeders_;
    default: return nullptr;
  }
}

void CDialogPartList::SetBoardLabels(const QString& board, const QString& count) {
  boardText_ = board;
  countText_ = count;
  board_->setText(board);
  count_->setText(count);
}

QTableView* CDialogPartList::VisibleView() const { return static_cast<QTableView*>(stack_->currentWidget()); }

void CDialogPartList::ShowVisibleList() { stack_->setCurrentWidget(View(static_cast<int>(job_.visible))); }

QTableView* CDialogPartList::View(int i) const {
  if (!views_[i]) const_cast<CDialogPartList*>(this)->BuildView(i);
  return views_[i];
}

void CDialogPartList::BuildView(int i) {
  const char* ids[3] = {"c_1000", "c_1001", "c_1002"};
  const char* even[3] = {"rgb(200, 250, 250)", "rgb(250, 225, 250)", "rgb(200, 225, 200)"};
  const auto kind = static_cast<RowKind>(i);
  // Made in the stack it goes into: moving a styled view there afterwards
  // works its style out again for each of its parts.
  auto* v = new QTableView(stack_);
  v->setObjectName(ids[i]);
  v->setModel(models_[i]);
  smt::platform::KeepColumnsWideEnough(v);
  v->setSelectionBehavior(QAbstractItemView::SelectRows);
  v->setSelectionMode(QAbstractItemView::ExtendedSelection);
  v->setShowGrid(true);
  v->setEditTriggers(QAbstractItemView::NoEditTriggers);
  v->setAlternatingRowColors(true);
  v->setStyleSheet(QString("QTableView { background-color: %1; alternate-background-color: rgb(240, 250, 250); }")
                       .arg(even[i]));
  v->verticalHeader()->hide();
  // Fixed row heights: the view never measures thousands of rows.
  v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  v->verticalHeader()->setDefaultSectionSize(20);
  const auto& widths = smt::job::ColumnWidths(kind);
  for (int c = 0; c < static_cast<int>(widths.size()); ++c) v->setColumnWidth(c, widths[static_cast<size_t>(c)]);
  v->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(v, &QTableView::clicked, this, [this, kind](const QModelIndex& ix) { OnListClick(kind, ix.row(), ix.column()); });
  connect(v, &QTableView::doubleClicked, this, [this, kind](const QModelIndex& ix) { OnListDoubleClick(kind, ix.row()); });
  connect(v, &QTableView::customContextMenuRequested, this, [this, kind, v](const QPoint& p) {
    auto menu = BuildContextMenu(kind);
    menu->exec(v->viewport()->mapToGlobal(p));
  });
  connect(v->horizontalHeader(), &QHeaderView::sectionClicked, this, [this, kind](int c) {
    logic_.sortCode = c;
    logic_.SortList(kind);
  });
  connect(v->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this, kind] { PullSelection(kind); });
  views_[i] = v;
  stack_->addWidget(v);
  // Tab goes through the lists in their order, wherever in the session one
  // was made.
  for (int before = i - 1; before >= 0; --before)
    if (views_[before]) {
      QWidget::setTabOrder(views_[before], v);
      break;
    }
  // A list made late shows the selection the work already holds for it.
  if (i != 0) PushSelection(kind);
}

// --- selection between the views and the logic ---

// Both ways the selection travels as runs of rows, so that a list with
// every row selected costs one range, not one per row.
void CDialogPartList::PullSelection(RowKind k) {
  if (syncing_) return;
  const QItemSelection sel = View(static_cast<int>(k))->selectionModel()->selection();
  std::vector<std::pair<int, int>> ranges;
  ranges.reserve(static_cast<size_t>(sel.size()));
  for (const QItemSelectionRange& r : sel) ranges.emplace_back(r.top(), r.bottom());
  logic_.SetSelectedRanges(k, ranges);
}

void CDialogPartList::PushSelection(RowKind k) {
  // A list not made yet takes the selection when it is made.
  auto* v = views_[static_cast<int>(k)];
  if (!v) return;
  syncing_ = true;
  auto* m = models_[static_cast<int>(k)];
  QItemSelection sel;
  const int cols = m->columnCount();
  const int n = m->rowCount();
  for (const auto& [first, last] : logic_.SelectedRanges(k)) {
    if (first >= n) break;
    sel.append(QItemSelectionRange(m->index(first, 0), m->index(std::min(last, n - 1), cols - 1)));
  }
  v->selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
  syncing_ = false;
}

void CDialogPartList::ShowRow(RowKind k, int row) {
  auto* m = models_[static_cast<int>(k)];
  PushSelection(k);
  const int last = std::min(row + 3, m->rowCount() - 1);
  if (last >= 0) View(static_cast<int>(k))->scrollTo(m->index(last, 0));
}

// --- clicks and the feeder chooser ---

void CDialogPartList::OnListClick(RowKind k, int row, int col) {
  switch (k) {
    case RowKind::Placement: {
      logic_.ClickPlacement(row, col);
      if (row < 0 || row >= static_cast<int>(job_.placementRows.size())) return;
      if (col == smt::job::kSmtFeeder) {
        feeders_->clear();
        for (const auto& e : logic_.feederChooser) feeders_->addItem(QString::fromStdString(e));
        feeders_->setCurrentIndex(logic_.ChooserIndexFor(job_.placementRows[static_cast<size_t>(row)].Cell(col)));
        const QRect cell = View(0)->visualRect(models_[0]->index(row, col));
        feeders_->setGeometry(cell);
        chooserRow_ = row;
        feeders_->show();
        feeders_->raise();
        feeders_->setFocus();
      }
      break;
    }
    case RowKind::Dispense: logic_.ClickDispense(row, col); break;
    case RowKind::Drill: logic_.ClickDrill(row, col); break;
  }
}

void CDialogPartList::OnListDoubleClick(RowKind k, int row) {
  if (row < 0) return;
  logic_.State(k).testRow = row;
  logic_.OnModify(k);
}

void CDialogPartList::OnFeederChooserDone() {
  if (!feeders_->isVisible()) return;
  feeders_->hide();
  if (chooserRow_ >= 0 && feeders_->currentIndex() >= 0)
    logic_.ApplyFeederChoice(chooserRow_, feeders_->currentText().toStdString());
  chooserRow_ = -1;
}

bool CDialogPartList::eventFilter(QObject* o, QEvent* e) {
  if (o == feeders_ && e->type() == QEvent::FocusOut && !feeders_->view()->isVisible()) OnFeederChooserDone();
  return QWidget::eventFilter(o, e);
}

void CDialogPartList::timerEvent(QTimerEvent* e) {
  if (e->timerId() == clockTimer_) run_.OnTimerTick();
  if (rowStateTimer_ != 0 && e->timerId() == rowStateTimer_) FlushRowStates();
  QWidget::timerEvent(e);
}

// --- context menus ---

std::unique_ptr<QMenu> CDialogPartList::BuildContextMenu(RowKind k) {
  auto menu = std::make_unique<QMenu>(this);
  // The menu works on the first selected row (or none).
  logic_.State(k).testRow = logic_.FirstSelected(k);
  const int type = logic_.Type();
  auto add = [&](QMenu* m, int id, const std::string& text, bool enabled = true) {
    QAction* a = m->addAction(QString::fromStdString(text));
    a->setData(id);
    a->setEnabled(enabled);
    connect(a, &QAction::triggered, this, [this, id] { OnMenuCommand(id); });
    return a;
  };
  auto t = [this](const char* key) { return Text(key); };
  const bool copied = logic_.State(k).copied;
  if (k == RowKind::Placement) {
    add(menu.get(), kSmtSelectAll, t("PartList.c_SelectAll"));
    add(menu.get(), kSmtAdd, t("PartList.c_PartAdd"));
    add(menu.get(), kSmtEdit, t("PartList.c_PartEdit"));
    add(menu.get(), kSmtDelete, t("PartList.c_PartDelete"));
    add(menu.get(), kSmtCopy, t("PartList.c_PartCopy"), type != 4);
    add(menu.get(), kSmtPaste, t("PartList.c_PartPaste"), copied);
    add(menu.get(), kSmtCopyPaste, t("PartList.c_CopyPaste"), type != 4);
    menu->addSeparator();
    add(menu.get(), kSuctionTest, t("PartList.c_SuctionTest"), type != 4);
    add(menu.get(), kCameraTest, t("PartList.c_CameraTest"), type != 4);
    menu->addSeparator();
    add(menu.get(), kCurrentSmt, t("PartList.c_CurrentSmt"), job_.runSelect >= 0 && job_.runSelect <= 4);
    add(menu.get(), kSelectSmt, t("PartList.c_SelectSmt"));
    QMenu* pcb = menu->addMenu(QString::fromStdString(t("PartList.c_PCB_Operation")));
    add(pcb, kPcbCw, t("PartList.c_PCB_Clockwise90"));
    add(pcb, kPcbCcw, t("PartList.c_PCB_Counterclockwise90"));
    add(pcb, kPcbMirrorLR, t("PartList.c_PCB_LeftRightMirror"));
    add(pcb, kPcbMirrorUD, t("PartList.c_PCB_UpDownMirror"));
    add(pcb, kPcbCompound, t("PartList.c_PCB_Compound"));
    QMenu* dual = menu->addMenu(QString::fromStdString(t("PartList.c_DoubleGroutXYControl")));
    dual->setEnabled(type == 4);
    const std::pair<int, const char*> tests[] = {
        {kGrout1Y1, "PartList.c_Grout1ToY1PartTest"}, {kGrout1Y2, "PartList.c_Grout1ToY2PartTest"},
        {kGrout2Y1, "PartList.c_Grout2ToY1PartTest"}, {kGrout2Y2, "PartList.c_Grout2ToY2PartTest"},
        {kCamY1, "PartList.c_CameraToY1PartTest"},    {kCamY2, "PartList.c_CameraToY2PartTest"},
        {kNoz1Y1, "PartList.c_Nozzle1ToY1PartTest"},  {kNoz2Y1, "PartList.c_Nozzle2ToY1PartTest"},
        {kNoz3Y1, "PartList.c_Nozzle3ToY1PartTest"},  {kNoz4Y1, "PartList.c_Nozzle4ToY1PartTest"}};
    for (const auto& [id, key] : tests) add(dual, id, t(key));
  } else if (k == RowKind::Dispense) {
    add(menu.get(), kDisSelectAll, t("PartList.c_SelectAll"));
    add(menu.get(), kDisAdd, t("PartList.c_PartAdd"));
    add(menu.get(), kDisEdit, t("PartList.c_PartEdit"));
    add(menu.get(), kDisDelete, t("PartList.c_PartDelete"));
    add(menu.get(), kDisCopy, t("PartList.c_PartCopy"));
    add(menu.get(), kDisPaste, t("PartList.c_PartPaste"), copied);
    add(menu.get(), kDisCopyPaste, t("PartList.c_CopyPaste"));
    add(menu.get(), kDisHeadTest, t("PartList.c_DisHeadTest"));
    add(menu.get(), kDisCameraTest, t("PartList.c_CameraTest"));
    add(menu.get(), kCurrentDis, t("PartList.c_CurrentDis"));
    add(menu.get(), kSelectDis, t("PartList.c_SelectDis"));
  } else {
    const std::pair<int, const char*> items[] = {
        {kDrillSelectAll, "PartList.c_SelectAll"},      {kDrillAdd, "PartList.c_PartAdd"},
        {kDrillEdit, "PartList.c_PartEdit"},            {kDrillDelete, "PartList.c_PartDelete"},
        {kDrillCopy, "PartList.c_PartCopy"},            {kDrillPaste, "PartList.c_PartPaste"},
        {kDrillCopyPaste, "PartList.c_DrillCopyPaste"}, {kDrillTest, "PartList.c_DrillTest"},
        {kDrillCameraTest, "PartList.c_DrillCameraTest"}, {kCurrentDrill, "PartList.c_CurrentDrill"},
        {kSelectDrill, "PartList.c_SelectDrill"}};
    for (const auto& [id, key] : items) add(menu.get(), id, t(key), id != kDrillPaste || copied);
  }
  return menu;
}

void CDialogPartList::OnMenuCommand(int id) {
  using smt::job::PlatformTest;
  using smt::job::StartFrom;
  switch (id) {
    case kSmtSelectAll: logic_.SelectAll(RowKind::Placement); break;
    case kSmtAdd: logic_.OnAdd(RowKind::Placement); break;
    case kSmtEdit: logic_.OnModify(RowKind::Placement); break;
    case kSmtDelete: logic_.OnDelete(RowKind::Placement); break;
    case kSmtCopy: logic_.OnCopy(RowKind::Placement); break;
    case kSmtPaste: logic_.OnPaste(RowKind::Placement); break;
    case kSmtCopyPaste: logic_.OnCopyPaste(RowKind::Placement); break;
    case kSuctionTest: coord_.OnSuctionTest(); break;
    case kCameraTest: coord_.OnCameraTest(); break;
    case kCurrentSmt: run_.OnStartFrom(StartFrom::CurrentSmt); break;
    case kSelectSmt: run_.OnStartFrom(StartFrom::SelectedSmt); break;
    case kPcbCw: OnPcbRotateClockwise(); break;
    case kPcbCcw: OnPcbRotateCounterclockwise(); break;
    case kPcbMirrorLR: OnPcbMirrorLeftRight(); break;
    case kPcbMirrorUD: OnPcbMirrorUpDown(); break;
    case kPcbCompound: OnPcbMergePanels(); break;
    case kGrout1Y1: case kGrout1Y2: case kGrout2Y1: case kGrout2Y2:
      coord_.OnPlatformTest(static_cast<PlatformTest>(530 + (id - kGrout1Y1)));
      break;
    case kCamY1: coord_.OnPlatformTest(PlatformTest::CameraToY1); break;
    case kCamY2: coord_.OnPlatformTest(PlatformTest::CameraToY2); break;
    case kNoz1Y1: coord_.OnPlatformTest(PlatformTest::Nozzle1ToY1); break;
    case kNoz2Y1: coord_.OnPlatformTest(PlatformTest::Nozzle2ToY1); break;
    case kNoz3Y1: coord_.OnPlatformTest(PlatformTest::Nozzle3ToY1); break;
    case kNoz4Y1: coord_.OnPlatformTest(PlatformTest::Nozzle4ToY1); break;
    case kDisSelectAll: logic_.SelectAll(RowKind::Dispense); break;
    case kDisAdd: logic_.OnAdd(RowKind::Dispense); break;
    case kDisEdit: logic_.OnModify(RowKind::Dispense); break;
    case kDisDelete: logic_.OnDelete(RowKind::Dispense); break;
    case kDisCopy: logic_.OnCopy(RowKind::Dispense); break;
    case kDisPaste: logic_.OnPaste(RowKind::Dispense); break;
    case kDisCopyPaste: logic_.OnCopyPaste(RowKind::Dispense); break;
    case kDisHeadTest: coord_.OnDisHeadTest(); break;
    case kDisCameraTest: coord_.OnDisCameraTest(); break;
    case kCurrentDis: run_.OnStartFrom(StartFrom::CurrentDis); break;
    case kSelectDis: run_.OnStartFrom(StartFrom::SelectedDis); break;
    case kDrillSelectAll: break;  // no command behind it
    case kDrillAdd: logic_.OnAdd(RowKind::Drill); break;
    case kDrillEdit: logic_.OnModify(RowKind::Drill); break;
    case kDrillDelete: logic_.OnDelete(RowKind::Drill); break;
    case kDrillCopy: logic_.OnCopy(RowKind::Drill); break;
    case kDrillPaste: logic_.OnPaste(RowKind::Drill); break;
    case kDrillCopyPaste: logic_.OnCopyPaste(RowKind::Drill); break;
    case kDrillTest: coord_.OnDrillTest(); break;
    case kDrillCameraTest: coord_.OnDrillCameraTest(); break;
    case kCurrentDrill: run_.OnStartFrom(StartFrom::CurrentDrill); break;
    case kSelectDrill: run_.OnStartFrom(StartFrom::SelectedDrill); break;
    default: break;
  }
}

// --- toolbar ---

void CDialogPartList::OnCommand(int command) {
  switch (command) {
    case 104: OnPcbEdit(); break;
    case 105: OnStrategy(); break;
    case 106: OnStart(); break;
    case 107: OnPause(); break;
    case 108: OnRegain(); break;
    case 109: OnStop(); break;
    case 110: OnPcbClamp(); break;
    case 111: OnFind(); break;
    case 112: OnCompare(); break;
    case 113: OnUpdate(); break;
    case 114: OnSmtDis(); break;
    default: break;
  }
}

void CDialogPartList::OnPcbEdit() {
  if (pcbEdit_->Fields().m_PcbBoardCount == 0) pcbEdit_->Fields().m_PcbBoardCount = 1;
  // A board imported or edited (closed with OK) is another job: the last
  // run's figures no longer describe it.
  if (pcbEdit_->exec() == QDialog::Accepted && !tally_.Counts().running) ResetRunFeedback();
}
void CDialogPartList::OnStrategy() {
  if (openStrategy) openStrategy();
}
void CDialogPartList::OnStart() { run_.OnStart(); }
void CDialogPartList::OnPause() { run_.OnPause(); }
void CDialogPartList::OnRegain() { run_.OnRegain(); }
void CDialogPartList::OnStop() { run_.OnStop(); }
void CDialogPartList::OnPcbClamp() { run_.OnPcbClamp(); }
void CDialogPartList::OnFind() { find_->exec(); }
void CDialogPartList::OnCompare() { logic_.OnCompare(); }
void CDialogPartList::OnUpdate() { logic_.OnUpdate(); }
namespace {
std::string LanguageName(const smt::Machine& machine) {
  switch (machine.languageSet.load()) {
    case 0: return "Chinese";
    case 1: return "English";
    default: return "German";
  }
}
}  // namespace

void CDialogPartList::OnSmtDis() {
  logic_.SwapSmtDis();
  if (logic_.Type() != 9) return;
  const QString path =
      chooseDrillCsv ? chooseDrillCsv()
                     : QString::fromStdString(smt::platform::ChooseOpenFile(
                           this, {}, {},
                           smt::platform::FileFilterForLanguage("csv文件(*.csv)", language ? language() : LanguageName(machine_))));
  if (path.isEmpty()) return;
  try {
    const auto bytes = smt::platform::ReadWholeFile(path.toStdString());
    logic_.ImportDrillCsv(std::string(bytes.begin(), bytes.end()));
  } catch (const std::exception& e) {
    smt::platform::ShowMessage(e.what());
  }
}

// --- the run's interface ---

void CDialogPartList::SetSmtRowState(int row, int image, bool select) {
  QueueRowState({RowKind::Placement, row, image, select, false});
}
void CDialogPartList::SetDispenseRowState(int row) { QueueRowState({RowKind::Dispense, row, 10, true, false}); }
void CDialogPartList::SetDrillRowState(int row, int image) { QueueRowState({RowKind::Drill, row, image, true, false}); }
void CDialogPartList::ResetSmtRowStates() { QueueRowState({RowKind::Placement, 0, 0, false, true}); }
void CDialogPartList::ResetDispenseRowStates() { QueueRowState({RowKind::Dispense, 0, 0, false, true}); }
void CDialogPartList::ResetDrillRowStates() { QueueRowState({RowKind::Drill, 0, 0, false, true}); }

void CDialogPartList::QueueRowState(const RowStateChange& c) {
  bool post = false;
  {
    std::lock_guard lock(rowStateMutex_);
    rowStates_.push_back(c);
    if (!rowStateFlushPosted_) rowStateFlushPosted_ = post = true;
  }
  if (smt::platform::GuiDispatcher::Get().IsGuiThread()) {
    FlushRowStates();
    return;
  }
  if (post) PostFlush();
}

void CDialogPartList::PostFlush() {
  // One flush per display period, whatever the number of changes.
  smt::platform::PostToGui([guard = QPointer<CDialogPartList>(this)] {
    if (guard && guard->rowStateTimer_ == 0) guard->rowStateTimer_ = guard->startTimer(kRowStateFlushMs);
  });
}

template <class F>
void CDialogPartList::QueueShow(F change) {
  bool post = false;
  {
    std::lock_guard lock(rowStateMutex_);
    change(pendingShow_);
    if (!rowStateFlushPosted_) rowStateFlushPosted_ = post = true;
  }
  if (smt::platform::GuiDispatcher::Get().IsGuiThread()) {
    FlushRowStates();
    return;
  }
  if (post) PostFlush();
}

int CDialogPartList::QueuedRowStates() {
  std::lock_guard lock(rowStateMutex_);
  return static_cast<int>(rowStates_.size());
}

void CDialogPartList::FlushRowStates() {
  std::vector<RowStateChange> changes;
  PendingShow show;
  {
    std::lock_guard lock(rowStateMutex_);
    changes.swap(rowStates_);
    show = std::exchange(pendingShow_, PendingShow{});
    rowStateFlushPosted_ = false;
  }
  if (rowStateTimer_ != 0) {
    killTimer(rowStateTimer_);
    rowStateTimer_ = 0;
  }
  if (show.label) ApplyPanelLabel(show.cell, show.count);
  if (!changes.empty()) ApplyRowStates(changes);
  if (show.progress) ApplyRunProgress(show.pos, show.range);
  if (show.scroll) ApplyScroll(show.scrollRow);
}

void CDialogPartList::ApplyRowStates(const std::vector<RowStateChange>& changes) {
  struct KindChanges {
    std::vector<int> rows;              // rows whose image changed
    std::vector<std::pair<int, bool>> selection;  // rows whose selection changed
    int focused = -1;
  };
  KindChanges per[3];
  for (const RowStateChange& c : changes) {
    KindChanges& k = per[static_cast<int>(c.kind)];
    if (c.kind == RowKind::Placement) {
      if (c.reset) tally_.CellDone();
      else tally_.Row(c.row, c.image);
    }
    if (c.reset) {
      // A reset shows the whole list again; changes before it are shown by it.
      k = {};
      logic_.ResetRowStates(c.kind);
      continue;
    }
    const auto r = logic_.ApplyRunState(c.kind, c.row, c.image, c.select);
    if (!r.valid) continue;
    k.rows.push_back(c.row);
    if (r.selectionChanged) k.selection.emplace_back(c.row, r.selected);
    if (r.focused) k.focused = c.row;
  }
  if (tallyPlacement_ && tally_.Counts().running) ShowTallyProgress();
  for (int i = 0; i < 3; ++i) {
    KindChanges& k = per[i];
    RowListModel* m = models_[i];
    m->RowsChanged(k.rows);
    // The view gets the selection again as runs of rows: rows selected one
    // after another stay one range, so painting and later changes do not
    // slow down as the run goes.
    if (!k.selection.empty()) PushSelection(static_cast<RowKind>(i));
    if (k.focused >= 0) {
      const int row = std::min(k.focused + 3, m->rowCount() - 1);
      if (row >= 0) View(i)->scrollTo(m->index(row, 0));
    }
  }
}

void CDialogPartList::TakeRunRowPlan() {
  auto plan = std::make_shared<RunRowPlan>();
  const auto& rows = job_.placementRows;
  plan->placeable.resize(rows.size());
  plan->feeders.resize(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    plan->placeable[i] = rows[i].Cell(smt::job::kSmtPlace) == "Yes" &&
                         (!logic_.m_bSelectedSmt || logic_.IsSelected(RowKind::Placement, static_cast<int>(i)));
    plan->feeders[i] = rows[i].Cell(smt::job::kSmtFeeder);
  }
  std::lock_guard lock(runPlanMutex_);
  runPlan_ = std::move(plan);
}

int CDialogPartList::NextPlaceRow(int& row, int count, int a, int b) {
  std::shared_ptr<const RunRowPlan> plan;
  {
    std::lock_guard lock(runPlanMutex_);
    plan = runPlan_;
  }
  if (!plan || !logic_.calcFeederPickTarget) {
    // No run of this panel's Start: the list as it is now.
    int r = 0;
    smt::platform::RunOnGui([&] { r = logic_.NextPlaceRow(row, count, a, b); });
    return r;
  }
  for (; row < count && row < static_cast<int>(plan->placeable.size()); ++row)
    if (plan->placeable[static_cast<size_t>(row)])
      return logic_.calcFeederPickTarget(plan->feeders[static_cast<size_t>(row)], a, b);
  return 0;
}
bool CDialogPartList::NextDispenseRow(int& row, int count) {
  bool r = false;
  smt::platform::RunOnGui([&] { r = logic_.NextDispenseRow(row, count); });
  return r;
}
void CDialogPartList::OnRunEnd(bool finished) {
  {
    std::lock_guard lock(runPlanMutex_);
    runPlan_.reset();
  }
  run_.OnRunEnd(finished);
  // After the row states the run queued: they are counted first.
  smt::platform::PostToGui([guard = QPointer<CDialogPartList>(this), finished] {
    if (!guard) return;
    guard->FlushRowStates();
    if (!guard->tally_.Counts().running) return;  // no run of this panel's Start
    // A run asked to place nothing has done all it was asked when it ends
    // without a Stop (the run itself ends such a run early): it finished.
    const smt::job::RunCounts sofar = guard->tally_.Counts();
    const bool nothingAsked = sofar.toPlace == 0 && sofar.Done() == 0;
    guard->tally_.End(finished || (nothingAsked && !guard->run_.StopRequested()));
    guard->ShowRunEnd();
  });
}



void CDialogPartList::SetRunProgress(int pos, int range) {
  QueueShow([pos, range](PendingShow& p) {
    p.progress = true;
    p.pos = pos;
    p.range = range;
  });
}

void CDialogPartList::ApplyRunProgress(int pos, int range) {
  // A placement run's bar follows the rows it has placed or given up,
  // not the run's position in the list.
  if (tallyPlacement_ && tally_.Counts().running) {
    ShowTallyProgress();
    return;
  }
  if (tally_.Counts().ended) return;  // the end's figures stay until the next run
  progressBar_->setRange(0, std::max(range, 0));
  progressBar_->setValue(std::clamp(pos, 0, std::max(range, 0)));
}

void CDialogPartList::ShowTallyProgress() {
  const smt::job::RunCounts c = tally_.Counts();
  progressBar_->setRange(0, std::max(c.toPlace, 1));
  progressBar_->setValue(std::clamp(c.Done(), 0, std::max(c.toPlace, 1)));
}

// The end of the run in the window: the bar shows what was placed (full
// only when everything was), the line beside it the counts in the
// operator's language, marked when the run placed fewer parts than it
// should have.
void CDialogPartList::ShowRunEnd() {
  const smt::job::RunCounts c = tally_.Counts();
  const smt::job::RunEndWords words =
      dialogLanguage_ ? smt::job::RunEndWords::Load(dialogLanguage_->first, dialogLanguage_->second) : smt::job::RunEndWords{};
  std::string text;
  if (tallyPlacement_) {
    text = smt::job::RunEndText(c, words);
    progressBar_->setRange(0, std::max(c.toPlace, 1));
    progressBar_->setValue(c.toPlace == 0 ? (c.finished ? 1 : 0) : std::clamp(c.placed, 0, c.toPlace));
  } else {
    text = smt::job::RunEndHead(c, words);
    if (c.finished) progressBar_->setValue(progressBar_->maximum());
  }
  runEnd_->setText(QString::fromStdString(text));
  const bool complete = tallyPlacement_ ? c.Complete() : c.finished;
  runEnd_->setStyleSheet(complete ? "QLabel { color: rgb(0, 110, 0); }" : "QLabel { color: rgb(190, 0, 0); font-weight: bold; }");
  if (statusText) statusText(text);
}

void CDialogPartList::ResetRunFeedback() {
  tally_.Reset();
  tallyPlacement_ = false;
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  runEnd_->clear();
  runEnd_->setStyleSheet({});
  // The clock and the counter of the last run belong to the job it ran.
  if (!clockTimer_) {
    clock_->clear();
    counter_->clear();
  }
}

void CDialogPartList::ScrollRunRow(int row) {
  QueueShow([row](PendingShow& p) {
    p.scroll = true;
    p.scrollRow = row;
  });
}

void CDialogPartList::ApplyScroll(int row) {
  auto* m = models_[static_cast<int>(RowKind::Placement)];
  const int last = std::min(row, m->rowCount() - 1);
  if (last >= 0) View(static_cast<int>(RowKind::Placement))->scrollTo(m->index(last, 0));
}

void CDialogPartList::EnableListsForRun(bool enabled) {
  smt::platform::PostToGui([this, enabled] { View(0)->setEnabled(enabled); });
}

void CDialogPartList::ShowCoverCount(int count) {
  smt::platform::PostToGui([this, count] { counter_->setText(QString::number(count)); });
}

// The panel cell after the board's name; languages without a text of their
// own take the English one.
std::string CDialogPartList::PanelCellText(const std::string& lang, int row, int col) {
  const char* format = lang == "Chinese" ? "拼板：第 %d 行第 %d 列"
                       : lang == "German" ? "Nutzen：Zeile %d Spalte %d "
                                          : "Array：Row %d Col %d ";
  return Fmt2(format, row + 1, col + 1);
}

void CDialogPartList::UpdatePanelProgressLabel(int row, int col, int count) {
  const std::string lang = language ? language() : LanguageName(machine_);
  const bool zh = lang == "Chinese";
  const std::string cell = PanelCellText(lang, row, col);
  std::string countText;
  if (count != 0) countText = Fmt2(zh ? "完成数： %d" : lang == "German" ? "Fertig： %d" : "Count： %d", count, 0);
  QueueShow([&cell, &countText](PendingShow& p) {
    p.label = true;
    p.cell = cell;
    // A count shown stays until another count comes.
    if (!countText.empty()) p.count = countText;
  });
}

void CDialogPartList::ApplyPanelLabel(const std::string& cell, const std::string& count) {
  boardText_ = QString::fromStdString(job_.pcbs.m_strCurPcbName + cell);
  board_->setText(boardText_);
  if (!count.empty()) {
    countText_ = QString::fromStdString(count);
    count_->setText(countText_);
  }
}

bool CDialogPartList::LoadCurrentBoard(int index) {
  if (index < 0 || index >= job_.pcbs.Count()) return false;
  const smt::job::PcbRecord& rec = job_.pcbs.m_Records[static_cast<size_t>(index)];
  smt::job::LoadCurrentBoardValues(machine_, rec);
  int r = 0, c = 0;
  smt::job::FirstEnabledCell(machine_, r, c);
  const std::string lang = language ? language() : LanguageName(machine_);
  const std::string cell = PanelCellText(lang, r, c);
  const std::string count =
      Text("PartList.c_SMTCount") + Fmt2("%d × %d", smt::job::CountEnabledCells(machine_), rec.PartCount());
  SetBoardLabels(QString::fromStdString(rec.m_strName + cell), QString::fromStdString(count));
  return false;
}

// --- board transforms ---

void CDialogPartList::Transform(BoardTransform t, const char* firstKey, const char* secondKey) {
  MsgAnswer a = smt::platform::ShowMessage(Text("PartList.c_Message_37"), MsgButtons::YesNoCancel, MsgIcon::Question);
  if (a == MsgAnswer::Cancel) return;
  job_.TransformShownBoard(t, a == MsgAnswer::Yes, Text(firstKey), Text(secondKey));
}

void CDialogPartList::OnPcbRotateClockwise() {
  Transform(BoardTransform::RotateClockwise, "PartList.c_Left", "PartList.c_Right");
}
void CDialogPartList::OnPcbRotateCounterclockwise() {
  Transform(BoardTransform::RotateCounterclockwise, "PartList.c_Left", "PartList.c_Right");
}
void CDialogPartList::OnPcbMirrorLeftRight() {
  Transform(BoardTransform::MirrorLeftRight, "PartList.c_Left", "PartList.c_Right");
}
void CDialogPartList::OnPcbMirrorUpDown() {
  Transform(BoardTransform::MirrorUpDown, "PartList.c_Top", "PartList.c_Bottom");
}

void CDialogPartList::OnPcbMergePanels() {
  if (!job_.pcbs.HasTable() || job_.pcbs.FindPcbIndex(job_.shownPcbName) < 0) return;
  MsgAnswer a = smt::platform::ShowMessage(Text("PartList.c_Message_36"), MsgButtons::YesNoCancel, MsgIcon::Question);
  if (a != MsgAnswer::Yes) return;
  job_.MergeShownPanels();
}
