// Request heads arrive from anything that connects; the parser must give a sane answer for all.
#include "HttpRequest.h"

#include <QTest>
#include <random>

using namespace station;

Q_DECLARE_METATYPE(station::ParseStatus)

class TestStationHttp : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void parseStatus_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<ParseStatus>("status");
        const auto add = [](const char* name, const QByteArray& b, ParseStatus s) {
            QTest::newRow(name) << b << s;
        };
        add("complete", "GET /a HTTP/1.1\r\nHost: x\r\n\r\n", ParseStatus::Complete);
        add("bare LF", "GET /a HTTP/1.0\nHost: x\n\n", ParseStatus::Complete);
        add("no headers", "GET /a HTTP/1.0\r\n\r\n", ParseStatus::Complete);
        add("empty", "", ParseStatus::Incomplete);
        add("partial request line", "GET /ind", ParseStatus::Incomplete);
        add("line without head end", "GET /a HTTP/1.1\r\nHost: x\r\n", ParseStatus::Incomplete);
        add("half CRLF", "GET /a HTTP/1.1\r\nHost: x\r\n\r", ParseStatus::Incomplete);
        add("no version", "GET /a\r\n\r\n", ParseStatus::Malformed);
        add("bad version", "GET /a HTTP/x.1\r\n\r\n", ParseStatus::Malformed);
        add("extra field", "GET /a b HTTP/1.1\r\n\r\n", ParseStatus::Malformed);
        add("two spaces", "GET  /a HTTP/1.1\r\n\r\n", ParseStatus::Malformed);
        add("control in target", QByteArray("GET /a\x01 HTTP/1.1\r\n\r\n"), ParseStatus::Malformed);
        add("NUL in target", QByteArray("GET /a\0b HTTP/1.1\r\n\r\n", 22), ParseStatus::Malformed);
        add("header without colon", "GET /a HTTP/1.1\r\nHost x\r\n\r\n", ParseStatus::Malformed);
        add("empty header name", "GET /a HTTP/1.1\r\n: x\r\n\r\n", ParseStatus::Malformed);
        add("folded header", "GET /a HTTP/1.1\r\nA: b\r\n c\r\n\r\n", ParseStatus::Malformed);
        add("only blank lines", "\r\n\r\n", ParseStatus::Malformed);
        add("huge line, no LF", "GET /" + QByteArray(20000, 'a'), ParseStatus::TooLarge);
        add("huge line with LF", "GET /" + QByteArray(9000, 'a') + " HTTP/1.1\r\n\r\n",
            ParseStatus::TooLarge);
        QByteArray many = "GET /a HTTP/1.1\r\n";
        for (int i = 0; i < 200; ++i)
            many += "X-" + QByteArray::number(i) + ": v\r\n";
        add("too many headers", many + "\r\n", ParseStatus::TooLarge);
        add("endless head", "GET /a HTTP/1.1\r\n" + QByteArray(70000, 'h'), ParseStatus::TooLarge);
    }

    void parseStatus() {
        QFETCH(QByteArray, bytes);
        QFETCH(ParseStatus, status);
        const ParseResult r = parseRequestHead(std::string_view(bytes.constData(), bytes.size()));
        QCOMPARE(r.status, status);
        QVERIFY(r.head.requestLine.size() <= kMaxRequestLine);
    }

    void parsesFields() {
        const std::string req = "GET /sp/a%20b.wmv?x=1 HTTP/1.0\r\nAccept: */*\r\n"
                                "Pragma: no-cache,rate=1.000000\r\npragma:  xPlayStrm=1  \r\n\r\n"
                                "trailing";
        const ParseResult r = parseRequestHead(req);
        QCOMPARE(r.status, ParseStatus::Complete);
        QCOMPARE(r.consumed, req.size() - 8);
        QCOMPARE(r.head.requestLine, std::string("GET /sp/a%20b.wmv?x=1 HTTP/1.0"));
        QCOMPARE(r.head.method, std::string("GET"));
        QCOMPARE(r.head.version, std::string("HTTP/1.0"));
        QCOMPARE(targetPath(r.head.target), std::string_view("/sp/a%20b.wmv"));
        const auto pragmas = headerValues(r.head, "PRAGMA");
        QCOMPARE(pragmas.size(), std::size_t(2));
        QCOMPARE(pragmas[1], std::string_view("xPlayStrm=1"));
    }

    void randomBytesNeverBreakTheParser() {
        std::mt19937 gen(7);
        for (int i = 0; i < 3000; ++i) {
            std::string bytes(gen() % 300, '\0');
            for (char& c : bytes) // biased towards the bytes that steer the parser
                c = "GET /:\r\n %"[gen() % 11] ^ static_cast<char>((gen() % 8 == 0) ? gen() : 0);
            const ParseResult r = parseRequestHead(bytes);
            if (r.status == ParseStatus::Complete)
                QVERIFY(r.consumed <= bytes.size());
        }
    }

    void percentDecoding_data() {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<bool>("clean");
        QTest::newRow("plain") << QByteArray("abc") << QByteArray("abc") << true;
        QTest::newRow("utf8") << QByteArray("%E6%96%B0a")
                              << QByteArray("\xE6\x96\xB0"
                                            "a")
                              << true;
        QTest::newRow("lower hex") << QByteArray("%e6%96%b0") << QByteArray("\xE6\x96\xB0") << true;
        QTest::newRow("bad hex") << QByteArray("%zz1") << QByteArray("%zz1") << false;
        QTest::newRow("half hex") << QByteArray("a%4g") << QByteArray("a%4g") << false;
        QTest::newRow("trailing %") << QByteArray("a%") << QByteArray("a%") << false;
        QTest::newRow("trailing %4") << QByteArray("a%4") << QByteArray("a%4") << false;
        QTest::newRow("nul") << QByteArray("a%00b") << QByteArray("a\0b", 3) << true;
        QTest::newRow("plus stays") << QByteArray("a+b") << QByteArray("a+b") << true;
    }

    void percentDecoding() {
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, out);
        QFETCH(bool, clean);
        bool ok = !clean;
        const std::string decoded = percentDecode(std::string_view(in.constData(), in.size()), &ok);
        QCOMPARE(QByteArray::fromStdString(decoded), out);
        QCOMPARE(ok, clean);
    }

    void logEscaping_data() {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("utf8 kept") << QByteArray("新闻 a") << QByteArray("新闻 a");
        QTest::newRow("gbk escaped") << QByteArray("\xD0\xC2") << QByteArray("\\xD0\\xC2");
        QTest::newRow("controls") << QByteArray("a\r\n\x7F", 4) << QByteArray("a\\x0D\\x0A\\x7F");
        QTest::newRow("nul") << QByteArray("\0", 1) << QByteArray("\\x00");
        QTest::newRow("truncated seq") << QByteArray("\xE6\x96") << QByteArray("\\xE6\\x96");
        QTest::newRow("overlong") << QByteArray("\xC0\x80") << QByteArray("\\xC0\\x80");
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << QByteArray("\\xED\\xA0\\x80");
        QTest::newRow("4 byte") << QByteArray("\xF0\x9F\x93\xBA") << QByteArray("\xF0\x9F\x93\xBA");
    }

    void logEscaping() {
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, out);
        QCOMPARE(
            QByteArray::fromStdString(escapeForLog(std::string_view(in.constData(), in.size()))),
            out);
    }
};

QTEST_GUILESS_MAIN(TestStationHttp)
#include "tst_station_http.moc"
