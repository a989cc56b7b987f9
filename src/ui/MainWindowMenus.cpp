// The main window's menu bar: its tree and the handlers of its items.
#include "playback/MediaPlayer.h"
#include "settings/Links.h"
#include "ui/Dialogs.h"
#include "ui/MainWindow.h"

#include <QAction>
#include <QMenuBar>
#include <functional>

void MainWindow::buildMenus() {
    struct Entry {
        const char* caption; // empty: a separator
        QKeySequence shortcut;
    };
    const auto addMenu = [this](const QString& title, std::initializer_list<Entry> entries) {
        QMenu* menu = menuBar()->addMenu(title);
        menu->setObjectName(title);
        for (const Entry& entry : entries) {
            if (!*entry.caption) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(entry.caption));
            action->setObjectName(action->text());
            action->setShortcut(entry.shortcut);
        }
    };
    addMenu(QStringLiteral("文件(&F)"), {{"打开(&O)", QKeySequence(Qt::CTRL | Qt::Key_O)},
                                         {"打开URL(&U)", QKeySequence(Qt::CTRL | Qt::Key_U)},
                                         {"", {}},
                                         {"播放", {}},
                                         {"暂停", {}},
                                         {"停止", {}},
                                         {"", {}},
                                         {"退出", QKeySequence(Qt::CTRL | Qt::Key_Q)}});
    addMenu(QStringLiteral("设置(&S)"), {{"详细设置(&D)", {}}, {"", {}}});
    addMenu(QStringLiteral("帮助(&H)"), {{"软件帮助", QKeySequence(Qt::Key_F1)},
                                         {"", {}},
                                         {"提出意见(C)", {}},
                                         {"", {}},
                                         {"检查更新(&O)", {}},
                                         {"", {}},
                                         {"软件特性", {}},
                                         {"关于(&A)", {}}});

    // 播放, 暂停 and 停止 have no handler; the start-up greys them.
    const std::pair<const char*, void (MainWindow::*)()> bindings[] = {
        {"打开(&O)", &MainWindow::OnOpenFileMenu},
        {"打开URL(&U)", &MainWindow::OnOpenUrlMenu},
        {"退出", &MainWindow::OnExitMenu},
        {"详细设置(&D)", &MainWindow::OnSettingsMenu},
        {"软件帮助", &MainWindow::OnHelpMenu},
        {"提出意见(C)", &MainWindow::OnFeedbackMenu},
        {"检查更新(&O)", &MainWindow::OnCheckUpdateMenu},
        {"软件特性", &MainWindow::OnFeaturesMenu},
        {"关于(&A)", &MainWindow::OnAboutMenu},
    };
    for (const auto& [caption, handler] : bindings)
        connect(menuAction(QString::fromUtf8(caption)), &QAction::triggered, this, handler);
}

void MainWindow::OnOpenFileMenu() {
    openFileDialog(this, [this](const QString& location) { playInPlayer(location); });
}

void MainWindow::OnOpenUrlMenu() {
    openUrlDialog([this](const QString& location) { playInPlayer(location); });
}

// "退出" closes the window and so ends the program, as users expect of it.
void MainWindow::OnExitMenu() {
    close();
}

void MainWindow::OnSettingsMenu() {
    openSettingsWindow(programDirectory_, [this](const QString& event) { Q_EMIT reported(event); });
}

// Each choice of a link item hands its link over once more.
void MainWindow::OnHelpMenu() {
    openWithDesktop(helpPageUrl());
}

void MainWindow::OnFeedbackMenu() {
    openWithDesktop(feedbackMailUrl());
}

void MainWindow::OnCheckUpdateMenu() {
    openWithDesktop(updatePageUrl());
}

void MainWindow::OnFeaturesMenu() {
    openWithDesktop(featuresFileUrl(featuresText_));
}

void MainWindow::OnAboutMenu() {
    openAboutWindow();
}
