#pragma once

#include <QString>

class QMimeData;

// Files and addresses that come from outside the window (the command line, a file manager's
// "Open with", a drop) as the player takes them. Pure text work, no I/O.

// An address stays as given and a file:// address becomes its path; any other argument is a
// path, taken from `workingDirectory` when relative, since the viewer that plays it may run
// elsewhere.
QString locationFromArgument(const QString& argument, const QString& workingDirectory);

// The first file or address a drop carries: its first URL (a local file as its path), else the
// first line of its text when that is an address or an absolute path. Empty when it carries
// neither.
QString locationFromDrop(const QMimeData& data);
