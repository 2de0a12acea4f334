// The two exports as a user lives them: the save dialog, the file's bytes,
// the status texts and the messages, and what a failing file does.
#include "search/text_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "testing/search_panel_fixture.h"

namespace tarnwick {
namespace {

using Strings = std::vector<std::string>;
using testing::FaultFileSystem;

// 14 heavy horizontal lines, A9 A5 each, and the line end.
const std::string kSeparator =
    "\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5"
    "\r\n";

class TextExportTest : public testing::SearchPanelTest {
 protected:
  std::string Path(const std::string& name) { return Utf8ToGbk(dir_.File(name)); }
  std::string FileBytes(const std::string& name) {
    std::ifstream in(dir_.File(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  bool Exists(const std::string& name) { return std::filesystem::exists(dir_.File(name)); }
  // The user presses the button, types name into the save dialog and reads
  // the message that follows.
  void Export(SuperBtn& button, const std::string& name, std::string_view message) {
    dialogs().ExpectFileDialog(Path(name));
    ExpectMessage(message);
    ClickCentre(button);
    Settle();
  }
  void ExportAll(const std::string& name) { Export(c().导出全库按钮, name, "数据库导出完毕！"); }
  void ExportListed(const std::string& name) { Export(c().导出以上按钮, name, "符合条件记录导出完毕！"); }
};

TEST_F(TextExportTest, ExportAllWritesFourCrLfLinesPerMemoInRecordOrder) {
  Seed({{EncodeDate(2011, 5, 3), "第一行\r\n第二行 abc"}, {EncodeDate(2011, 5, 4), ""}});
  Start();
  OpenSidePanels();
  ExportAll("memos");
  EXPECT_EQ(FileBytes("memos.txt"),
            // 日期：[2011年5月3日]
            "\xC8\xD5\xC6\xDA\xA3\xBA[2011\xC4\xEA" "5\xD4\xC2" "3\xC8\xD5]\r\n"
            // 备忘内容：
            "\xB1\xB8\xCD\xFC\xC4\xDA\xC8\xDD\xA3\xBA\r\n"
            // 第一行, 第二行 abc
            "\xB5\xDA\xD2\xBB\xD0\xD0\r\n\xB5\xDA\xB6\xFE\xD0\xD0 abc\r\n" +
                kSeparator +
                "\xC8\xD5\xC6\xDA\xA3\xBA[2011\xC4\xEA" "5\xD4\xC2" "4\xC8\xD5]\r\n"
                "\xB1\xB8\xCD\xFC\xC4\xDA\xC8\xDD\xA3\xBA\r\n"
                "\r\n" +
                kSeparator);
  const auto& shown = dialogs().shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].file_request.kind, FileDialogKind::kSave);
  EXPECT_EQ(shown[0].file_request.filter, Gbk("文本文件(.txt)|*.txt")) << "a pattern that lists the text files";
  EXPECT_EQ(shown[0].file_request.default_extension, "txt");
  EXPECT_EQ(shown[1].title, Gbk("信息："));
  EXPECT_EQ(shown[1].buttons, MessageButtons::kOk);
  EXPECT_EQ(shown[1].icon, MessageIcon::kNone);
}

TEST_F(TextExportTest, AnOlderLongerFileKeepsNoTailAndANameWithAnExtensionKeepsIt) {
  Seed({{EncodeDate(2011, 5, 3), "new"}});
  {
    std::ofstream old(dir_.File("old.log"), std::ios::binary);
    old << std::string(5000, 'x');
  }
  Start();
  OpenSidePanels();
  ExportAll("old.log");
  EXPECT_EQ(FileBytes("old.log"), Gbk("日期：[2011年5月3日]\r\n备忘内容：\r\nnew\r\n") + kSeparator);
  EXPECT_FALSE(Exists("old.log.txt"));
}

TEST_F(TextExportTest, NothingToExportOpensNoDialog) {
  StartWithNewStore();
  OpenSidePanels();
  ClickCentre(c().导出全库按钮);
  EXPECT_EQ(SideStatus(), "没有记录，无需导出");
  ClickCentre(c().导出以上按钮);
  EXPECT_EQ(SideStatus(), "没有搜索结果，无需导出") << "before any search the list is empty";
  EXPECT_TRUE(dialogs().shown().size() == 1u) << "only the start-up's question";
}

TEST_F(TextExportTest, CancellingTheDialogWritesNothing) {
  Seed({{EncodeDate(2011, 5, 3), "abc"}});
  Start();
  OpenSidePanels();
  SearchFor("abc");
  for (SuperBtn* button : {&c().导出全库按钮, &c().导出以上按钮}) {
    c().搜索面板状态栏标签.SetText("x");
    dialogs().ExpectFileDialog(std::nullopt);
    ClickCentre(*button);
    Settle();
    EXPECT_EQ(SideStatus(), "请输入一个导出文件名！");
  }
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) files += entry.is_regular_file();
  EXPECT_EQ(files, 2u) << "the store's two files only";
}

TEST_F(TextExportTest, ExportListedWritesTheListedDatesInListOrder) {
  Seed({{EncodeDate(2011, 9, 1), "abc nine"},
        {EncodeDate(2011, 5, 3), "other"},
        {EncodeDate(2011, 10, 1), "ABC ten"}});
  Start();
  OpenSidePanels();
  SearchFor("abc");
  ASSERT_EQ(Results(), (Strings{"2011年10月1日", "2011年9月1日"}));
  ExportListed("found");
  EXPECT_EQ(FileBytes("found.txt"), Gbk("日期：[2011年10月1日]\r\n备忘内容：\r\nABC ten\r\n") + kSeparator +
                                        Gbk("日期：[2011年9月1日]\r\n备忘内容：\r\nabc nine\r\n") + kSeparator);
}

TEST_F(TextExportTest, AListOfHintsOnlyCountsAsEmptyAndOpensNoDialog) {
  Seed({{EncodeDate(2011, 5, 3), "first record"}});
  Start();
  OpenSidePanels();
  SearchFor("nowhere");
  ASSERT_EQ(Results(), Strings{"没有符合条件的日期"});
  ClickCentre(c().导出以上按钮);
  EXPECT_EQ(SideStatus(), "没有搜索结果，无需导出");

  ClickCentre(c().编辑按钮);
  SearchFor("first");
  ASSERT_EQ(Results(), Strings{"先保存数据，再搜索吧"});
  c().搜索面板状态栏标签.SetText("x");
  ClickCentre(c().导出以上按钮);
  EXPECT_EQ(SideStatus(), "没有搜索结果，无需导出");
  EXPECT_EQ(dialogs().shown().size(), 0u) << "no save dialog, no message";
}

// Writing over memo.edb or memo.EDT would empty the store, and over a
// backup's file destroy that backup: refused by whatever name they are
// reached, and the message names the file.
TEST_F(TextExportTest, TheStoresOwnFilesAndBackupsAreRefusedByAnyNameAndLeftAsTheyWere) {
  Seed({{EncodeDate(2011, 5, 3), "abc"}});
  namespace fs = std::filesystem;
  const fs::path backup = dir_.path() / "backups" / "20110503-100000-daily-1";
  fs::create_directories(backup);
  fs::copy_file(dir_.path() / "memo.EDT", backup / "memo.EDT");
  fs::create_directory(dir_.path() / "out");
  fs::create_symlink(dir_.path() / "memo.EDT", dir_.path() / "out" / "links.txt");
  fs::create_hard_link(dir_.path() / "memo.edb", dir_.path() / "out" / "hard.txt");
  fs::create_directory_symlink(dir_.path(), dir_.path() / "out" / "data");
  fs::create_directory_symlink(backup, dir_.path() / "out" / "kept");
  Start();
  OpenSidePanels();
  SearchFor("abc");
  const std::string edb = FileBytes("memo.edb"), edt = FileBytes("memo.EDT");
  const std::string kept = FileBytes("backups/20110503-100000-daily-1/memo.EDT");
  for (const char* name : {"memo.edb", "memo.EDT", "MEMO.edt", "sub/../memo.edb", "out/links.txt", "out/hard.txt",
                           "out/data/memo.EDT", "backups/20110503-100000-daily-1/memo.EDT", "out/kept/memo.EDT",
                           "out/kept/new.txt", "backups/new.txt"}) {
    for (SuperBtn* button : {&c().导出全库按钮, &c().导出以上按钮}) {
      dialogs().ExpectFileDialog(Path(name));
      ExpectMessage("此文件属于备忘数据库（memo.edb、memo.EDT）或其备份，不能用作导出文件，请另选一个文件名：\r\n" +
                    dir_.File(name));
      ClickCentre(*button);
      Settle();
      EXPECT_EQ(dialogs().shown().back().title, Gbk("出现错误：")) << name;
    }
  }
  EXPECT_EQ(FileBytes("memo.edb"), edb);
  EXPECT_EQ(FileBytes("memo.EDT"), edt);
  EXPECT_EQ(FileBytes("backups/20110503-100000-daily-1/memo.EDT"), kept);
  EXPECT_FALSE(Exists("out/kept/new.txt"));
  EXPECT_FALSE(Exists("backups/new.txt"));
  ASSERT_TRUE(book().store().FindMemoRecord(EncodeDate(2011, 5, 3)));
  EXPECT_EQ(book().store().ReadMemoText(), "abc");
  ExportAll("memo.edb.txt");
  EXPECT_TRUE(Exists("memo.edb.txt")) << "a name that only starts like the store's is fine";
  ExportAll("out/data/memos.txt");
  EXPECT_TRUE(Exists("memos.txt")) << "a new file in the linked data folder is fine";
}

// A listed date whose memo is no longer there leaves the export incomplete,
// and the user is told so instead of the completion.
TEST_F(TextExportTest, AListedDateThatCannotBeFoundIsReportedAsAnIncompleteExport) {
  Seed({{EncodeDate(2011, 5, 3), "abc"}, {EncodeDate(2011, 5, 4), "abcd"}});
  Start();
  OpenSidePanels();
  SearchFor("abc");
  ASSERT_EQ(Results(), (Strings{"2011年5月3日", "2011年5月4日"}));
  ASSERT_TRUE(book().store().ClearAllMemos());
  const std::string path = Path("listed.txt");
  dialogs().ExpectFileDialog(path);
  dialogs().ExpectMessageBox(Gbk("有备忘未能导出，导出文件内容不完整：\r\n") + path, MessageResult::kOk);
  ClickCentre(c().导出以上按钮);
  Settle();
  EXPECT_EQ(dialogs().shown().back().title, Gbk("出现错误："));
}

// While an export runs, its events are handled between entries: a second
// export is refused and a search waits for the export's end, so each export
// writes and reports its own file.
TEST_F(TextExportTest, NoExportOrSearchRunsInsideAnExport) {
  Seed({{EncodeDate(2011, 5, 1), "a"}, {EncodeDate(2011, 5, 2), "ab"}, {EncodeDate(2011, 5, 3), "abc"}});
  Start();
  OpenSidePanels();
  SearchFor("ab");
  ASSERT_EQ(Results(), (Strings{"2011年5月2日", "2011年5月3日"}));
  std::vector<Strings> results_inside;
  dialogs().SetOnShow([&](const HeadlessDialogs::Shown& shown) {
    if (shown.kind != HeadlessDialogs::Kind::kFileDialog) return;
    loop().Post([&] {
      c().搜索内容编辑框.SetText("abc");
      ClickCentre(c().搜索按钮);
      ClickCentre(c().导出全库按钮);
      ClickCentre(c().导出以上按钮);
      results_inside.push_back(Results());
    });
  });
  ExportListed("listed");
  EXPECT_EQ(Results(), Strings{"2011年5月3日"}) << "the search ran after the export";
  SearchFor("ab");
  ExportAll("all");
  EXPECT_EQ(results_inside, (std::vector<Strings>(2, Strings{"2011年5月2日", "2011年5月3日"})));
  EXPECT_EQ(FileBytes("listed.txt"), Gbk("日期：[2011年5月2日]\r\n备忘内容：\r\nab\r\n") + kSeparator +
                                         Gbk("日期：[2011年5月3日]\r\n备忘内容：\r\nabc\r\n") + kSeparator);
  EXPECT_EQ(FileBytes("all.txt"), Gbk("日期：[2011年5月1日]\r\n备忘内容：\r\na\r\n") + kSeparator + FileBytes("listed.txt"));
}

TEST_F(TextExportTest, AFileThatCannotBeOpenedIsReportedByName) {
  Seed({{EncodeDate(2011, 5, 3), "abc"}});
  Start();
  OpenSidePanels();
  const std::string path = Path("missing folder/out.txt");
  dialogs().ExpectFileDialog(path);
  dialogs().ExpectMessageBox(Gbk("导出文件无法打开：\r\n") + path, MessageResult::kOk);
  ClickCentre(c().导出全库按钮);
  Settle();
  EXPECT_EQ(dialogs().shown().back().title, Gbk("出现错误："));
}

TEST_F(TextExportTest, AWriteThatFailsIsReportedByNameInsteadOfTheCompletion) {
  Seed({{EncodeDate(2011, 5, 3), "abc"}, {EncodeDate(2011, 5, 4), "def"}});
  Start();
  OpenSidePanels();
  SearchFor("abc");
  for (SuperBtn* button : {&c().导出全库按钮, &c().导出以上按钮}) {
    const std::string path = Path("full.txt");
    faults_.FailNth(FaultFileSystem::Operation::kWrite, 1, error::kDiskFull);
    dialogs().ExpectFileDialog(path);
    dialogs().ExpectMessageBox(Gbk("导出文件写入失败，内容不完整：\r\n") + path, MessageResult::kOk);
    ClickCentre(*button);
    Settle();
    EXPECT_TRUE(faults_.fired());
    EXPECT_EQ(dialogs().shown().back().title, Gbk("出现错误："));
  }
}

// The window stays responsive during an export: a day picked meanwhile looks
// its record up, and the export still writes every record once, in order.
TEST_F(TextExportTest, ADayPickedDuringTheExportDoesNotDerailIt) {
  Seed({{EncodeDate(2011, 5, 1), "a"}, {EncodeDate(2011, 5, 2), "b"}, {EncodeDate(2011, 5, 3), "c"}});
  Start();
  OpenSidePanels();
  bool picked = false;
  dialogs().SetOnShow([&](const HeadlessDialogs::Shown& shown) {
    if (shown.kind != HeadlessDialogs::Kind::kFileDialog) return;
    loop().Post([&] {
      ClickDay(2011, 5, 1);
      picked = true;
    });
  });
  ExportAll("all");
  EXPECT_TRUE(picked);
  EXPECT_EQ(EditorText(), "a");
  EXPECT_EQ(FileBytes("all.txt"), Gbk("日期：[2011年5月1日]\r\n备忘内容：\r\na\r\n") + kSeparator +
                                      Gbk("日期：[2011年5月2日]\r\n备忘内容：\r\nb\r\n") + kSeparator +
                                      Gbk("日期：[2011年5月3日]\r\n备忘内容：\r\nc\r\n") + kSeparator);
}

}  // namespace
}  // namespace tarnwick
