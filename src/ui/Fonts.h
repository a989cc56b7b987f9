#pragma once

#include <QFont>
#include <functional>

class QObject;

// "宋体" is the face the windows are declared with. Linux desktops rarely carry it, so it is
// mapped to Song faces that draw simplified-Chinese glyph forms: a CJK fallback chosen by the
// user's locale would otherwise draw the catalogue in Japanese or traditional forms.

// Makes every QFont that asks for "宋体" fall back to the Song faces. Call once after the
// QApplication exists; calling it again changes nothing.
void installSongFace();

// A Song face at an exact pixel size, independent of installSongFace().
QFont songFont(int pixelSize, bool bold = false, bool italic = false);

// The windows are declared for desktop text of 9 pt (12 pixels). A user who needs larger text sets
// it on the desktop, whose platform theme makes it the application's font: how many times larger
// than that the application's text is, never less than 1.
double desktopTextScale();
// A declared pixel size, grown with the desktop's text.
int desktopPixelSize(int declared);
// Calls `changed` whenever the application's font changes (the desktop's text size changed),
// for as long as `owner` lives.
void whenDesktopTextChanges(QObject* owner, std::function<void()> changed);
