#include "ui/main_window_layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tarnwick::layout {
namespace {

// The table's own consistency: what the builder relies on.
TEST(MainWindowLayoutTest, NamesAreUniqueAndParentsAreEarlierGroupBoxes) {
  std::set<std::string_view> seen;
  for (const Control& control : Controls()) {
    EXPECT_TRUE(seen.insert(control.name).second) << control.name;
    if (control.parent.empty()) continue;
    const Control* parent = FindControl(control.parent);
    ASSERT_NE(parent, nullptr) << control.name;
    EXPECT_EQ(parent->kind, Kind::kGroupBox) << control.name;
    EXPECT_TRUE(seen.count(control.parent)) << control.name << " comes before its parent";
    // A child lies inside its group box.
    EXPECT_LE(control.rect.left + control.rect.width, parent->rect.width) << control.name;
    EXPECT_LE(control.rect.top + control.rect.height, parent->rect.height) << control.name;
  }
  EXPECT_EQ(seen.size(), 36u);
  EXPECT_EQ(MenuItems().size(), 7u);
}

TEST(MainWindowLayoutTest, EveryBindingNamesSomethingThatExists) {
  std::set<std::string_view> menu;
  for (const MenuItem& item : MenuItems()) menu.insert(item.name);
  std::set<std::string_view> handlers;
  for (const Binding& binding : Bindings()) {
    bool window = binding.control == kMainWindowName || binding.control == kDockStripName;
    bool known = window || FindControl(binding.control) != nullptr ||
                 (binding.event == Event::kChosen && menu.count(binding.control));
    EXPECT_TRUE(known) << binding.control;
    EXPECT_TRUE(handlers.insert(binding.handler).second) << "one entry point per binding: " << binding.handler;
  }
}

}  // namespace
}  // namespace tarnwick::layout
