#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// The menu's dialogs. Each dialog is built afresh from its definition on every opening, runs
// modally without an owner, and is destroyed when it closes; the call returns then. UI thread.
// The menu handlers that open them are the main window's.

// Writes the player's URL (播放器1).
using UrlWriter = std::function<void(const QString&)>;

// The file-open dialog 通用对话框1 of the main window. The chosen file's full path goes to the
// player unchanged; a cancelled dialog leaves the player alone.
void openFileDialog(QWidget* mainWindow, const UrlWriter& setUrl);

// The OpenUrlDialog. 打开 (or Enter in the address field) hands any non-empty text to the player
// unchanged; an empty field is refused with a message and the dialog stays open.
void openUrlDialog(const UrlWriter& setUrl);

// What a dialog did, as an event line for the record the start-up keeps.
using EventReport = std::function<void(const QString&)>;

// The SettingsWindow, showing and storing the update preference of index.ini in the program
// directory; it reports its opening, what it showed and whether it stored.
void openSettingsWindow(
    const QString& programDirectory, const EventReport& report = [](const QString&) {});

// The AboutWindow; Enter presses 确定, the contact link opens a mail to the author.
void openAboutWindow();

// Builds each dialog above without running it and names the bindings of its table that could
// not be made, as "<title>: <unit>"; empty when every table resolves.
QStringList unresolvedDialogBindings();

// The file-open dialog's filter, "name|patterns|name|patterns...", and its Qt name filters.
extern const QString kOpenFileFilter;
QStringList qtNameFilters(const QString& filter);
// What the dialog offers: the three of the filter, then every media type, then every file.
QStringList openFileFilters();
