#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <string_view>

class QLabel;
class QTimer;

// A text field the run uses as scratch storage. It is never shown, so it is a plain byte text
// with the field's operations, found by its unit name like any other unit.
class HiddenTextField : public QObject {
    Q_OBJECT
  public:
    HiddenTextField(const QString& name, QObject* parent);
    void set(const std::string& text) { text_ = text; }
    void append(std::string_view text) { text_.append(text); }
    const std::string& text() const { return text_; }

  private:
    std::string text_;
};

// The borderless splash shown while the catalogue run works. Only the run closes it. Its timer
// 启动计时时钟 ticks every 100 ms from the moment it shows until the run closes it; what a tick
// means belongs to the start-up.
class LoadingWindow : public QDialog {
    Q_OBJECT
  public:
    // `onCreated` runs once the units exist (the window's creation event); it starts the run.
    explicit LoadingWindow(std::function<void(LoadingWindow&)> onCreated = {});

    void setStepText(const QString& text);
    HiddenTextField& entryBox() { return *entryBox_; }
    HiddenTextField& finishedBox() { return *finishedBox_; }
    void closeFromRun();
    QTimer* clock() const { return clock_; }

  Q_SIGNALS:
    void shown();

  protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* stepText_ = nullptr;
    HiddenTextField* entryBox_ = nullptr;
    HiddenTextField* finishedBox_ = nullptr;
    QTimer* clock_ = nullptr;
    bool closingFromRun_ = false;
};
