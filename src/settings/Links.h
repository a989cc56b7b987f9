#pragma once

#include <QUrl>
#include <functional>

// Hand-offs to the desktop: web pages to the browser, mailto: links to the mail program, local
// files to their viewer. Nothing waits for the outside program and no result is looked at.

using DesktopOpener = std::function<void(const QUrl&)>;

// Replaces the hand-off (tests capture it); an empty opener restores QDesktopServices::openUrl.
void setDesktopOpener(DesktopOpener opener);
void openWithDesktop(const QUrl& url);

QUrl helpPageUrl();
QUrl updatePageUrl();
// mailto: with the fixed subject and body, percent-encoded as UTF-8.
QUrl feedbackMailUrl();
// The features text at `path`; the path stays one argument whatever it holds.
QUrl featuresFileUrl(const QString& path);
// The About window's contact link.
QUrl contactMailUrl();
