// Message texts of the engine's error codes.
#include <string>
#include <string_view>

#include "base/text.h"
#include "engine/database.h"
#include "engine/errors.h"

namespace tarnwick {

namespace {

thread_local int last_error_code = 0;
thread_local std::string last_error_text;

std::string_view MessageUtf8(int code) {
  switch (code) {
    case -1: return "未知错误";
    case -2: return "创建数据库失败";
    case -3: return "指定文件未找到";
    case -4: return "无效的路径";
    case -5: return "打开文件过多";
    case -6: return "指定文件不能被访问";
    case -7: return "无效的文件号";
    case -8: return "不能删除现行工作目录";
    case -9: return "创建目录过多";
    case -10: return "文件指针定位失败";
    case -11: return "访问文件时硬件产生故障";
    case -12: return "访问文件时产生共享冲突";
    case -13: return "加锁文件失败";
    case -14: return "磁盘空间不够";
    case -15: return "已经到达文件尾";
    case -16: return "字段数目必须大于 0 ";
    case -17: return "无效的字段类型";
    case -18:
      return "无效的字段名称。名称首字符必须为全半角字母或汉字，其他字符必须为全半角字母、全半角数字或汉字。"
             "名称长度必须小于 16 字符";
    case -19: return "无效的字段尺寸";
    case -20: return "存在重复的字段名称";
    case -21: return "打开指定数据库失败";
    case -22: return "指定文件不是数据库文件";
    case -23: return "指定数据库文件版本太高，无法读入，请升级系统软件";
    case -24: return "无效的别名。别名首字符必须为全半角字母或汉字，其他字符必须为全半角字母、全半角数字或汉字";
    case -25: return "已经越过数据库的首记录";
    case -26: return "已经越过数据库的末记录";
    case -27: return "当前未打开数据库";
    case -28: return "加锁失败";
    case -29: return "解锁失败";
    case -35: return "读入数据库辅助文件失败";
    case -36: return "数据库辅助文件的版本与数据库本身不一致";
    case -37: return "指定文件不是数据库辅助文件或已被损坏";
    case -38: return "指定数据库已经被打开";
    case -45: return "分配内存空间失败";
    case -46: return "读指定字段失败";
    case -47: return "写指定字段失败";
    case -48: return "数据库文件尺寸错误";
    case -50: return "创建数据库辅助文件失败";
    case -59: return "访问数据库的辅助文件失败";
    case -60: return "现行记录不存在";
    case -61: return "指定字段不存在";
    case -62: return "读记录失败";
    case -65: return "取数据库记录数失败";
    case -66: return "未打开指定数据库";
    case -67: return "未设置当前数据库";
    case -78: return "未提供数据库访问密码或提供了错误的密码";
    case -79: return "修改访问密码时更新数据库数据失败";
    case -80: return "无效的密码文本";
    case -81: return "数据库辅助文件与数据库文件不是同一个数据库的";
    default: return {};
  }
}

}  // namespace

std::string ErrorMessage(int code) { return Gbk(MessageUtf8(code)); }

int LastErrorCode() { return last_error_code; }

std::string LastErrorMessage() {
  if (!last_error_text.empty()) return last_error_text;
  return ErrorMessage(last_error_code);
}

void SetLastError(int code) {
  last_error_code = code;
  last_error_text.clear();
}

void SetLastErrorWithText(int code, std::string_view utf8_text) {
  last_error_code = code;
  last_error_text = Gbk(utf8_text);
}

}  // namespace tarnwick
