// A fixture for the search panel's tests: the side panels opened as a user
// opens them, a search run from the keyword box, and the results list read
// back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "testing/memo_book_fixture.h"

namespace tarnwick::testing {

class SearchPanelTest : public MemoBookTest {
 protected:
  void OpenSidePanels() {
    ClickCentre(*program_->main_window().Find("搜索面板按钮"));
    Settle();
    ASSERT_EQ(main_window().outer_rect().width, 664);
  }
  // Puts the keyword (UTF-8) into the box and presses 搜索按钮.
  void SearchFor(std::string_view utf8) {
    c().搜索内容编辑框.SetText(Gbk(utf8));
    ClickCentre(c().搜索按钮);
    Settle();
  }
  std::vector<std::string> Results() {
    std::vector<std::string> items;
    const ListBox& list = c().搜索结果列表框;
    for (int i = 0; i < list.Count(); ++i) items.push_back(Utf8(list.ItemText(i)));
    return items;
  }
  std::string SideStatus() { return Utf8(c().搜索面板状态栏标签.text()); }
  std::string Caption() { return Utf8(c().标签5.text()); }
};

}  // namespace tarnwick::testing
