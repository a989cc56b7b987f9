#include "app/Config.h"

#include <QTest>

using namespace std::chrono_literals;

// The build-time endpoints hold unless the environment names others, for the demo and tests.
class TestConfig : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void cleanup() { init(); }
    void buildTimeValuesWithoutEnvironment();
    void environmentOverrides();
    void emptyOrMalformedValuesKeepTheDefaults();
};

void TestConfig::init() {
    for (const char* name : {"VELMORA_STATION", "VELMORA_AD_URL", "VELMORA_AUDIO_OUTPUT",
                             "VELMORA_OPEN_TIMEOUT_MS", "VELMORA_TRACE", "VELMORA_VIDEO_OUTPUT"})
        qunsetenv(name);
}

void TestConfig::buildTimeValuesWithoutEnvironment() {
    const Config config = Config::fromEnvironment();
    QCOMPARE(config.stationHost, QStringLiteral(VELMORA_STATION_HOST));
    QCOMPARE(config.adUrl, QStringLiteral(VELMORA_AD_URL));
    QVERIFY(config.engine.audioOutput.isEmpty());
    QCOMPARE(config.engine.openTimeout, 20000ms);
    QVERIFY(!config.engine.videoThroughWindow);
    QVERIFY(config.tracePath.isEmpty());
    // The window is given the same endpoints the run uses.
    QCOMPARE(config.mainWindow().station.host(), QStringLiteral(VELMORA_STATION_HOST));
    QCOMPARE(config.mainWindow().station.adUrl(), QStringLiteral(VELMORA_AD_URL));
}

void TestConfig::environmentOverrides() {
    qputenv("VELMORA_STATION", "127.0.0.1:18080");
    qputenv("VELMORA_AD_URL", "http://127.0.0.1:18080/ad/");
    qputenv("VELMORA_AUDIO_OUTPUT", "adummy");
    qputenv("VELMORA_OPEN_TIMEOUT_MS", "1500");
    qputenv("VELMORA_TRACE", "/tmp/trace.log");
    qputenv("VELMORA_VIDEO_OUTPUT", "toolkit");
    const Config config = Config::fromEnvironment();
    QCOMPARE(config.stationHost, QStringLiteral("127.0.0.1:18080"));
    QCOMPARE(config.adUrl, QStringLiteral("http://127.0.0.1:18080/ad/"));
    QCOMPARE(config.engine.audioOutput, QByteArray("adummy"));
    QCOMPARE(config.engine.openTimeout, 1500ms);
    QVERIFY(config.engine.videoThroughWindow);
    QCOMPARE(config.tracePath, QStringLiteral("/tmp/trace.log"));
    QCOMPARE(config.mainWindow().station.host(), QStringLiteral("127.0.0.1:18080"));
    QCOMPARE(config.mainWindow().station.adUrl(), QStringLiteral("http://127.0.0.1:18080/ad/"));
}

void TestConfig::emptyOrMalformedValuesKeepTheDefaults() {
    qputenv("VELMORA_STATION", "");
    qputenv("VELMORA_OPEN_TIMEOUT_MS", "soon");
    Config config = Config::fromEnvironment();
    QCOMPARE(config.stationHost, QStringLiteral(VELMORA_STATION_HOST));
    QCOMPARE(config.engine.openTimeout, 20000ms);
    qputenv("VELMORA_OPEN_TIMEOUT_MS", "-5");
    config = Config::fromEnvironment();
    QCOMPARE(config.engine.openTimeout, 20000ms);
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
