#include "ui/LoadingWindow.h"

#include "ui/WindowDefinition.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QTimer>

HiddenTextField::HiddenTextField(const QString& name, QObject* parent) : QObject(parent) {
    setObjectName(name);
}

namespace {

const ui::WindowDefinition& definition() {
    static const ui::WindowDefinition window{
        .title = QString(),
        .outerSize = {380, 250},
        .units = {
            {.name = QStringLiteral("透明标签1"),
             .kind = ui::UnitKind::Label,
             .geometry = {158, 177, 152, 32},
             .text = QStringLiteral("正在获取数据，请稍等...")},
            {.name = QStringLiteral("透明标签2"),
             .kind = ui::UnitKind::Label,
             .geometry = {216, 209, 120, 16}},
        }};
    return window;
}

} // namespace

LoadingWindow::LoadingWindow(std::function<void(LoadingWindow&)> onCreated)
    : QDialog(nullptr, Qt::FramelessWindowHint | Qt::Dialog) {
    setObjectName(QStringLiteral("LoadingWindow"));
    setModal(true);
    setFixedSize(definition().outerSize);

    QPalette background = palette();
    background.setBrush(QPalette::Window, QPixmap(QStringLiteral(":/assets/loading.jpg")));
    background.setColor(QPalette::WindowText, Qt::black);
    setPalette(background);
    setAutoFillBackground(true);

    const ui::Units units = ui::buildUnits(this, definition().units);
    stepText_ = qobject_cast<QLabel*>(units.value(QStringLiteral("透明标签2")));
    entryBox_ = new HiddenTextField(QStringLiteral("编辑框1"), this);
    finishedBox_ = new HiddenTextField(QStringLiteral("编辑框2"), this);

    clock_ = new QTimer(this);
    clock_->setObjectName(QStringLiteral("启动计时时钟"));
    clock_->setTimerType(Qt::PreciseTimer);
    clock_->setInterval(100);

    if (onCreated)
        onCreated(*this);
}

void LoadingWindow::setStepText(const QString& text) {
    stepText_->setText(text);
}

void LoadingWindow::closeFromRun() {
    closingFromRun_ = true;
    clock_->stop();
    accept();
}

void LoadingWindow::reject() {
    // Escape and the like do nothing: the rest of the start-up relies on the run closing it.
    if (closingFromRun_)
        QDialog::reject();
}

void LoadingWindow::closeEvent(QCloseEvent* event) {
    if (closingFromRun_)
        QDialog::closeEvent(event);
    else
        event->ignore();
}

void LoadingWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The clock counts the time the window has been up, from the moment it shows.
    if (!closingFromRun_ && !clock_->isActive())
        clock_->start();
    Q_EMIT shown();
}
