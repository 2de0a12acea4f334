// The editor's right-button menu as a user lives it: where it opens, which
// items are greyed, and what each item does while viewing and while editing.
#include "protect/editor_menu.h"

#include <gtest/gtest.h>

#include "testing/memo_book_fixture.h"

namespace tarnwick {
namespace {

class EditorMenuTest : public testing::MemoBookTest {
 protected:
  // The user right-clicks the editor and picks caption ("" dismisses).
  void ChooseFromMenu(const std::string& utf8_caption) {
    dialogs().ExpectPopupMenu(Gbk(utf8_caption));
    Click(c().备忘编辑框, {40, 30}, MouseButton::kRight);
    Settle();
  }
  // The greyed state of copy, paste, cut, delete and select all, as last shown.
  std::vector<bool> Greyed() {
    const auto& menu = dialogs().shown().back().menu;
    std::vector<bool> greyed;
    for (const MenuEntry& entry : menu) {
      if (!entry.separator) greyed.push_back(entry.disabled);
    }
    return greyed;
  }
  std::string Clipboard() { return Utf8(platform_.shell().ClipboardText()); }
  RichEdit& editor() { return c().备忘编辑框; }
};

const std::vector<bool> kNoSelection{true, false, true, true, false};
const std::vector<bool> kSelection{false, false, false, false, false};

TEST_F(EditorMenuTest, TheMenuOpensBelowRightOfThePointerWithItsItemsInOrder) {
  Seed({{EncodeDate(2011, 5, 17), "今天"}});
  Start();
  ChooseFromMenu("");
  const auto& shown = dialogs().shown().back();
  EXPECT_EQ(shown.kind, HeadlessDialogs::Kind::kPopupMenu);
  EXPECT_EQ(Utf8(shown.text), "复制|粘贴|剪切|删除|-|全选");
  const Point pointer = loop().CursorPosition();
  EXPECT_EQ(shown.position.x, pointer.x + 3);
  EXPECT_EQ(shown.position.y, pointer.y + 3);
  EXPECT_TRUE(shown.owned);
  EXPECT_EQ(Greyed(), kNoSelection);
}

// The context-menu key and Shift+F10 open the same menu below the caret; the
// key goes no further (F10 alone, or with Ctrl, is no menu key).
TEST_F(EditorMenuTest, TheMenuKeyAndShiftF10OpenTheMenuAtTheCaret) {
  StartWithNewStore();
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("第一行\r第二"));
  const std::size_t shown_before = dialogs().shown().size();
  dialogs().ExpectPopupMenu(Gbk("全选"));
  windows().PressKey(keys::kApps);
  Settle();
  ASSERT_EQ(dialogs().shown().size(), shown_before + 1);
  const auto& shown = dialogs().shown().back();
  EXPECT_EQ(Utf8(shown.text), "复制|粘贴|剪切|删除|-|全选");
  EXPECT_EQ(Greyed(), kNoSelection);
  const Point origin = native_main().ClientOrigin();
  const Point caret = editor().CaretPoint();
  EXPECT_EQ(shown.position, (Point{origin.x + editor().left() + caret.x, origin.y + editor().top() + caret.y}));
  EXPECT_GT(caret.y, HeadlessRichEdit::kLineHeight) << "below the second line";
  EXPECT_EQ(editor().selection_length(), 12) << "select all was chosen";

  dialogs().ExpectPopupMenu(Gbk("复制"));
  windows().PressKey(keys::kF10, kKeyStateShift);
  Settle();
  EXPECT_EQ(Greyed(), kSelection);
  EXPECT_EQ(Clipboard(), "第一行\r\n第二");
  windows().PressKey(keys::kF10);
  windows().PressKey(keys::kF10, kKeyStateCtrl | kKeyStateShift);
  EXPECT_EQ(dialogs().shown().size(), shown_before + 2);
}

TEST_F(EditorMenuTest, SelectAllThenCopyWhileViewingAndTheItemsFollowTheSelection) {
  Seed({{EncodeDate(2011, 5, 17), "今天的备忘"}});
  Start();
  ChooseFromMenu("全选");
  EXPECT_EQ(editor().selection_start(), 0);
  EXPECT_EQ(editor().selection_length(), 10);
  ChooseFromMenu("复制");
  EXPECT_EQ(Greyed(), kSelection);
  EXPECT_EQ(Clipboard(), "今天的备忘");

  // Read-only: paste, cut and delete are offered and change nothing.
  platform_.shell().SetClipboardText(Gbk("别的"));
  for (const char* item : {"粘贴", "剪切", "删除"}) {
    ChooseFromMenu(item);
    EXPECT_EQ(EditorText(), "今天的备忘") << item;
  }
  EXPECT_EQ(Clipboard(), "别的");

  editor().Select(0, 0);
  ChooseFromMenu("");
  EXPECT_EQ(Greyed(), kNoSelection);
}

TEST_F(EditorMenuTest, AnEmptyEditorGreysWhatNeedsASelectionEvenAfterSelectAll) {
  StartWithNewStore();
  ClickCentre(c().编辑按钮);
  ASSERT_EQ(EditorText(), "");
  ChooseFromMenu("全选");
  ChooseFromMenu("");
  EXPECT_EQ(Greyed(), kNoSelection);
}

TEST_F(EditorMenuTest, CutPasteAndDeleteChangeTheMemoWhileEditing) {
  StartWithNewStore();
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("甲乙丙"));
  editor().Select(0, 2);
  ChooseFromMenu("剪切");
  EXPECT_EQ(EditorText(), "乙丙");
  EXPECT_EQ(Clipboard(), "甲");
  editor().Select(2, 2);
  ChooseFromMenu("粘贴");
  EXPECT_EQ(EditorText(), "乙甲") << "the paste replaces the selection";
  editor().Select(0, 2);
  ChooseFromMenu("删除");
  EXPECT_EQ(EditorText(), "甲");
  EXPECT_EQ(Clipboard(), "甲") << "delete leaves the clipboard alone";
  ChooseFromMenu("全选");
  ChooseFromMenu("删除");
  EXPECT_EQ(EditorText(), "");
  ClickCentre(c().保存按钮);
  Settle();
  EXPECT_TRUE(book().store().FindMemoRecord(EncodeDate(2011, 5, 17)));
  EXPECT_EQ(book().store().ReadMemoText(), "");
}

}  // namespace
}  // namespace tarnwick
