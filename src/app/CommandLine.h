#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The viewer's command line: --help and --version answer on standard output; the other
// arguments name files or addresses to play, of which the first plays and the others are left
// with a note (a desktop's "Open with" on several files passes them all). An option the program
// does not know is a mistake. Qt's own options (-platform, -display, -session, ...) are left for
// QApplication, since desktops and session managers pass them; after "--" every argument is a
// file or address.

struct CommandLineAnswer {
    enum class Action { Run, Help, Version, Error } action = Action::Run;
    QString text;          // for Help and Version the whole output, for Error the one-line message
    QStringList locations; // for Run: the files and addresses, as given
};

// `arguments` without the program's name.
CommandLineAnswer parseCommandLine(const QStringList& arguments);

// Answers on the terminal before any window can open. The exit code when the program should end
// at once (0 after help or version, 2 after a mistake), nothing when it should start; then
// `location` is the file or address to play (a relative path taken from the working directory),
// or empty.
std::optional<int> answerCommandLine(int argc, char* argv[], QString& location);
