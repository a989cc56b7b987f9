#include "playback/VlcMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QUrl>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vlc/vlc.h>

namespace {

// libVLC's own reports: off by default, since everything a user needs shows in the player's
// status text; QT_LOGGING_RULES="velmora.vlc.debug=true" brings them back.
Q_LOGGING_CATEGORY(vlcLog, "velmora.vlc", QtInfoMsg)

void forwardVlcLog(void*, int level, const libvlc_log_t*, const char* format, va_list args) {
    if (!vlcLog().isDebugEnabled())
        return;
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    const char* kind = level >= LIBVLC_ERROR     ? "error"
                       : level >= LIBVLC_WARNING ? "warning"
                       : level >= LIBVLC_NOTICE  ? "notice"
                                                 : "debug";
    qCDebug(vlcLog, "%s: %s", kind, text);
}

// Without a sound server or card libVLC tries ALSA for every medium, and ALSA reports each
// failure on standard error by itself; a silent output is the one that exists then.
bool soundOutputReachable() {
    if (qEnvironmentVariableIsSet("PULSE_SERVER"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && (QFileInfo::exists(runtime + QStringLiteral("/pulse/native")) ||
                               QFileInfo::exists(runtime + QStringLiteral("/pipewire-0"))))
        return true;
    return !QDir(QStringLiteral("/dev/snd"))
                .entryList({QStringLiteral("pcmC*p")}, QDir::System | QDir::Files)
                .isEmpty();
}

} // namespace

// libVLC's defaults hold a silent MMS server for about 100 s and retry HTTP for ever; the watchdog
// is the last word, these only make the common failures quick.
std::vector<QByteArray> vlcInstanceArguments(const EngineOptions& options) {
    std::vector<QByteArray> args = {
        "--quiet",
        "--no-video-title-show",
        "--no-stats",
        "--no-snapshot-preview",
        "--no-sub-autodetect-file",
        "--mms-timeout=3000",
        "--network-caching=1000",
        "--no-http-reconnect",
        // The audio chain always ends in a resampler (for speed changes and clock drift); the
        // default one filters every sample even when the rates match, half a per cent of a core
        // for nothing. soxr passes the samples through then, and resamples as well when it must.
        "--audio-resampler=soxr,any",
    };
    // Tests and headless machines pick a silent output.
    if (!options.audioOutput.isEmpty())
        args.push_back("--aout=" + options.audioOutput);
    else if (!soundOutputReachable())
        args.push_back("--aout=adummy");
    return args;
}

std::shared_ptr<libvlc_instance_t> sharedVlcInstance(const EngineOptions& options) {
    static std::mutex mutex;
    static std::weak_ptr<libvlc_instance_t> shared;
    std::lock_guard lock(mutex);
    if (auto instance = shared.lock())
        return instance;

    const std::vector<QByteArray> args = vlcInstanceArguments(options);
    std::vector<const char*> argv;
    for (const QByteArray& arg : args)
        argv.push_back(arg.constData());

    libvlc_instance_t* raw = libvlc_new(int(argv.size()), argv.data());
    if (!raw)
        return {};
    libvlc_log_set(raw, &forwardVlcLog, nullptr);
    std::shared_ptr<libvlc_instance_t> instance(raw, libvlc_release);
    shared = instance;
    return instance;
}

libvlc_media_t* createVlcMedia(libvlc_instance_t* instance, const QString& location) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    if (scheme.match(location).hasMatch()) {
        // libVLC wants a well-formed address; tolerant parsing escapes stray spaces and "%"
        // and keeps escapes already present.
        const QUrl url(location, QUrl::TolerantMode);
        const QByteArray mrl = url.isValid() ? url.toEncoded() : location.toUtf8();
        return libvlc_media_new_location(instance, mrl.constData());
    }
    const QString path = QFileInfo(location).absoluteFilePath();
    return libvlc_media_new_path(instance, QFile::encodeName(path).constData());
}
