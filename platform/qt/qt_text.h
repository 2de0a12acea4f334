// The Qt backend's text boundary: the program's GBK bytes <-> QString.
//
// Conversion goes through the program's own GBK table, never through Qt's
// codecs or the system locale, so a text shows and comes back the same on
// every machine; a character GBK lacks comes back as its GB18030 code.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "base/editor_text.h"
#include "base/text.h"

namespace tarnwick::qt {

inline QString ToQString(std::string_view gbk) {
  std::u16string wide = GbkToUtf16(gbk);
  return QString(reinterpret_cast<const QChar*>(wide.data()), static_cast<qsizetype>(wide.size()));
}

inline std::string FromQString(const QString& text) {
  return Utf16ToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                        static_cast<size_t>(text.size())));
}

inline std::u16string_view Utf16Of(const QString& text) {
  return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size())};
}

// Texts with line breaks, as a Qt document holds them ("\n" each).
inline QString ToQtLines(std::string_view gbk) {
  std::u16string wide = ToEditorText(gbk, u'\n');
  return QString(reinterpret_cast<const QChar*>(wide.data()), static_cast<qsizetype>(wide.size()));
}
inline std::string FromQtLines(const QString& text) { return FromEditorText(Utf16Of(text)); }

}  // namespace tarnwick::qt
