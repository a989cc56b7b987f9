// Files and addresses from outside the window, as the player takes them: a command line's
// arguments against the caller's working directory, and what a drop carries.
#include "playback/ExternalLocation.h"

#include <QMimeData>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

class TestExternalLocation : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void arguments_data();
    void arguments();
    void drops_data();
    void drops();
};

void TestExternalLocation::arguments_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("location");
    QTest::newRow("relative") << u"clip.wmv"_s << u"/home/li/视频/clip.wmv"_s;
    QTest::newRow("relative, up and down") << u"../新闻/./a b.wmv"_s << u"/home/li/新闻/a b.wmv"_s;
    QTest::newRow("absolute") << u"/media/usb/clip.wmv"_s << u"/media/usb/clip.wmv"_s;
    // A colon alone makes no address: a file may be called that.
    QTest::newRow("a name with a colon") << u"晚间:节目.wmv"_s << u"/home/li/视频/晚间:节目.wmv"_s;
    QTest::newRow("file address, escaped")
        << u"file:///tmp/%E8%8A%82%E7%9B%AE%20%E4%B8%80.wmv"_s << u"/tmp/节目 一.wmv"_s;
    QTest::newRow("file address with one slash") << u"file:/tmp/a.wmv"_s << u"/tmp/a.wmv"_s;
    QTest::newRow("file address in capitals") << u"FILE:///tmp/a.wmv"_s << u"/tmp/a.wmv"_s;
    // Addresses go as given: the player escapes what needs it.
    QTest::newRow("mms") << u"mms://tv.example/sp/新闻.wmv"_s << u"mms://tv.example/sp/新闻.wmv"_s;
    QTest::newRow("mmsh") << u"mmsh://10.0.0.2:8080/a%20b.wmv"_s
                          << u"mmsh://10.0.0.2:8080/a%20b.wmv"_s;
    QTest::newRow("https") << u"https://tv.example/a.mp4?x=1&y=2"_s
                           << u"https://tv.example/a.mp4?x=1&y=2"_s;
}

void TestExternalLocation::arguments() {
    QFETCH(QString, argument);
    QFETCH(QString, location);
    QCOMPARE(locationFromArgument(argument, u"/home/li/视频"_s), location);
}

void TestExternalLocation::drops_data() {
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("location");
    QTest::newRow("a file from a file manager")
        << QList<QUrl>{QUrl::fromLocalFile(u"/tmp/节目 一.wmv"_s)} << QString()
        << u"/tmp/节目 一.wmv"_s;
    QTest::newRow("several files: the first")
        << QList<QUrl>{QUrl::fromLocalFile(u"/tmp/a.wmv"_s), QUrl::fromLocalFile(u"/tmp/b.wmv"_s)}
        << QString() << u"/tmp/a.wmv"_s;
    QTest::newRow("a browser's link")
        << QList<QUrl>{QUrl(u"http://tv.example/节目 一.wmv"_s)} << u"节目一"_s
        << u"http://tv.example/%E8%8A%82%E7%9B%AE%20%E4%B8%80.wmv"_s;
    QTest::newRow("a selected address")
        << QList<QUrl>{} << u"  mms://tv.example/sp/a.wmv \nsecond line"_s
        << u"mms://tv.example/sp/a.wmv"_s;
    QTest::newRow("a selected path") << QList<QUrl>{} << u"/tmp/a.wmv"_s << u"/tmp/a.wmv"_s;
    QTest::newRow("a selected file address")
        << QList<QUrl>{} << u"file:///tmp/a%20b.wmv"_s << u"/tmp/a b.wmv"_s;
    // Nothing to play: the drop is refused.
    QTest::newRow("a relative path") << QList<QUrl>{} << u"clip.wmv"_s << QString();
    QTest::newRow("words") << QList<QUrl>{} << u"今晚的节目"_s << QString();
    QTest::newRow("a mail address")
        << QList<QUrl>{QUrl(u"mailto:li@example.com"_s)} << QString() << QString();
    QTest::newRow("nothing") << QList<QUrl>{} << QString() << QString();
}

void TestExternalLocation::drops() {
    QFETCH(QList<QUrl>, urls);
    QFETCH(QString, text);
    QFETCH(QString, location);
    QMimeData data;
    if (!urls.isEmpty())
        data.setUrls(urls);
    if (!text.isEmpty())
        data.setText(text);
    QCOMPARE(locationFromDrop(data), location);
}

QTEST_GUILESS_MAIN(TestExternalLocation)
#include "tst_external_location.moc"
