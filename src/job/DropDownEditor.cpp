#include "job/DropDownEditor.h"

#include <algorithm>

#include "job/DropDownLists.h"
#include "platform/FileIo.h"
#include "platform/ListFile.h"
#include "platform/MessageService.h"
#include "platform/RefusalTexts.h"

namespace smt::job {

using smt::platform::MsgAnswer;
using smt::platform::MsgButtons;
using smt::platform::MsgIcon;
using smt::platform::ShowMessage;

const std::vector<std::pair<std::string, std::string>>& DropDownEditor::TextTable() {
  static const std::vector<std::pair<std::string, std::string>> t = {
      {"DropDownParameter.c_DropDownParameter", "常用下拉列表参数"},
      {"DropDownParameter.c_DataAdd", "添加数据"},
      {"DropDownParameter.c_DataEdit", "修改数据"},
      {"DropDownParameter.c_DataDelete", "删除数据"},
      {"DropDownParameter.c_IDOK", "确定"},
      {"DropDownParameter.c_IDCANCEL", "取消"},
      {"DropDownParameter.c_ImportData", "导入数据"},
      {"DropDownParameter.c_EmptyData", "清空数据"},
      {"DropDownParameter.c_CheckImportData", "导入PCB文件时数据是否添加到此表单中"},
      {"DropDownParameter.c_TabList_01", "元件名称"},
      {"DropDownParameter.c_TabList_02", "元件类型"},
      {"DropDownParameter.c_TabList_03", "元件封装"},
      {"DropDownParameter.c_TabList_04", "元件角度"},
      {"DropDownParameter.c_Message_01", "添加框中没有内容 !"},
      {"DropDownParameter.c_Message_02", "列表中已存在添加项，请重新输入 !"},
      {"DropDownParameter.c_Message_03", "修改框中没有内容 !"},
      {"DropDownParameter.c_Message_04", "没有选中要修改的行 !"},
      {"DropDownParameter.c_Message_05", "元件名称重复，请修改 !"},
      {"DropDownParameter.c_Message_06", "元件类型重复，请修改 !"},
      {"DropDownParameter.c_Message_07", "元件封装重复，请修改 !"},
      {"DropDownParameter.c_Message_08", "元件角度重复，请修改 !"},
      {"DropDownParameter.c_Message_09", "没有选定要删除的项 !"},
      {"DropDownParameter.c_Message_10", "是否确定从元件清单中导入元件名称数据 ?"},
      {"DropDownParameter.c_Message_11", "导入元件名称提示"},
  };
  return t;
}

std::string DropDownEditor::Text(const std::string& key) const {
  if (text) return text(key);
  for (const auto& [k, v] : TextTable())
    if (k == key) return v;
  return {};
}

void DropDownEditor::InsertSorted(std::vector<std::string>& l, const std::string& item) {
  l.insert(std::upper_bound(l.begin(), l.end(), item), item);
}

void DropDownEditor::LoadListsFromArray(const std::vector<std::string>& array) {
  for (auto& l : lists) l.clear();
  for (size_t i = 0; i < 4 && i < array.size(); ++i) {
    lists[i] = DropDownItems(array[i]);
    std::sort(lists[i].begin(), lists[i].end());
  }
  selected = -1;
}

std::vector<std::string> DropDownEditor::SaveListsToArray() const {
  std::vector<std::string> out;
  for (const auto& l : lists) {
    std::string s;
    for (const auto& item : l) s += item + "\t";
    out.push_back(s);
  }
  return out;
}

// An angle must be a number (a word is refused naming the field and its
// range); 360 or more is not taken, without a message.
bool DropDownEditor::AngleAccepted(const std::string& item) const {
  const auto v = DropDownAngle(item);
  if (!v) {
    ShowMessage(smt::platform::RangeRefusalText(Text("DropDownParameter.c_TabList_04"), -kDropDownAngleMax,
                                                kDropDownAngleMax));
    return false;
  }
  return *v < 360;
}

bool DropDownEditor::Add(const std::string& item) {
  auto& l = lists[static_cast<size_t>(tab)];
  if (item.empty()) {
    ShowMessage(Text("DropDownParameter.c_Message_01"));
    return false;
  }
  // A TAB would split the item into two when the list is read back.
  if (item.find('\t') != std::string::npos) return false;
  if (std::find(l.begin(), l.end(), item) != l.end()) {
    ShowMessage(Text("DropDownParameter.c_Message_02"));
    return false;
  }
  if (tab == kAngles && !AngleAccepted(item)) return false;
  l.insert(l.begin(), item);
  if (panelBox) panelBox(tab, "", item);
  return true;
}

bool DropDownEditor::Modify(const std::string& item) {
  auto& l = lists[static_cast<size_t>(tab)];
  if (item.empty()) {
    ShowMessage(Text("DropDownParameter.c_Message_03"));
    return false;
  }
  if (selected < 0 || selected >= static_cast<int>(l.size())) {
    ShowMessage(Text("DropDownParameter.c_Message_04"));
    return false;
  }
  if (item.find('\t') != std::string::npos) return false;
  if (std::find(l.begin(), l.end(), item) != l.end()) {
    static const char* keys[4] = {"DropDownParameter.c_Message_05", "DropDownParameter.c_Message_06",
                                  "DropDownParameter.c_Message_07", "DropDownParameter.c_Message_08"};
    ShowMessage(Text(keys[tab]));
    return false;
  }
  if (tab == kAngles && !AngleAccepted(item)) return false;
  const std::string old = l[static_cast<size_t>(selected)];
  l[static_cast<size_t>(selected)] = item;
  if (panelBox) panelBox(tab, old, item);
  selected = -1;
  return true;
}

bool DropDownEditor::Delete() {
  auto& l = lists[static_cast<size_t>(tab)];
  if (selected < 0 || selected >= static_cast<int>(l.size())) {
    ShowMessage(Text("DropDownParameter.c_Message_09"));
    return false;
  }
  if (panelBox) panelBox(tab, l[static_cast<size_t>(selected)], "");
  l.erase(l.begin() + selected);
  selected = -1;
  return true;
}

bool DropDownEditor::ImportNames(const std::vector<ListRow>& rows) {
  if (rows.empty() || tab != kNames) return false;
  if (ShowMessage(Text("DropDownParameter.c_Message_10"), MsgButtons::OkCancel, MsgIcon::Question,
                  Text("DropDownParameter.c_Message_11")) != MsgAnswer::Ok)
    return false;
  auto& l = lists[kNames];
  for (const auto& r : rows) {
    const std::string& name = r.Cell(kSmtName);
    if (name.empty() || std::find(l.begin(), l.end(), name) != l.end()) continue;
    InsertSorted(l, name);
  }
  return true;
}

bool DropDownEditor::Store(smt::Machine& machine, const std::filesystem::path& appDir) {
  smt::job::SetDropDownLists(machine, SaveListsToArray());
  try {
    smt::platform::ListFileContent c;
    c.rows = smt::job::DropDownLists(machine);
    smt::platform::WriteListFile(appDir / "config_dropdown.fig", c);
  } catch (const std::exception& e) {
    ShowMessage(e.what());
    return false;
  }
  return true;
}

}  // namespace smt::job
