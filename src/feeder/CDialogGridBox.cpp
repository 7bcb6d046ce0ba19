#include "feeder/CDialogGridBox.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>

#include "core/MachineState.h"
#include "feeder/FeederListPanel.h"
#include "feeder/FeederServices.h"
#include "link/WindowPanels.h"
#include "link/LinkRuntime.h"
#include "link/MachineCommands.h"
#include "link/MachineGuards.h"
#include "link/MotionCommands.h"
#include "link/MotionGlobals.h"
#include "platform/DecimalRounding.h"
#include "platform/NumberFieldReader.h"
#include "platform/RangeRefusal.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"
#include "platform/WorkerThreads.h"
#include "settings/PulseMath.h"
#include "settings/SettingsStores.h"
#include "feeder/FeederEditFields.h"

using namespace smt::feeder;
using smt::platform::FormatDouble;
using smt::platform::ShowMessage;
using smt::settings::TruncToSteps;

namespace {
constexpr int kIconRole = Qt::UserRole + 1;
const std::vector<FeederTexts::Entry>& GridEntries() {
  static const std::vector<FeederTexts::Entry> e = {
      {"GridBox.c_GridBox", "托盘操作"}, {"GridBox.c_FeedGroup", "所属料架组"}, {"GridBox.c_Feed", "所属料架"},
      {"GridBox.c_Row", "行数"}, {"GridBox.c_Col", "列数"}, {"GridBox.c_RowSpace", "行间距"},
      {"GridBox.c_ColSpace", "列间距"}, {"GridBox.c_PlaceAllPart", "放置所有元件"},
      {"GridBox.c_PartCount", "元件数量为："}, {"GridBox.c_IDOK", "确  定"},
      {"GridBox.c_Message_01", "请输入有效数据 !"}};
  return e;
}
// Cell images 1 (green) and 2 (red); built on first use, on the window
// thread (the dialog's cells).
QIcon CellIconImage(int icon) {
  static const std::array<QIcon, 3> icons = [] {
    std::array<QIcon, 3> made;
    for (int i = 1; i <= 2; ++i) {
      QPixmap pm(32, 32);
      pm.fill(Qt::transparent);
      QPainter p(&pm);
      p.setBrush(i == 1 ? QColor(40, 160, 40) : QColor(220, 40, 40));
      p.drawEllipse(6, 6, 20, 20);
      made[static_cast<size_t>(i)] = QIcon(pm);
    }
    return made;
  }();
  return icon >= 1 && icon <= 2 ? icons[static_cast<size_t>(icon)] : QIcon();
}
}  // namespace

CDialogGridBox::CDialogGridBox(FeederListPanel* panel, smt::Machine& machine, QWidget* parent)
    : QDialog(parent), panel_(panel), machine_(machine) {
  setObjectName("CDialogGridBox");
  texts_.Defaults(GridEntries());
  auto* outer = new QVBoxLayout(this);
  auto* g = new QGridLayout;
  group_ = new QLineEdit(this);
  group_->setReadOnly(true);
  feeder_ = new QLineEdit(this);
  feeder_->setReadOnly(true);
  rows_ = new QLineEdit(this);
  cols_ = new QLineEdit(this);
  rowSpace_ = new QLineEdit(this);
  colSpace_ = new QLineEdit(this);
  QLineEdit* edits[6] = {group_, feeder_, rows_, cols_, rowSpace_, colSpace_};
  const char* keys[6] = {"GridBox.c_FeedGroup", "GridBox.c_Feed", "GridBox.c_Row", "GridBox.c_Col",
                         "GridBox.c_RowSpace", "GridBox.c_ColSpace"};
  for (int i = 0; i < 6; ++i) {
    auto* l = new QLabel(this);
    l->setObjectName(keys[i]);
    g->addWidget(l, i / 2, (i % 2) * 2);
    g->addWidget(edits[i], i / 2, (i % 2) * 2 + 1);
  }
  auto* cy = new QPushButton("CY", this);
  auto* cx = new QPushButton("CX", this);
  g->addWidget(cy, 2, 4);
  g->addWidget(cx, 2, 5);
  outer->addLayout(g);
  placeAll_ = new QCheckBox(this);
  count_ = new QLabel(this);
  outer->addWidget(placeAll_);
  outer->addWidget(count_);
  grid_ = new QTableWidget(0, 1, this);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->horizontalHeader()->setEnabled(false);
  grid_->verticalHeader()->hide();
  grid_->setIconSize(QSize(32, 32));
  grid_->setStyleSheet("QTableWidget { background-color: rgb(240, 250, 250); }");
  grid_->setContextMenuPolicy(Qt::CustomContextMenu);
  outer->addWidget(grid_);
  auto* ok = new QPushButton(this);
  ok->setObjectName("ok");
  outer->addWidget(ok);
  connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
  connect(rows_, &QLineEdit::textEdited, this, [this] { OnSizeChanged(); });
  connect(cols_, &QLineEdit::textEdited, this, [this] { OnSizeChanged(); });
  connect(placeAll_, &QCheckBox::clicked, this, [this](bool on) { OnPlaceAll(on); });
  connect(cy, &QPushButton::clicked, this, [this] { TakeRowPitch(); });
  connect(cx, &QPushButton::clicked, this, [this] { TakeColPitch(); });
  connect(grid_, &QTableWidget::cellClicked, this, [this](int r, int c) { OnCellClicked(r, c); });
  connect(grid_, &QTableWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    const QModelIndex idx = grid_->indexAt(pos);
    if (!idx.isValid()) return;
    if (QMenu* m = OnCellRightClick(idx.row(), idx.column(), this)) {
      m->exec(grid_->viewport()->mapToGlobal(pos));
      m->deleteLater();
    }
  });
  ApplyTexts();
}

QLineEdit* CDialogGridBox::Edit(const std::string& n) const {
  if (n == "rows") return rows_;
  if (n == "cols") return cols_;
  if (n == "rowSpace") return rowSpace_;
  if (n == "colSpace") return colSpace_;
  if (n == "group") return group_;
  if (n == "feeder") return feeder_;
  return nullptr;
}

void CDialogGridBox::ApplyTexts() {
  setWindowTitle(texts_.Q("GridBox.c_GridBox"));
  for (QLabel* l : findChildren<QLabel*>())
    if (!l->objectName().isEmpty()) l->setText(texts_.Q(l->objectName().toStdString()));
  placeAll_->setText(texts_.Q("GridBox.c_PlaceAllPart"));
  if (auto* ok = findChild<QPushButton*>("ok")) ok->setText(texts_.Q("GridBox.c_IDOK"));
}

bool CDialogGridBox::RowsAndColsFit() {
  // Each box whole: rows and columns 0..10000, the pitches any number; a
  // refusal names the field and its range in the window's language.
  struct Box {
    QLineEdit* edit;
    const char* key;
    double lo, hi;
    bool integer;
  };
  // The ranges the feeder table reads a tray line with.
  const double pitch = kMaxTraySpacingMm;
  const Box boxes[] = {{rows_, "GridBox.c_Row", 0, kMaxTraySideCells, true},
                       {cols_, "GridBox.c_Col", 0, kMaxTraySideCells, true},
                       {rowSpace_, "GridBox.c_RowSpace", -pitch, pitch, false},
                       {colSpace_, "GridBox.c_ColSpace", -pitch, pitch, false}};
  for (const Box& b : boxes) {
    if (smt::platform::OperatorNumberInRange(b.edit->text().toStdString(), b.lo, b.hi, b.integer)) continue;
    smt::platform::RefuseOperatorNumber(b.edit, b.lo, b.hi, texts_.Get(b.key));
    return false;
  }
  return true;
}

// What the boxes hold while the operator types (0 until a box holds a
// number in its range; the confirm refuses such a box by name).
namespace {
double BoxValue(const QLineEdit* box, double lo, double hi, bool integer) {
  return smt::platform::OperatorNumberInRange(box->text().toStdString(), lo, hi, integer).value_or(0);
}
}  // namespace
int CDialogGridBox::Rows() const { return static_cast<int>(BoxValue(rows_, 0, kMaxTraySideCells, true)); }
int CDialogGridBox::Cols() const { return static_cast<int>(BoxValue(cols_, 0, kMaxTraySideCells, true)); }
double CDialogGridBox::RowSpace() const { return BoxValue(rowSpace_, -kMaxTraySpacingMm, kMaxTraySpacingMm, false); }
double CDialogGridBox::ColSpace() const { return BoxValue(colSpace_, -kMaxTraySpacingMm, kMaxTraySpacingMm, false); }

int CDialogGridBox::CellIcon(int row, int col) const {
  const QTableWidgetItem* it = grid_->item(row, col);
  if (!it) return 0;
  const QVariant v = it->data(kIconRole);
  return v.isValid() ? v.toInt() : 0;
}

void CDialogGridBox::SetCellIcon(int row, int col, int icon) {
  QTableWidgetItem* it = grid_->item(row, col);
  if (!it) return;
  it->setData(kIconRole, icon);
  it->setIcon(CellIconImage(icon));
}

void CDialogGridBox::OnInitDialog() {
  building_ = true;
  if (panel_) {
    texts_.Load(panel_->AppDir(), panel_->Language(), "GridBoxConfig", GridEntries());
    group_->setText(QString::fromStdString(panel_->Table().CurrentName()));
    const int sel = panel_->m_nSelectedRow;
    feeder_->setText(sel >= 0 && sel < panel_->RowCount() ? QString::fromStdString(panel_->ListRow(sel).text[0])
                                                          : QString());
  }
  ApplyTexts();
  const TrayGridView v = panel_ ? panel_->Table().ShowTrayGrid() : TrayGridView{};
  rows_->setText(QString::number(v.rows));
  cols_->setText(QString::number(v.cols));
  rowSpace_->setText(QString::fromStdString(FormatDouble(v.rowSpace, 4)));
  colSpace_->setText(QString::fromStdString(FormatDouble(v.colSpace, 4)));
  Rebuild(false);
  for (int r = 0; r < v.rows; ++r)
    for (int c = 0; c < v.cols; ++c) {
      const TrayGridCell& cell = v.cells[static_cast<size_t>(r * v.cols + c)];
      SetCellIcon(r, c + 1, cell.present ? 1 : 0);
    }
  UpdateCount();
  building_ = false;
}

bool CDialogGridBox::Run() {
  OnInitDialog();
  return exec() == QDialog::Accepted;
}

void CDialogGridBox::Rebuild(bool allPresent) {
  const int rows = std::clamp(Rows(), 0, 1000);
  const int cols = std::clamp(Cols(), 0, 1000);
  grid_->clear();
  grid_->setRowCount(rows);
  grid_->setColumnCount(cols + 1);
  QStringList titles{QString()};
  for (int c = 1; c <= cols; ++c) titles << QString::number(c);
  grid_->setHorizontalHeaderLabels(titles);
  grid_->setColumnWidth(0, 60);
  for (int c = 1; c <= cols; ++c) grid_->setColumnWidth(c, 33);
  for (int r = 0; r < rows; ++r) {
    grid_->setItem(r, 0, new QTableWidgetItem(QString::number(r + 1)));
    for (int c = 1; c <= cols; ++c) {
      auto* it = new QTableWidgetItem(QString::number(r * cols + c));
      it->setTextAlignment(Qt::AlignCenter);
      grid_->setItem(r, c, it);
      SetCellIcon(r, c, allPresent ? 1 : 0);
    }
  }
}

void CDialogGridBox::UpdateCount() {
  int n = 0;
  for (int r = 0; r < grid_->rowCount(); ++r)
    for (int c = 1; c < grid_->columnCount(); ++c)
      if (CellIcon(r, c) == 1) ++n;
  count_->setText(texts_.Q("GridBox.c_PartCount") + QString::number(n));
}

void CDialogGridBox::OnSizeChanged() {
  if (building_) return;
  Rebuild(true);
  count_->setText(texts_.Q("GridBox.c_PartCount") + QString::number(std::max(0, Rows()) * std::max(0, Cols())));
}

void CDialogGridBox::OnCellClicked(int row, int col) {
  if (col < 1) return;
  SetCellIcon(row, col, CellIcon(row, col) == 1 ? 0 : 1);
  UpdateCount();
}

void CDialogGridBox::OnPlaceAll(bool on) {
  for (int r = 0; r < grid_->rowCount(); ++r)
    for (int c = 1; c < grid_->columnCount(); ++c) SetCellIcon(r, c, on ? 1 : 0);
  if (on) count_->setText(texts_.Q("GridBox.c_PartCount") + QString::number(grid_->rowCount() * (grid_->columnCount() - 1)));
  else count_->setText(texts_.Q("GridBox.c_PartCount"));
}

void CDialogGridBox::TakeRowPitch() {
  const auto b = *smt::settings::SettingsStores::Of(machine_).machine.Basic();
  const auto p = *smt::settings::SettingsStores::Of(machine_).machine.Pulse();
  if (p.m_Y_Pulse == 0) return;
  double v = 0;
  if (machine_.machineType != 4) {
    v = smt::platform::RoundDecimals(machine_.curY.load() / p.m_Y_Pulse + b.m_Y_CameraToNozzle1 - originY, 4);
  } else {
    const int platform = smt::link::RuntimeOf(machine_).headGroup.load();
    if (platform == 1) v = TeachValue(machine_.curY.load(), p.m_Y_Pulse);
    else if (platform == 2) v = TeachValue(machine_.motion.curPlatform[1].load(), p.m_Y_Pulse);
    else return;
  }
  rowSpace_->setText(QString::fromStdString(FormatDouble(v, 4)));
}

void CDialogGridBox::TakeColPitch() {
  const auto b = *smt::settings::SettingsStores::Of(machine_).machine.Basic();
  const auto p = *smt::settings::SettingsStores::Of(machine_).machine.Pulse();
  if (p.m_X_Pulse == 0) return;
  double v = 0;
  if (machine_.machineType != 4) v = smt::platform::RoundDecimals(machine_.curX.load() / p.m_X_Pulse + b.m_X_CameraToNozzle1 - originX, 4);
  else v = TeachValue(machine_.curX.load(), p.m_X_Pulse);
  colSpace_->setText(QString::fromStdString(FormatDouble(v, 4)));
}

QMenu* CDialogGridBox::OnCellRightClick(int row, int col, QWidget* parent) {
  if (!smt::link::CheckMachineGuards(machine_)) return nullptr;
  if (col < 1) return nullptr;
  SetCellIcon(row, col, 2);
  targetRow = row;
  targetCol = col;
  auto* menu = new QMenu(parent);
  const auto texts = [&](const std::string& key, const char* def) {
    return QString::fromStdString(panel_ ? panel_->Text(key) : std::string(def));
  };
  menu->addAction(texts("FeedList.c_CameraToFeedTest", "相机到料架坐标测试"), this, [this] { StartMoveTest(0); });
  int firstGrey = 9;
  switch (machine_.machineType) {
    case 0: case 1: firstGrey = 2; break;
    case 2: case 5: case 10: firstGrey = 3; break;
    case 3: case 4: case 6: firstGrey = 5; break;
    default: break;
  }
  for (int n = 1; n <= 8; ++n) {
    QAction* a = menu->addAction(texts("FeedList.c_Nozzle" + std::to_string(n) + "ToFeedTest", "吸嘴到料架坐标测试"), this,
                                 [this, n] { StartMoveTest(n); });
    a->setEnabled(n < firstGrey);
  }
  return menu;
}

std::pair<int32_t, int32_t> CDialogGridBox::MoveTarget(smt::Machine& machine, int row, int col, double rowSpace, double colSpace,
                                                       double originX, double originY, int tool) {
  const auto b = *smt::settings::SettingsStores::Of(machine).machine.Basic();
  const auto p = *smt::settings::SettingsStores::Of(machine).machine.Pulse();
  int32_t x = TruncToSteps((col - 1) * colSpace + originX, p.m_X_Pulse);
  int32_t y = TruncToSteps(row * rowSpace + originY, p.m_Y_Pulse);
  if (tool == 0) {
    x -= TruncToSteps(b.m_X_CameraToNozzle1, p.m_X_Pulse);
    y -= TruncToSteps(b.m_Y_CameraToNozzle1, p.m_Y_Pulse);
  } else if (tool >= 2 && tool <= 8) {
    x -= TruncToSteps(b.XNozzleToNozzle1(tool), p.m_X_Pulse);
    y -= TruncToSteps(b.YNozzleToNozzle1(tool), p.m_Y_Pulse);
  }
  return {x, y};
}

void CDialogGridBox::StartMoveTest(int toolIndex) {
  if (!RowsAndColsFit()) return;
  if (!smt::link::CheckMachineGuards(machine_)) return;
  tool = toolIndex;
  if (!machine_.TryClaimBusy()) {
    ShowMessage(smt::link::kRunning);
    return;
  }
  const auto target = MoveTarget(machine_, targetRow, targetCol, RowSpace(), ColSpace(), originX, originY, tool);
  const bool camera = tool == 0;
  const bool started = smt::platform::WorkerThreads::Instance().Start("TrayMoveTest", [&m = machine_, target, camera](std::stop_token) {
    smt::BusyRelease release(m);
    m.motion.targetX = target.first;
    m.motion.targetY = target.second;
    if (camera)
      smt::link::CameraPanelPortOf(m)->OpenMarkCameraWithFeederLight();
    if (smt::link::RuntimeOf(m).UsesSerial()) smt::link::SendCmd60SetState(m, 0, 0);
    const auto sp = smt::settings::SettingsStores::Of(m).speed.Record(smt::settings::SpeedUse::PickPart);
    smt::link::SendCmd64MoveXY(m, target.first - m.curX, sp[0].start, sp[0].normal, target.second - m.curY, sp[1].start,
                               sp[1].normal, 0, 0, 0, 0, 128);
  });
  if (!started) machine_.ReleaseBusy();
}

void CDialogGridBox::OnOK() {
  if (!RowsAndColsFit()) return;
  const int rows = Rows(), cols = Cols();
  if (rows == 0 || cols == 0) {
    ShowMessage(texts_.Get("GridBox.c_Message_01"));
    return;
  }
  std::vector<TrayGridCell> cells;
  for (int r = 0; r < rows; ++r)
    for (int c = 1; c <= cols; ++c) {
      const QTableWidgetItem* it = grid_->item(r, c);
      cells.push_back({it ? it->text().toStdString() : std::string(), CellIcon(r, c) == 1});
    }
  if (panel_) panel_->Table().StoreTrayFromGrid(rows, cols, RowSpace(), ColSpace(), cells);
  accept();
}
