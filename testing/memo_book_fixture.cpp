#include "testing/memo_book_fixture.h"

#include "memo/idle_work.h"
#include "memo/memo_store.h"

namespace tarnwick::testing {

MemoBookTest::MemoBookTest() : folder_(Utf8ToGbk(dir_.path().string())) {
  loop().SetLocalNow(EncodeDate(2011, 5, 17) + 10.0 / 24);
}

MemoBookTest::~MemoBookTest() {
  program_.reset();
  EXPECT_EQ(dialogs().pending(), 0u) << "scripted dialogs that never came";
}

void MemoBookTest::Start() {
  program_.reset();
  engine_ = std::make_unique<DatabaseEngine>(&faults_);
  program_ = std::make_unique<MemoProgram>(platform_, *engine_, folder_);
  program_->Load();
  Settle();
}

void MemoBookTest::StartWithNewStore() {
  dialogs().ExpectMessageBox(Gbk("数据库文件未找到！是否重新创建一个新的数据库？"), MessageResult::kYes);
  Start();
}

void MemoBookTest::Close() {
  windows().RequestClose(native_main());
  Settle();
}

void MemoBookTest::SitIdle() {
  for (int waited = 0; book().idle_work().Busy() && waited < 60000; waited += 10) loop().AdvanceTime(10);
  ASSERT_FALSE(book().idle_work().Busy()) << "the idle work did not end";
  Settle();
}

void MemoBookTest::Restart() {
  Close();
  Start();
}

void MemoBookTest::Seed(const std::vector<std::pair<DateTime, std::string>>& memos) {
  DatabaseEngine engine;
  MemoStore store(engine, folder_);
  if (!store.DatabaseFileExists()) store.CreateMemoDatabase();
  ASSERT_TRUE(store.OpenMemoDatabase());
  for (const auto& [date, text] : memos) {
    ASSERT_TRUE(engine.AppendRecord({FieldValue::DateTime(date), FieldValue::Text(Gbk(text))}));
  }
  store.CloseMemoDatabase();
}

void MemoBookTest::ClickDay(int year, int month, int day) {
  const CnMonthCalendar& calendar = c().日历.calendar();
  int cell = calendar.grid().CellIndexOf(GregorianDate{year, month, day});
  ASSERT_GE(cell, 0) << year << "-" << month << "-" << day << " is not shown";
  Rect rect = calendar.CellRect(cell);
  Click(c().日历, {rect.left + rect.width / 2, rect.top + rect.height / 2});
  Settle();
}

void MemoBookTest::WriteMemo(std::string_view utf8) {
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk(utf8));
  ClickCentre(c().保存按钮);
  Settle();
}

std::vector<std::string> MemoBookTest::MonthListItems() {
  std::vector<std::string> items;
  const ListBox& list = c().本月备忘列表框;
  for (int i = 0; i < list.Count(); ++i) items.push_back(Utf8(list.ItemText(i)));
  return items;
}

std::vector<std::string> MemoBookTest::TakeShownTexts() {
  std::vector<std::string> texts;
  for (const auto& shown : dialogs().shown()) texts.push_back(Utf8(shown.text));
  dialogs().ClearShown();
  return texts;
}

}  // namespace tarnwick::testing
