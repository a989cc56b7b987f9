#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// The menu's dialogs. Each dialog is built afresh from its definition on every opening, runs
// modally without an owner, and is destroyed when it closes; the call returns then. UI thread.
// The help menu's link handlers are in settings/Links.h.

// Writes the player's URL (播放器1).
using UrlWriter = std::function<void(const QString&)>;

// 打开(&O): the file-open dialog 通用对话框1 of the main window. The chosen file's full path goes
// to the player unchanged; a cancelled dialog leaves the player alone.
void OnOpenFileMenu(QWidget* mainWindow, const UrlWriter& setUrl);

// 打开URL(&U): the OpenUrlDialog. 打开 (or Enter in the address field) hands any non-empty text
// to the player unchanged; an empty field is refused with a message and the dialog stays open.
void OnOpenUrlMenu(const UrlWriter& setUrl);

// 详细设置(&D): the SettingsWindow, showing and storing the update preference.
void OnSettingsMenu();

// 关于(&A): the AboutWindow; Enter presses 确定, the contact link opens a mail to the author.
void OnAboutMenu();

// The file-open dialog's filter, "name|patterns|name|patterns...", and its Qt name filters.
extern const QString kOpenFileFilter;
QStringList qtNameFilters(const QString& filter);
