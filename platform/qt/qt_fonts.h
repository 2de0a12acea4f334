// Font resolution for the Qt backend.
//
// The layout names the Windows faces it was designed with; on Linux they
// resolve to installed CJK faces so Chinese text never shows as boxes:
// 宋体 (and its relatives) to a Song/serif face, the default GUI font to a
// CJK sans face. Sizes are pixel heights, as the layout gives them.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include "platform/types.h"

namespace tarnwick::qt {

// Registers the substitutions and sets the application's default font (the
// default GUI font, 12 pixels). Call once after the QApplication exists.
void InstallFonts();

// Tells the resolution which families are installed, as the font
// configuration lists them (each font's first family name), so that choosing
// the faces need not wait for Qt's own font database. Call before
// InstallFonts, or not at all: Qt's database answers then.
void NoteInstalledFamilies(QStringList families);

// Fills Qt's font database on a thread of its own while the caller goes on
// (building windows needs the faces' names, not the database); a first
// font use on the caller's thread waits for it. The thread ends before the
// application does.
void FillFontDatabaseAside();

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

// The same for a font of the layer's own description.
QFont ToQFont(const Font& font);

}  // namespace tarnwick::qt
