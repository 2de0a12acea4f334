#include "platform/qt/qt_fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStringList>
#include <optional>
#include <thread>

#include "platform/qt/qt_text.h"

namespace tarnwick::qt {
namespace {

constexpr int kDefaultPixelHeight = 12;

// Preferred first; the set-up installs the first of each list.
const QStringList& SongCandidates() {
  // UMing CN first: a simplified-Chinese Song face that carries hand-made
  // bitmaps at 11 to 16 pixels, the sizes the layout uses, where SungtiL
  // GB's outlines shrink Latin capitals to a blurred 5 x 7 pixels.
  static const QStringList faces = {"AR PL UMing CN",      "AR PL SungtiL GB",   "AR PL UMing TW",
                                    "Noto Serif CJK SC",   "Source Han Serif SC", "Noto Serif CJK",
                                    "WenQuanYi Micro Hei", "Noto Sans CJK SC",   "WenQuanYi Zen Hei"};
  return faces;
}

// Song faces drawn from their own bitmaps at these pixel heights, crisp and
// without smoothing, as Windows draws 宋体 at its small sizes.
constexpr int kSmallestBitmapHeight = 11;
constexpr int kLargestBitmapHeight = 16;
bool HasBitmapStrikes(const QString& face) { return face.startsWith("AR PL UMing", Qt::CaseInsensitive); }

const QStringList& GuiCandidates() {
  static const QStringList faces = {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Source Han Sans SC",
                                    "WenQuanYi Zen Hei",   "Droid Sans Fallback", "AR PL UMing CN"};
  return faces;
}

// The families the font configuration listed, when the start-up read them.
std::optional<QStringList>& NotedFamilies() {
  static std::optional<QStringList> families;
  return families;
}

QString FirstInstalled(const QStringList& candidates) {
  const QStringList installed = NotedFamilies() ? *NotedFamilies() : QFontDatabase::families();
  for (const QString& face : candidates) {
    if (installed.contains(face, Qt::CaseInsensitive)) return face;
  }
  return {};
}

bool IsSongName(const QString& family) {
  static const QStringList names = {QStringLiteral(u"宋体"), QStringLiteral(u"新宋体"), "SimSun", "NSimSun",
                                    "MS Song", "Song"};
  return names.contains(family, Qt::CaseInsensitive);
}

bool IsGuiName(const QString& family) {
  static const QStringList names = {"", "MS Shell Dlg", "MS Shell Dlg 2", "MS Sans Serif", "System",
                                    "Tahoma", QStringLiteral(u"微软雅黑"), "Microsoft YaHei"};
  return names.contains(family, Qt::CaseInsensitive);
}

}  // namespace

void NoteInstalledFamilies(QStringList families) { NotedFamilies() = std::move(families); }

void FillFontDatabaseAside() {
  // Never destroyed: a static thread still joinable at exit would end the
  // process. Joined first thing when the application goes, before Qt takes
  // its platform (and the font database with it) down.
  static std::thread* filler = nullptr;
  if (filler != nullptr) return;
  filler = new std::thread([] { QFontDatabase::families(); });
  qAddPostRoutine([] {
    filler->join();
    delete filler;
    filler = nullptr;
  });
}

QString SongFamily() {
  static const QString face = FirstInstalled(SongCandidates());
  return face;
}

QString GuiFamily() {
  static const QString face = FirstInstalled(GuiCandidates());
  return face;
}

void InstallFonts() {
  for (const char16_t* name : {u"宋体", u"新宋体", u"SimSun", u"NSimSun"}) {
    QFont::insertSubstitutions(QString::fromUtf16(name), SongCandidates());
  }
  QApplication::setFont(ResolveFont(QString(), 0));
}

QString RequestedGuiFamily() { return GuiCandidates().first(); }

QFont ResolveFont(const QString& family, int pixel_height, bool bold, bool italic, bool underline) {
  // The installed face alone, not the list of candidates: with a list Qt
  // works out the fallback faces of every font as it first loads it (a
  // sort of all installed fonts, per font and script, a tenth of the
  // start-up); with one family it does so only when a character is missing
  // from the face, and picks the same fallbacks then. The list stays for a
  // machine without any of the faces, where Qt takes what it finds.
  QFont font;
  if (IsSongName(family)) {
    if (SongFamily().isEmpty()) font.setFamilies(SongCandidates() + GuiCandidates());
    else font.setFamily(SongFamily());
    font.setStyleHint(QFont::Serif);
    int height = pixel_height > 0 ? pixel_height : kDefaultPixelHeight;
    if (HasBitmapStrikes(SongFamily()) && height >= kSmallestBitmapHeight && height <= kLargestBitmapHeight) {
      font.setStyleStrategy(QFont::NoAntialias);
    }
  } else if (IsGuiName(family) || GuiCandidates().contains(family, Qt::CaseInsensitive)) {
    if (GuiFamily().isEmpty()) font.setFamilies(GuiCandidates());
    else font.setFamily(GuiFamily());
    font.setStyleHint(QFont::SansSerif);
  } else {
    font.setFamilies(QStringList{family} + GuiCandidates());
  }
  font.setPixelSize(pixel_height > 0 ? pixel_height : kDefaultPixelHeight);
  font.setBold(bold);
  font.setItalic(italic);
  font.setUnderline(underline);
  // The designed sizes are small bitmap-era sizes: hinting keeps them crisp.
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

QFont ToQFont(const Font& font) {
  return ResolveFont(ToQString(font.face), font.height, font.weight == FontWeight::kBold, font.italic, font.underline);
}

}  // namespace tarnwick::qt
