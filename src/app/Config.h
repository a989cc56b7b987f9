#pragma once

#include "catalogue/TvStation.h"
#include "playback/EngineOptions.h"
#include "ui/MainWindow.h"

#include <QString>

// Everything the process takes from outside the code: the build-time endpoints, and the
// environment variables that override them for the demo and for tests. Read once, at start, here
// and nowhere else.
struct Config {
    QString stationHost; // host[:port] of the web and stream server: VELMORA_STATION
    QString adUrl;       // the advertisement page: VELMORA_AD_URL
    // VELMORA_AUDIO_OUTPUT (a libVLC audio output), VELMORA_OPEN_TIMEOUT_MS,
    // VELMORA_VIDEO_OUTPUT=toolkit (every picture painted through the window)
    EngineOptions engine;
    QString tracePath; // VELMORA_TRACE: where the opt-in record of events goes; empty: none
    // Where kept programmes go: "Velmora网络电视" in the user's videos folder (XDG_VIDEOS_DIR of
    // the user's folder settings, by default ~/Videos); empty: none can be kept.
    QString downloadsFolder;

    // The build-time values, with no environment applied.
    static Config defaults();
    static Config fromEnvironment();

    // The station at the configured endpoints: what the run, the window and the start-up read.
    TvStation station() const { return TvStation(stationHost, adUrl); }
    MainWindowConfig mainWindow() const { return {station()}; }
};
