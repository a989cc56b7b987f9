#pragma once

#include <QFont>

// "宋体" is the face the windows are declared with. Linux desktops rarely carry it, so it is
// mapped to Song faces that draw simplified-Chinese glyph forms: a CJK fallback chosen by the
// user's locale would otherwise draw the catalogue in Japanese or traditional forms.

// Makes every QFont that asks for "宋体" fall back to the Song faces. Call once after the
// QApplication exists; calling it again changes nothing.
void installSongFace();

// A Song face at an exact pixel size, independent of installSongFace().
QFont songFont(int pixelSize, bool bold = false, bool italic = false);
