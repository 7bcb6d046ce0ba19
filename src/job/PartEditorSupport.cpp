#include "job/PartEditorSupport.h"

#include <cmath>

#include <QAbstractButton>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <cstdio>
#include <limits>

#include "core/Machine.h"
#include "core/MachineState.h"
#include "platform/NumberFieldReader.h"
#include "platform/RangeRefusal.h"
#include "platform/MessageService.h"
#include "platform/SettingsSection.h"

namespace smt::job {

PartEditorHooks& PartEditorHooksOf(smt::Machine& machine) { return machine.Part<PartEditorHooks>(); }

std::pair<double, double> EditorOrigin(smt::Machine& machine) {
  const PartEditorHooks& h = PartEditorHooksOf(machine);
  return h.pcbOrigin ? h.pcbOrigin() : std::pair<double, double>{0, 0};
}

int PlatformSelect(smt::Machine& machine) {
  const PartEditorHooks& h = PartEditorHooksOf(machine);
  return h.platformSelect ? h.platformSelect() : 1;
}

namespace {
std::string G(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}
}  // namespace

bool ReadDouble(QLineEdit* box, double lo, double hi, double& out) {
  // A field whose bounds are both 1e8 or wider takes any number.
  const bool any = std::fabs(lo) >= 1e8 && std::fabs(hi) >= 1e8;
  const auto v = smt::platform::ReadOperatorNumber(box, any ? -smt::platform::kAnyNumber : lo,
                                                   any ? smt::platform::kAnyNumber : hi);
  if (!v) return false;
  out = *v;
  return true;
}

bool ReadInt(QLineEdit* box, int lo, int hi, int& out) {
  const auto v = smt::platform::ReadOperatorNumber(box, lo, hi, true);
  if (!v) return false;
  out = static_cast<int>(*v);
  return true;
}

QString NumberText(double v) { return QString::fromStdString(G(v)); }

QWidget* MakeJogPad(QWidget* parent, smt::Machine& machine, bool lampAxes) {
  auto* pad = new QWidget(parent);
  auto* g = new QGridLayout(pad);
  smt::Machine* m = &machine;
  PartEditorHooks* hooks = &PartEditorHooksOf(machine);
  struct B {
    const char* id;
    const char* text;
    int row, col, axis, dir;
  } buttons[] = {{"c_1147", "Y+", 0, 1, 1, 1}, {"c_1138", "X-", 1, 0, 0, 0}, {"c_1255", "Set", 1, 1, -1, 0},
                 {"c_1139", "X+", 1, 2, 0, 1}, {"c_1148", "Y-", 2, 1, 1, 0}};
  for (const auto& b : buttons) {
    auto* p = new QPushButton(QString::fromUtf8(b.text), pad);
    p->setObjectName(b.id);
    g->addWidget(p, b.row, b.col);
    const int axis = b.axis, dir = b.dir;
    QObject::connect(p, &QPushButton::pressed, pad, [axis, dir, lampAxes, hooks, m] {
      if (axis < 0) {
        if (hooks->nextSpeedGear) hooks->nextSpeedGear();
        return;
      }
      int a = axis;
      if (lampAxes && m->machineType == 4 && PlatformSelect(*m) == 2) a = axis == 0 ? 9 : 12;
      if (hooks->jog) hooks->jog(a, dir);
    });
    QObject::connect(p, &QPushButton::released, pad, [hooks] {
      if (hooks->releaseJog) hooks->releaseJog();
    });
  }
  return pad;
}

QLayout* MakeTakeButtons(QWidget* parent, const TakeActions& actions) {
  auto* row = new QHBoxLayout;
  const std::pair<int, const char*> takes[] = {{1238, "X"}, {1239, "Y"}, {1242, "Z"}, {1240, "CX"}, {1241, "CY"}};
  const std::function<void()>* handlers[] = {&actions.x, &actions.y, &actions.z, &actions.cameraX, &actions.cameraY};
  for (size_t i = 0; i < 5; ++i) {
    auto* b = new QPushButton(takes[i].second, parent);
    b->setObjectName(QString("c_%1").arg(takes[i].first));
    row->addWidget(b);
    QObject::connect(b, &QPushButton::clicked, parent, [h = *handlers[i]] {
      if (h) h();
    });
  }
  return row;
}

void LoadEditorTexts(QWidget* dialog, const std::string& appDir, const std::string& language, const char* section,
                     const EditorTextTable& defaults, const std::string& titleKey,
                     std::map<std::string, std::string>& texts, const std::map<std::string, QWidget*>& targets) {
  if (!appDir.empty()) {
    smt::platform::LanguageSection s(appDir, language, section);
    for (const auto& [k, v] : defaults) texts[k] = s.Text(k, v);
  }
  auto text = [&texts](const std::string& key) {
    auto it = texts.find(key);
    return QString::fromStdString(it == texts.end() ? std::string() : it->second);
  };
  dialog->setWindowTitle(text(titleKey));
  for (const auto& [k, w] : targets) {
    if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text(k));
    else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text(k));
  }
}

}  // namespace smt::job
