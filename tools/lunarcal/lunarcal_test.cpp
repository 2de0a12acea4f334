#include "tools/lunarcal/lunarcal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace tarnwick {
namespace {

struct Result {
  int code;
  std::string out;
  std::string error;
};

Result RunTool(std::vector<std::string> arguments) {
  std::ostringstream out, error;
  const int code = RunLunarcal(arguments, out, error);
  return {code, out.str(), error.str()};
}

TEST(Lunarcal, MonthGridAndFooter) {
  const Result result = RunTool({"2012", "5"});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.error, "");
  EXPECT_EQ(result.out,
            "星期一      星期二      星期三      星期四      星期五      星期六      星期日\n"
            "30 初十     5.1 十一    2 十二      3 十三      4 十四      5 十五      6 十六\n"
            "7 十七      8 十八      9 十九      10 二十     11 廿一     12 廿二     13 廿三\n"
            "14 廿四     15 廿五     16 廿六     17 廿七     18 廿八     19 廿九     20 三十\n"
            "21 闰四月   22 初二     23 初三     24 初四     25 初五     26 初六     27 初七\n"
            "28 初八     29 初九     30 初十     31 十一     6.1 十二    2 十三      3 十四\n"
            "4 十五      5 十六      6 十七      7 十八      8 十九      9 二十      10 廿一\n"
            "十五立夏  三十小满\n");
}

TEST(Lunarcal, DaysAsCsv) {
  const Result result = RunTool({"--days", "2012-05-20", "2012-05-21"});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.out,
            "2012-05-20,2012,4,30,0,四月,三十,小满,壬辰,龙,7\n"
            "2012-05-21,2012,4,1,1,闰四月,初一,,壬辰,龙,1\n");
  EXPECT_EQ(RunTool({"--days", "2011-12-31", "2012-01-01"}).out,
            "2011-12-31,2011,12,7,0,腊月,初七,,辛卯,兔,6\n"
            "2012-01-01,2011,12,8,0,腊月,初八,,辛卯,兔,7\n");
}

TEST(Lunarcal, TermsAsCsv) {
  const Result result = RunTool({"--terms", "2011"});
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.out.substr(0, result.out.find('\n', result.out.find('\n') + 1) + 1),
            "小寒,2011-01-06 00:54:37\n"
            "大寒,2011-01-20 18:18:32\n");
  EXPECT_NE(result.out.find("\n冬至,2011-12-22 13:30:02\n"), std::string::npos);
  EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 24);
}

TEST(Lunarcal, RefusesBadArgumentsAndDatesOutsideTheTables) {
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{}, {"2011"}, {"2011", "13"}, {"2011", "5x"}, {"--days", "2011-02-29", "2011-03-01"},
                                            {"--days", "2011-5-1", "2011-05-02"}, {"--terms", "abc"}, {"--bogus", "1"}}) {
    const Result result = RunTool(arguments);
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.error.find("usage: lunarcal"), std::string::npos);
  }
  EXPECT_EQ(RunTool({"1901", "1"}).code, 1);
  EXPECT_EQ(RunTool({"2049", "1"}).code, 1);
  EXPECT_EQ(RunTool({"1901", "2"}).code, 0);
  EXPECT_EQ(RunTool({"2048", "12"}).code, 0);
  EXPECT_EQ(RunTool({"--terms", "1879"}).code, 1);
  EXPECT_EQ(RunTool({"--terms", "2079"}).code, 0);
  EXPECT_EQ(RunTool({"--days", "1900-12-31", "1901-01-01"}).code, 1);
  const Result backwards = RunTool({"--days", "2011-05-02", "2011-05-01"});
  EXPECT_EQ(backwards.code, 2);
  EXPECT_EQ(backwards.out, "");
}

}  // namespace
}  // namespace tarnwick
