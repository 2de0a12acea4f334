// Font resolution for the Qt backend.
//
// The layout names the Windows faces it was designed with; on Linux they
// resolve to installed CJK faces so Chinese text never shows as boxes:
// 宋体 (and its relatives) to a Song/serif face, the default GUI font to a
// CJK sans face. Sizes are pixel heights, as the layout gives them.
#pragma once

#include <QFont>
#include <QString>

namespace tarnwick::qt {

// Registers the substitutions and sets the application's default font (the
// default GUI font, 12 pixels). Call once after the QApplication exists.
void InstallFonts();

// The installed face the 宋体 family resolves to, and the default GUI face
// (empty when no CJK face is installed; Qt then falls back per character).
QString SongFamily();
QString GuiFamily();

// The family the default GUI font asks for first (the face name the layer
// reports for it); it may be missing, then Qt takes the next candidate.
QString RequestedGuiFamily();

// A font for the program's description: `family` as the layout names it
// (empty = the default GUI font), height in pixels (0 = the default height).
QFont ResolveFont(const QString& family, int pixel_height, bool bold = false, bool italic = false,
                  bool underline = false);

}  // namespace tarnwick::qt
