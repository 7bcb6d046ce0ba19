#include "library/CDialogNozzleList.h"
#include "platform/TableColumns.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/MachineState.h"
#include "library/FieldReader.h"
#include "library/LibraryRows.h"
#include "library/NozzleChange.h"
#include "link/MachineGuards.h"
#include "platform/FileIo.h"
#include "platform/GuiDispatcher.h"
#include "platform/MessageService.h"
#include "platform/OperatorNumber.h"
#include "platform/SettingsSection.h"

using smt::library::NozzleRow;
using smt::platform::FormatInt;
using smt::platform::ShowMessage;

namespace {

// Range of the nozzle change delay (ms).
constexpr long long kDelayMin = 0, kDelayMax = 10000;

QString Q(const std::string& s) { return QString::fromStdString(s); }

struct TextKey {
  const char* key;
  const char* def;
};
const TextKey kTexts[] = {
    {"c_NozzleSelect", "贴装头选择"},
    {"c_NozzleNumber", "吸嘴编号"},
    {"c_Nozzle_X", "吸嘴 X 坐标"},
    {"c_Nozzle_Y", "吸嘴 Y 坐标"},
    {"c_Nozzle_Z", "吸嘴到吸料高度"},
    {"c_Nozzle_X_Exit", "进出口 X 坐标"},
    {"c_Nozzle_Y_Exit", "进出口 Y 坐标"},
    {"c_Nozzle_Z_Exit", "吸嘴进出口Z高度"},
    {"c_VacuumValue", "真空值"},
    {"c_Note", "备  注"},
    {"c_NozzleList", "吸嘴库管理"},
    {"c_NozzleAdd", "添加吸嘴"},
    {"c_NozzleEdit", "修改吸嘴"},
    {"c_NozzleDelete", "删除吸嘴"},
    {"c_NozzleLibrary", "开合吸嘴库"},
    {"c_Delay", "延时"},
    {"c_InAndOutExtern", "出入位置延伸"},
    {"c_CameraToNozzleCoordinate", "相机到吸嘴座坐标位置"},
    {"c_ToNozzleCoordinate", "贴装头到吸嘴座坐标位置"},
    {"c_ToNozzleCoordinateExit", "贴装头到吸嘴座出入口位置"},
    {"c_DownToNozzleCoordinate", "下降到取吸嘴位置"},
    {"c_UpToNozzleCoordinate", "上升到取吸嘴位置"},
    {"c_PickNozzle", "取出吸嘴"},
    {"c_PutNozzle", "放回吸嘴"},
    {"c_Reset", "复位"},
    {"c_IDOK", "确  定"},
    {"c_IDCANCEL", "取  消"},
    {"c_Message_02", "请选择行 !"},
    {"c_Message_03", "吸嘴库最多19个吸嘴 !\r\nThe nozzle library holds at most 19 nozzles!"},
};
const char* kColumnKeys[9] = {"c_NozzleNumber", "c_Nozzle_X", "c_Nozzle_Y", "c_Nozzle_Z", "c_Nozzle_X_Exit",
                              "c_Nozzle_Y_Exit", "c_Nozzle_Z_Exit", "c_VacuumValue", "c_Note"};
const int kColumnWidths[9] = {60, 80, 80, 100, 100, 100, 110, 60, 100};

QIcon SeatIcon(bool full) {
  QPixmap pm(20, 20);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::black);
  p.setBrush(full ? QColor(40, 160, 60) : QColor(255, 255, 255));
  p.drawEllipse(3, 3, 14, 14);
  return QIcon(pm);
}

}  // namespace

std::vector<std::string> NozzleHeadChoices(int machineType) {
  int n = 0;
  switch (machineType) {
    case 0: case 1: n = 1; break;
    case 2: case 5: case 10: n = 2; break;
    case 3: n = 4; break;
    case 7: case 8: n = 8; break;
    default: n = 0; break;
  }
  std::vector<std::string> out;
  for (int k = 1; k <= n; ++k) out.push_back("A" + std::to_string(k));
  return out;
}

CDialogNozzleList::CDialogNozzleList(smt::library::NozzleLibrary& lib, smt::Machine& machine, Environment env, QWidget* parent)
    : QDialog(parent), lib_(lib), machine_(machine), env_(std::move(env)) {
  strategy_ = smt::library::NozzleStrategyOf(machine_);
  runEditor = [](CDialogNozzleEdit& e) { return e.exec() == QDialog::Accepted; };
  LoadLanguage();
  Build();
  // The strategy's kept nozzle: head A1 keeps nozzle 1, or A2 keeps nozzle 2.
  if (strategy_.m_ChangeNozzleSelect == 1) {
    machine_.Part<smt::library::NozzleState>().seats.SetHasNozzle(0, false);
    machine_.Part<smt::library::NozzleState>().headNozzle[0] = 1;
  } else if (strategy_.m_ChangeNozzleSelect == 2) {
    machine_.Part<smt::library::NozzleState>().seats.SetHasNozzle(1, false);
    machine_.Part<smt::library::NozzleState>().headNozzle[1] = 2;
  }
  for (int k = 0; k < 8; ++k) headValues_[k]->setText(Q(FormatInt(machine_.Part<smt::library::NozzleState>().headNozzle[k].load())));
  FillList();
  QPointer<CDialogNozzleList> self(this);
  smt::library::SetNozzleStateListener(machine_, [self](int head, int seat, bool taken) {
    smt::platform::PostToGui([self, head, seat, taken] {
      if (self) self->SetHeadNozzleState(head, seat, taken);
    });
  });
}

CDialogNozzleList::~CDialogNozzleList() { smt::library::SetNozzleStateListener(machine_, {}); }

void CDialogNozzleList::LoadLanguage() {
  const smt::platform::LanguageSection lang(env_.appDir, env_.language, "NozzleListConfig");
  for (const auto& t : kTexts) texts_[t.key] = lang.Text(std::string("NozzleList.") + t.key, t.def);
}

std::string CDialogNozzleList::Text(const std::string& key) const {
  auto it = texts_.find(key);
  return it == texts_.end() ? std::string() : it->second;
}

void CDialogNozzleList::Build() {
  setWindowTitle(Q(Text("c_NozzleList")));
  resize(900, 520);
  auto button = [this](const std::string& key) {
    auto* b = new QPushButton(Q(Text(key)), this);
    b->setAutoDefault(false);
    return b;
  };
  add_ = button("c_NozzleAdd");
  modify_ = button("c_NozzleEdit");
  delete_ = button("c_NozzleDelete");
  connect(add_, &QPushButton::clicked, this, &CDialogNozzleList::OnAdd);
  connect(modify_, &QPushButton::clicked, this, &CDialogNozzleList::OnModify);
  connect(delete_, &QPushButton::clicked, this, &CDialogNozzleList::OnDelete);

  magazine_ = new QCheckBox(Q(Text("c_NozzleLibrary")), this);
  magazine_->setChecked(m_bMagazineOpen);
  connect(magazine_, &QCheckBox::clicked, this, &CDialogNozzleList::OnMagazine);

  auto* headLabel = new QLabel(Q(Text("c_NozzleSelect")), this);
  headCombo_ = new QComboBox(this);
  for (const auto& h : NozzleHeadChoices(machine_.machineType.load())) headCombo_->addItem(Q(h));
  if (lib_.m_nSelectedHead >= 0 && lib_.m_nSelectedHead < headCombo_->count())
    headCombo_->setCurrentIndex(lib_.m_nSelectedHead);
  connect(headCombo_, &QComboBox::currentIndexChanged, this, [this](int i) { lib_.m_nSelectedHead = i; });

  const smt::library::NozzleListSettings s = lib_.Settings();
  auto* delayLabel = new QLabel(Q(Text("c_Delay")), this);
  delay_ = new QLineEdit(Q(FormatInt(s.m_Delay)), this);
  // The delay is taken as it is typed, but only a whole number in its range:
  // anything else leaves the delay in use, and OK refuses the box.
  connect(delay_, &QLineEdit::textChanged, this, [this](const QString& t) {
    const auto v = smt::platform::OperatorNumberInRange(t.toStdString(), kDelayMin, kDelayMax, true);
    if (!v) return;
    auto settings = lib_.Settings();
    settings.m_Delay = static_cast<int>(*v);
    lib_.SetSettings(settings);
  });
  extension_ = new QCheckBox(Q(Text("c_InAndOutExtern")), this);
  extension_->setChecked(s.m_InAndOutExtern != 0);
  distance_ = new QLineEdit(Q(smt::platform::FormatDouble(s.m_Distance)), this);
  distance_->setObjectName("m_Distance");
  for (QLineEdit* e : {distance_, delay_}) {
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance("0000.0000") + 12);
    e->setMaximumWidth(e->minimumWidth() + 20);
  }

  auto* heads = new QGridLayout;
  for (int k = 0; k < 8; ++k) {
    auto* l = new QLabel(Q("A" + std::to_string(k + 1)), this);
    heads->addWidget(l, 0, k);
    l->setAlignment(Qt::AlignCenter);
    headValues_[k] = new QLabel("0", this);
    headValues_[k]->setAlignment(Qt::AlignCenter);
    headValues_[k]->setMinimumWidth(44);
    heads->addWidget(headValues_[k], 1, k);
  }

  // The library kind.
  const bool nineteen = strategy_.m_19NozzleLibrary != 0;
  add_->setEnabled(nineteen);
  delete_->setEnabled(nineteen);
  distance_->setEnabled(!nineteen);
  extension_->setEnabled(!nineteen);
  magazine_->setEnabled(nineteen);

  list_ = new QTableWidget(this);
  smt::platform::KeepColumnsWideEnough(list_);
  list_->setColumnCount(9);
  QStringList titles;
  for (const char* k : kColumnKeys) titles << Q(Text(k));
  list_->setHorizontalHeaderLabels(titles);
  for (int c = 0; c < 9; ++c) list_->setColumnWidth(c, kColumnWidths[c]);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setAlternatingRowColors(true);
  list_->setStyleSheet("QTableWidget { background: rgb(240,250,250); alternate-background-color: rgb(200,250,250); color: black; }");
  list_->setIconSize(QSize(20, 20));
  list_->verticalHeader()->hide();
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list_, &QTableWidget::cellClicked, this, [this](int, int) {
    const auto sel = list_->selectionModel()->selectedRows();
    OnSelectRow(sel.isEmpty() ? -1 : sel.first().row());
  });
  connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int r, int) {
    OnSelectRow(r);
    OnModify();
  });
  connect(list_, &QTableWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    const int r = list_->rowAt(pos.y());
    if (r >= 0) list_->selectRow(r);
    OnSelectRow(r);
    if (SeatMenuAllowed()) ShowSeatMenu(list_->viewport()->mapToGlobal(pos));
  });

  auto* ok = button("c_IDOK");
  auto* cancel = button("c_IDCANCEL");
  connect(ok, &QPushButton::clicked, this, &CDialogNozzleList::accept);
  connect(cancel, &QPushButton::clicked, this, &CDialogNozzleList::reject);

  // Two rows of controls with the heads' values beside them, the list below.
  auto* outer = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* rows = new QVBoxLayout;
  auto* row1 = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{add_, modify_, delete_, magazine_}) row1->addWidget(w);
  row1->addStretch(1);
  auto* row2 = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{headLabel, headCombo_, delayLabel, delay_, extension_, distance_})
    row2->addWidget(w);
  row2->addStretch(1);
  rows->addLayout(row1);
  rows->addLayout(row2);
  top->addLayout(rows, 1);
  top->addLayout(heads);
  auto* okCancel = new QVBoxLayout;
  okCancel->addWidget(ok);
  okCancel->addWidget(cancel);
  top->addLayout(okCancel);
  outer->addLayout(top);
  outer->addWidget(list_, 1);
}

void CDialogNozzleList::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
}

void CDialogNozzleList::DrawRow(int row, bool hasNozzle) {
  const NozzleRow& cells = rows_[static_cast<size_t>(row)].cells;
  for (int c = 0; c < 9; ++c) {
    auto* item = new QTableWidgetItem(Q(cells[c]));
    if (c == 0) {
      item->setIcon(SeatIcon(hasNozzle));
      item->setData(Qt::UserRole, hasNozzle ? 0 : 1);
    }
    list_->setItem(row, c, item);
  }
}

void CDialogNozzleList::FillList() {
  // The library's rows as it read them; the list shows and edits its copy.
  rows_ = lib_.Rows();
  list_->setRowCount(0);
  list_->setRowCount(lib_.Count());
  for (int i = 0; i < lib_.Count(); ++i) DrawRow(i, machine_.Part<smt::library::NozzleState>().seats.HasNozzle(i));
}

std::vector<NozzleRow> CDialogNozzleList::ListRows() const {
  std::vector<NozzleRow> rows;
  for (const auto& r : rows_) rows.push_back(r.cells);
  return rows;
}

void CDialogNozzleList::RebuildTableFromList() { lib_.SetRows(rows_); }

int CDialogNozzleList::RowCount() const { return static_cast<int>(rows_.size()); }

void CDialogNozzleList::OnSelectRow(int row) { m_nSelectedRow = row < RowCount() ? row : -1; }

bool CDialogNozzleList::RunEditor() {
  CDialogNozzleEdit::Environment e;
  e.appDir = env_.appDir;
  e.language = env_.language;
  e.nineteenSeat = strategy_.m_19NozzleLibrary != 0;
  e.selectedHead = lib_.m_nSelectedHead;
  e.jog = env_.jog;
  e.homeZ = env_.homeZ;
  const int self = m_nSelectedRow;
  e.numberTaken = [this, self](int number) {
    for (int r = 0; r < RowCount(); ++r)
      if (r != self && rows_[static_cast<size_t>(r)].number == number) return true;
    return false;
  };
  e.setColumnValue = [this](int column, double value) { SetColumnValue(column, value); };
  CDialogNozzleEdit editor(lib_.editor, machine_, e, this);
  return runEditor(editor);
}

void CDialogNozzleList::OnAdd() {
  if (strategy_.m_19NozzleLibrary == 0) return;
  if (RowCount() >= smt::library::kSeatCount) {
    ShowMessage(Text("c_Message_03"));
    return;
  }
  m_nSelectedRow = -1;
  if (!RunEditor()) return;
  const int row = RowCount();
  rows_.push_back(smt::library::NozzleListRow::Of(lib_.editor));
  list_->setRowCount(row + 1);
  DrawRow(row, machine_.Part<smt::library::NozzleState>().seats.HasNozzle(row));
  RebuildTableFromList();
}

void CDialogNozzleList::OnModify() {
  if (m_nSelectedRow < 0 || m_nSelectedRow >= RowCount()) {
    ShowMessage(Text("c_Message_02"));
    return;
  }
  // A row whose numbers cannot be read is named and not opened; it stays
  // in the list as the file held it.
  auto& entry = rows_[static_cast<size_t>(m_nSelectedRow)];
  if (!entry.record) {
    ShowMessage(entry.problem);
    return;
  }
  lib_.editor = *entry.record;
  if (!RunEditor()) return;
  rows_[static_cast<size_t>(m_nSelectedRow)] = smt::library::NozzleListRow::Of(lib_.editor);
  const auto& entryNow = rows_[static_cast<size_t>(m_nSelectedRow)];
  for (int c = 0; c < 9; ++c) list_->item(m_nSelectedRow, c)->setText(Q(entryNow.cells[c]));
  if (m_nSelectedRow < lib_.Count()) lib_.SetRow(m_nSelectedRow, entryNow);
  lib_.m_bSeatsDirty = true;
}

void CDialogNozzleList::OnDelete() {
  if (strategy_.m_19NozzleLibrary == 0) return;
  if (m_nSelectedRow < 0 || m_nSelectedRow >= RowCount()) {
    ShowMessage(Text("c_Message_02"));
    return;
  }
  rows_.erase(rows_.begin() + m_nSelectedRow);
  list_->removeRow(m_nSelectedRow);
  RebuildTableFromList();
  if (m_nSelectedRow >= RowCount()) m_nSelectedRow = -1;
}

bool CDialogNozzleList::SeatMenuAllowed() {
  if (m_nSelectedRow < 0 || m_nSelectedRow >= RowCount()) {
    ShowMessage(Text("c_Message_02"));
    return false;
  }
  if (strategy_.m_19NozzleLibrary == 0 && m_nSelectedRow > 5) return false;
  return true;
}

void CDialogNozzleList::ShowSeatMenu(const QPoint& globalPos) {
  QMenu menu(this);
  auto item = [&](const char* key, int op) {
    QAction* a = menu.addAction(Q(Text(key)));
    connect(a, &QAction::triggered, this, [this, op] { OnNozzleOp(op); });
    return a;
  };
  item("c_CameraToNozzleCoordinate", 0);
  item("c_ToNozzleCoordinate", 1);
  item("c_ToNozzleCoordinateExit", 2)->setEnabled(strategy_.m_19NozzleLibrary == 0);
  menu.addSeparator();
  item("c_DownToNozzleCoordinate", 3);
  connect(menu.addAction(Q(Text("c_UpToNozzleCoordinate"))), &QAction::triggered, this, &CDialogNozzleList::OnUp);
  item("c_PickNozzle", 4);
  item("c_PutNozzle", 5);
  connect(menu.addAction(Q(Text("c_Reset"))), &QAction::triggered, this, &CDialogNozzleList::OnReset);
  menu.exec(globalPos);
}

void CDialogNozzleList::OnNozzleOp(int op) {
  if (m_nSelectedRow < 0 || m_nSelectedRow >= RowCount()) {
    ShowMessage(Text("c_Message_02"));
    return;
  }
  // The moves to a seat use the row's numbers: a row that did not read is
  // named and moves nothing.
  const auto& entry = rows_[static_cast<size_t>(m_nSelectedRow)];
  if (op >= 0 && op <= 3 && !entry.record) {
    ShowMessage(entry.problem);
    return;
  }
  if (!smt::link::CheckMachineGuards(machine_)) return;
  if ((op == 4 || op == 5) && lib_.m_bSeatsDirty) {
    lib_.m_bSeatsDirty = false;
    lib_.ComputeNozzlePositions(machine_);
  }
  m_nNozzleOp = op;
  smt::library::NozzleOpRequest req;
  req.op = op;
  req.selectedRow = m_nSelectedRow;
  req.selectedHead = lib_.m_nSelectedHead;
  req.row = entry;
  smt::library::NozzleOpCallbacks cb;
  QPointer<CDialogNozzleList> self(this);
  cb.enableDialog = [self](bool on) {
    smt::platform::PostToGui([self, on] {
      if (self) self->setEnabled(on);
    });
  };
  cb.switchToMarkCamera = env_.switchToMarkCamera;
  smt::library::StartNozzleOperation(machine_, req, cb);
}

void CDialogNozzleList::OnUp() {
  if (env_.homeZ) env_.homeZ();
}

void CDialogNozzleList::OnReset() {
  if (env_.homeAll) env_.homeAll();
}

void CDialogNozzleList::OnMagazine(bool open) {
  m_bMagazineOpen = open;
  if (!smt::library::SwitchMagazine(machine_, open)) {
    // The cover did not move: show the switch as it was.
    m_bMagazineOpen = !open;
    if (magazine_) magazine_->setChecked(m_bMagazineOpen);
  }
}

void CDialogNozzleList::SetHeadNozzleState(int head, int seat, bool taken) {
  if (seat >= 0 && seat < RowCount()) {
    // The seat's row holds nozzle seat + 1.
    auto& entry = rows_[static_cast<size_t>(seat)];
    entry.cells[0] = FormatInt(seat + 1);
    entry.number = seat + 1;
    if (entry.record) entry.record->number = seat + 1;
    QTableWidgetItem* it = list_->item(seat, 0);
    if (it) {
      it->setText(Q(entry.cells[0]));
      it->setIcon(SeatIcon(!taken));
      it->setData(Qt::UserRole, taken ? 1 : 0);
    }
  }
  if (head >= 1 && head <= 8) headValues_[head - 1]->setText(taken ? Q(FormatInt(seat + 1)) : QString("0"));
}

void CDialogNozzleList::SetColumnValue(int column, double value) {
  if (column != 3 && column != 6 && column != 7) return;
  for (int r = 0; r < RowCount(); ++r) {
    auto& entry = rows_[static_cast<size_t>(r)];
    entry.SetColumn(column, value, r + 1);
    if (!list_->item(r, column)) list_->setItem(r, column, new QTableWidgetItem);
    list_->item(r, column)->setText(Q(entry.cells[static_cast<size_t>(column)]));
  }
}

bool CDialogNozzleList::TryAccept() {
  // Every box is read before anything is written: a refused box leaves the
  // list file and the settings as they were.
  smt::library::FieldReader reader(env_.appDir, env_.language);
  auto s = lib_.Settings();
  const double distance = distance_->isEnabled() ? reader.Double(distance_, 1.0, 100.0) : s.m_Distance;
  const int delay = reader.Int(delay_, kDelayMin, kDelayMax);
  if (!reader.ok()) return false;
  RebuildTableFromList();
  // Rows not changed go back as the file held them.
  std::vector<std::string> strings = lib_.BuildRowStrings();
  if (env_.frameRows) strings = smt::library::KeepLinesAsRead<smt::library::kNozzleCells>(std::move(strings), *env_.frameRows);
  if (distance_->isEnabled()) s.m_Distance = distance;
  s.m_Delay = delay;
  s.m_InAndOutExtern = extension_->isChecked() ? 1 : 0;
  // The list file and the list's settings are one save.
  try {
    lib_.SaveListAndConfig(env_.appDir, strings, s);
  } catch (const std::exception& e) {
    ShowMessage(e.what(), smt::platform::MsgButtons::Ok, smt::platform::MsgIcon::Error);
    return false;
  }
  if (env_.frameRows) *env_.frameRows = strings;
  lib_.ComputeNozzlePositions(machine_);
  QDialog::accept();
  return true;
}

void CDialogNozzleList::accept() { TryAccept(); }
