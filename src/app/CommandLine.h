#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The viewer's command line: --help and --version answer on standard output; anything the
// program does not know is a mistake. Qt's own options (-platform, -display, -session, ...) are
// left for QApplication, since desktops and session managers pass them.

struct CommandLineAnswer {
    enum class Action { Run, Help, Version, Error } action = Action::Run;
    QString text; // for Help and Version the whole output, for Error the one-line message
};

// `arguments` without the program's name.
CommandLineAnswer parseCommandLine(const QStringList& arguments);

// Answers on the terminal before any window can open. The exit code when the program should end
// at once (0 after help or version, 2 after a mistake), nothing when it should start.
std::optional<int> answerCommandLine(int argc, char* argv[]);
