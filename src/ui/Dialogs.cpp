#include "ui/Dialogs.h"

#include "settings/Links.h"
#include "settings/UpdateSetting.h"
#include "ui/FitText.h"
#include "ui/Fonts.h"
#include "ui/WindowDefinition.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <cmath>
#include <limits>
#include <memory>

using ui::UnitKind;

const QString kOpenFileFilter =
    QStringLiteral("可打开的所有文件|*.mp3;*.wav;*.aiff;*.au;*.avi;*.mpeg;*.wma|"
                   "音频文件|*.mp3;*.wav;*.aiff;*.au|视频文件|*.avi;*.mpeg;*.wma");

QStringList openFileFilters() {
    // After the declared three, the first of which is selected: whatever else libVLC plays, then
    // anything at all.
    return qtNameFilters(kOpenFileFilter)
           << QStringLiteral("所有媒体文件 (*.mp3 *.wav *.aiff *.au *.avi *.mpeg *.wma *.wmv *.asf "
                             "*.mp4 *.m4v *.mkv *.mka *.ts *.m2ts *.mts *.flv *.webm *.ogg *.ogv "
                             "*.oga *.opus *.m4a *.aac *.ac3 *.flac *.mp2 *.mpg *.mov *.3gp *.vob "
                             "*.rm *.rmvb *.amr *.ape *.wv *.divx)")
           << QStringLiteral("所有文件 (*)");
}

QStringList qtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

namespace {

ui::WindowDefinition openUrlDefinition() {
    return {QStringLiteral("打开 URL"),
            {388, 152},
            false,
            {
                {.name = QStringLiteral("标签1"),
                 .kind = UnitKind::Label,
                 .geometry = {8, 8, 360, 24},
                 .text = QStringLiteral("请输入要播放的网络媒体的URL路径")},
                {.name = QStringLiteral("标签2"),
                 .kind = UnitKind::Label,
                 .geometry = {8, 24, 288, 24},
                 .text = QStringLiteral("注意：仅支持Windows Media Player 可打开的文件")},
                {.name = QStringLiteral("标签3"),
                 .kind = UnitKind::Label,
                 .geometry = {16, 56, 56, 24},
                 .text = QStringLiteral("URL地址：")},
                {.name = QStringLiteral("组合框1"),
                 .kind = UnitKind::EditableComboBox,
                 .geometry = {72, 56, 288, 20}},
                {.name = QStringLiteral("按钮2"),
                 .kind = UnitKind::Button,
                 .geometry = {224, 88, 56, 24},
                 .text = QStringLiteral("打开")},
                {.name = QStringLiteral("按钮3"),
                 .kind = UnitKind::Button,
                 .geometry = {304, 88, 56, 24},
                 .text = QStringLiteral("取消")},
            }};
}

ui::WindowDefinition settingsDefinition() {
    return {QStringLiteral("设置"),
            {380, 250},
            false,
            {
                {.name = QStringLiteral("选择夹1"),
                 .kind = UnitKind::TabControl,
                 .geometry = {8, 16, 360, 176},
                 .text = QStringLiteral("更新")},
                {.name = QStringLiteral("单选框1"),
                 .kind = UnitKind::RadioButton,
                 .geometry = {56, 48, 104, 24},
                 .text = QStringLiteral("自动更新"),
                 .parent = QStringLiteral("选择夹1")},
                {.name = QStringLiteral("单选框2"),
                 .kind = UnitKind::RadioButton,
                 .geometry = {56, 80, 88, 24},
                 .text = QStringLiteral("手动更新"),
                 .parent = QStringLiteral("选择夹1")},
                {.name = QStringLiteral("按钮1"),
                 .kind = UnitKind::Button,
                 .geometry = {221, 193, 64, 24},
                 .text = QStringLiteral("确定")},
                {.name = QStringLiteral("按钮2"),
                 .kind = UnitKind::Button,
                 .geometry = {304, 194, 64, 24},
                 .text = QStringLiteral("取消")},
            }};
}

ui::WindowDefinition aboutDefinition() {
    return {QStringLiteral("关于 Velmora网络电视"),
            {380, 190},
            false,
            {
                {.name = QStringLiteral("图片框1"),
                 .kind = UnitKind::PictureBox,
                 .geometry = {0, 0, 176, 168},
                 .text = QStringLiteral(":/assets/about.jpg")},
                {.name = QStringLiteral("标签1"),
                 .kind = UnitKind::Label,
                 .geometry = {192, 8, 176, 24},
                 .text = QStringLiteral("Velmora网络电视"),
                 .font = songFont(16, true)},
                {.name = QStringLiteral("标签2"),
                 .kind = UnitKind::Label,
                 .geometry = {200, 40, 144, 24},
                 .text = QStringLiteral("版本： 2.1")},
                {.name = QStringLiteral("标签3"),
                 .kind = UnitKind::Label,
                 .geometry = {200, 72, 48, 16},
                 .text = QStringLiteral("E-mail：")},
                {.name = QStringLiteral("超级链接框1"),
                 .kind = UnitKind::Hyperlink,
                 .geometry = {246, 71, 118, 16},
                 .text = QStringLiteral(VELMORA_CONTACT_ADDRESS)},
                {.name = QStringLiteral("分隔条1"),
                 .kind = UnitKind::Divider,
                 .geometry = {184, 104, 184, 2},
                 .color = QColor(192, 192, 192)},
                {.name = QStringLiteral("按钮1"),
                 .kind = UnitKind::Button,
                 .geometry = {304, 130, 56, 24},
                 .text = QStringLiteral("确定"),
                 .defaultButton = true},
            }};
}

// A dialog window built from its definition and bound to its handlers, not yet run.
struct BoundDialog {
    std::unique_ptr<QDialog> window;
    ui::Units units;
    QStringList unresolved; // the units of bindings that could not be made
};

// No owner, fixed size, modal.
BoundDialog createDialog(const ui::WindowDefinition& definition) {
    BoundDialog dialog;
    dialog.window =
        std::make_unique<QDialog>(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                               Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog.window->setWindowTitle(definition.title);
    dialog.window->setModal(true);
    dialog.units = ui::buildUnits(dialog.window.get(), definition.units);
    // Larger desktop text makes the whole window larger, never a text cut short.
    const double growth = ui::growUnitsForText(definition.units, dialog.units);
    const QSize client = ui::clientSizeFor(definition);
    dialog.window->setFixedSize(int(std::ceil(client.width() * growth)),
                                int(std::ceil(client.height() * growth)));
    return dialog;
}

template <typename T> T* unitOf(const ui::Units& units, const QString& name) {
    return qobject_cast<T*>(units.value(name));
}

// --- OpenUrlDialog ---

void OnOpenUrlOk(QDialog& dialog, const ui::Units& units, const UrlWriter& setUrl) {
    auto* address = unitOf<QComboBox>(units, QStringLiteral("组合框1"));
    if (address->currentText().isEmpty()) {
        QMessageBox message(QMessageBox::NoIcon, QStringLiteral("输入错误！"),
                            QStringLiteral("  URL地址不得为空！  "), QMessageBox::Ok, &dialog);
        message.exec();
        return;
    }
    // The text is read again after the check, as typed: no trimming, no completion.
    setUrl(address->currentText());
    dialog.accept();
}

void OnOpenUrlCancel(QDialog& dialog) {
    dialog.reject();
}

// --- SettingsWindow ---

void OnSettingsWindowCreated(const ui::Units& units, const QString& programDirectory,
                             const EventReport& report) {
    const QString checked = storedAutomaticUpdate(programDirectory) ? QStringLiteral("单选框1")
                                                                    : QStringLiteral("单选框2");
    unitOf<QRadioButton>(units, checked)->setChecked(true);
    report(QStringLiteral("settings shown ") + unitOf<QRadioButton>(units, checked)->text());
}

void OnSettingsOk(QDialog& window, const ui::Units& units, const QString& programDirectory,
                  const EventReport& report) {
    const bool automatic = unitOf<QRadioButton>(units, QStringLiteral("单选框1"))->isChecked();
    const bool stored = storeAutomaticUpdate(programDirectory, automatic);
    report(QStringLiteral("settings %1 %2")
               .arg(stored ? QStringLiteral("stored") : QStringLiteral("not-stored"))
               .arg(automatic ? 1 : 0));
    window.accept();
}

void OnSettingsCancel(QDialog& window) {
    window.reject();
}

// --- AboutWindow ---

void OnAboutOk(QDialog& window) {
    window.accept();
}

void OnContactLinkClicked() {
    openWithDesktop(contactMailUrl());
}

// The handlers hold the window and copies of what they read, so that the bound dialog can be
// handed around before it runs.
BoundDialog bindOpenUrlDialog(const UrlWriter& setUrl) {
    BoundDialog dialog = createDialog(openUrlDefinition());
    QDialog* window = dialog.window.get();
    const ui::Units units = dialog.units;
    dialog.unresolved = ui::bindEvents(units, {
                                                  {QStringLiteral("按钮2"), ui::UnitEvent::Clicked,
                                                   [=] { OnOpenUrlOk(*window, units, setUrl); }},
                                                  {QStringLiteral("按钮3"), ui::UnitEvent::Clicked,
                                                   [=] { OnOpenUrlCancel(*window); }},
                                              });
    // Enter in the address field means 打开, through the same check.
    auto* address = unitOf<QComboBox>(units, QStringLiteral("组合框1"));
    // A line edit cuts what is typed or pasted at 32767 characters by default, and a cut address
    // is another address: the field takes all, the player refuses what is too long.
    address->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    QObject::connect(address->lineEdit(), &QLineEdit::returnPressed, window,
                     [=] { OnOpenUrlOk(*window, units, setUrl); });
    address->setFocus();
    return dialog;
}

BoundDialog bindSettingsWindow(const QString& programDirectory, const EventReport& report) {
    BoundDialog dialog = createDialog(settingsDefinition());
    QDialog* window = dialog.window.get();
    const ui::Units units = dialog.units;
    dialog.unresolved = ui::bindEvents(
        units,
        {
            {QStringLiteral("按钮1"), ui::UnitEvent::Clicked,
             [=] { OnSettingsOk(*window, units, programDirectory, report); }},
            {QStringLiteral("按钮2"), ui::UnitEvent::Clicked, [=] { OnSettingsCancel(*window); }},
        });
    return dialog;
}

BoundDialog bindAboutWindow() {
    BoundDialog dialog = createDialog(aboutDefinition());
    QDialog* window = dialog.window.get();
    const ui::Units& units = dialog.units;
    dialog.unresolved = ui::bindEvents(
        units,
        {
            {QStringLiteral("按钮1"), ui::UnitEvent::Clicked, [=] { OnAboutOk(*window); }},
            // The hyperlink's own action, not an event of the window.
            {QStringLiteral("超级链接框1"), ui::UnitEvent::Clicked, [] { OnContactLinkClicked(); }},
        });
    // The box is the declared 118 pixels; the address is drawn to fit it.
    fitTextInto(unitOf<QLabel>(units, QStringLiteral("超级链接框1")),
                QStringLiteral(VELMORA_CONTACT_ADDRESS));
    unitOf<QWidget>(units, QStringLiteral("按钮1"))->setFocus();
    return dialog;
}

} // namespace

void openFileDialog(QWidget* mainWindow, const UrlWriter& setUrl) {
    QFileDialog dialog(mainWindow, QStringLiteral("打开"));
    dialog.setObjectName(QStringLiteral("通用对话框1"));
    // Qt's own dialog matches the patterns without regard to case; the desktop's dialogs would
    // hide a camera's "CLIP.WMA".
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QStringList filters = openFileFilters();
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.first());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return;
    setUrl(QDir::toNativeSeparators(chosen.first()));
}

void openUrlDialog(const UrlWriter& setUrl) {
    bindOpenUrlDialog(setUrl).window->exec();
}

void openSettingsWindow(const QString& programDirectory, const EventReport& report) {
    report(QStringLiteral("settings opening"));
    const BoundDialog dialog = bindSettingsWindow(programDirectory, report);
    OnSettingsWindowCreated(dialog.units, programDirectory, report);
    dialog.window->exec();
}

void openAboutWindow() {
    bindAboutWindow().window->exec();
}

QStringList unresolvedDialogBindings() {
    QStringList unresolved;
    const auto check = [&](const BoundDialog& dialog) {
        for (const QString& unit : dialog.unresolved)
            unresolved << dialog.window->windowTitle() + QStringLiteral(": ") + unit;
    };
    check(bindOpenUrlDialog([](const QString&) {}));
    check(bindSettingsWindow(QString(), [](const QString&) {}));
    check(bindAboutWindow());
    return unresolved;
}
