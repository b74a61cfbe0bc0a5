// A GUI-free drop-down list: the entries and the selection that the window's
// combo boxes mirror. Inserting at an index never sorts.
#pragma once

#include <string>
#include <vector>

struct ComboModel {
  static constexpr int kErr = -1;  // CB_ERR

  std::vector<std::string> items;
  int cur = kErr;  // no selection

  void ResetContent() {
    items.clear();
    cur = kErr;
  }
  // Inserts at index (-1: at the end); kErr for an index past the end.
  int InsertString(int index, const std::string& text) {
    if (index < 0)
      index = static_cast<int>(items.size());
    if (index > static_cast<int>(items.size()))
      return kErr;
    items.insert(items.begin() + index, text);
    if (cur >= index)
      ++cur;
    return index;
  }
  // An index beyond the list leaves it without a selection (and gives kErr).
  int SetCurSel(int index) {
    cur = (index >= 0 && index < GetCount()) ? index : kErr;
    return cur;
  }
  int GetCurSel() const { return cur; }
  int GetCount() const { return static_cast<int>(items.size()); }
  // The entry's text; empty for an index outside the list.
  std::string GetLBText(int index) const {
    return (index >= 0 && index < GetCount()) ? items[index] : std::string();
  }
};
