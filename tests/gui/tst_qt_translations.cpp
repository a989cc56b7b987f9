#include "app/QtTranslations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

class TestQtTranslations : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void messageBoxSaysOkInChinese();
    void fileDialogSpeaksChinese();
};

// Whatever the desktop's language: here it is English on purpose.
void TestQtTranslations::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(installQtTranslations(*qApp));
}

void TestQtTranslations::messageBoxSaysOkInChinese() {
    QMessageBox box(QMessageBox::NoIcon, u"错误！"_s, u"数据获取不完整"_s, QMessageBox::Ok);
    QCOMPARE(box.button(QMessageBox::Ok)->text(), u"确定"_s);
}

void TestQtTranslations::fileDialogSpeaksChinese() {
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    QVERIFY(buttons);
    QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), u"取消"_s);
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        labels << label->text();
    QVERIFY2(labels.contains(u"文件类型："_s), qPrintable(labels.join(u" | "_s)));
}

QTEST_MAIN(TestQtTranslations)
#include "tst_qt_translations.moc"
