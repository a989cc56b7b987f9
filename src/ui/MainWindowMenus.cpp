// The main window's menu bar: its tree and the handlers of its items.
#include "playback/MediaPlayer.h"
#include "settings/Links.h"
#include "ui/Dialogs.h"
#include "ui/MainWindow.h"
#include "ui/WindowDefinition.h"

#include <QAction>
#include <QMenuBar>

void MainWindow::buildMenus() {
    const auto on = [this](void (MainWindow::*handler)()) {
        return [this, handler] { (this->*handler)(); };
    };
    // 播放, 暂停 and 停止 have no handler; the start-up greys them.
    idleMenuItems_ = ui::addMenus(
        menuBar(),
        {{QStringLiteral("文件(&F)"),
          {{QStringLiteral("打开(&O)"), QKeySequence(Qt::CTRL | Qt::Key_O),
            on(&MainWindow::OnOpenFileMenu)},
           {QStringLiteral("打开URL(&U)"), QKeySequence(Qt::CTRL | Qt::Key_U),
            on(&MainWindow::OnOpenUrlMenu)},
           {},
           {.caption = QStringLiteral("播放"), .keep = &transportActions_[0]},
           {.caption = QStringLiteral("暂停"), .keep = &transportActions_[1]},
           {.caption = QStringLiteral("停止"), .keep = &transportActions_[2]},
           {},
           {QStringLiteral("退出"), QKeySequence(Qt::CTRL | Qt::Key_Q),
            on(&MainWindow::OnExitMenu)}}},
         {QStringLiteral("设置(&S)"),
          {{QStringLiteral("详细设置(&D)"), {}, on(&MainWindow::OnSettingsMenu)}, {}}},
         {QStringLiteral("帮助(&H)"),
          {{QStringLiteral("软件帮助"), QKeySequence(Qt::Key_F1), on(&MainWindow::OnHelpMenu)},
           {},
           {QStringLiteral("提出意见(C)"), {}, on(&MainWindow::OnFeedbackMenu)},
           {},
           {QStringLiteral("检查更新(&O)"), {}, on(&MainWindow::OnCheckUpdateMenu)},
           {},
           {QStringLiteral("软件特性"), {}, on(&MainWindow::OnFeaturesMenu)},
           {QStringLiteral("关于(&A)"), {}, on(&MainWindow::OnAboutMenu)}}}},
        this);
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
