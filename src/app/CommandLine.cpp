#include "app/CommandLine.h"

#include "playback/ExternalLocation.h"

#include <QDir>
#include <QSet>
#include <cstdio>

namespace {

// Options QGuiApplication and QApplication take out of argv themselves; the first group takes a
// value as the next argument (or after "=").
const QSet<QString>& qtOptionsWithValue() {
    static const QSet<QString> options{
        QStringLiteral("platform"),
        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"),
        QStringLiteral("qwindowtitle"),
        QStringLiteral("session"),
        QStringLiteral("display"),
        QStringLiteral("geometry"),
        QStringLiteral("style"),
        QStringLiteral("stylesheet"),
        QStringLiteral("name"),
        QStringLiteral("title"),
        QStringLiteral("visual"),
        QStringLiteral("qmljsdebugger"),
    };
    return options;
}

const QSet<QString>& qtFlags() {
    static const QSet<QString> flags{
        QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
        QStringLiteral("dograb"),  QStringLiteral("sync"),        QStringLiteral("testability"),
    };
    return flags;
}

QString helpText() {
    return QStringLiteral(
        "Usage: velmora-tv [OPTION]... [FILE|URL]...\n"
        "Watch the programmes of the county television station. At start the programme\n"
        "catalogue is fetched from the station; a chosen programme plays after a five-second\n"
        "advertisement. Local media files and network addresses play too.\n"
        "\n"
        "  -h, --help     show this help and exit\n"
        "  -v, --version  show the version and exit\n"
        "\n"
        "A FILE or URL (file://, mms://, mmsh://, http://, https://) plays once the catalogue\n"
        "is in. Only the first plays; the others are ignored, with a note. Arguments after\n"
        "\"--\" are all files.\n"
        "\n"
        "One viewer runs per data folder: a second start hands its FILE or URL to the viewer\n"
        "already running, which comes to the front and plays it, and ends at once.\n"
        "\n"
        "Qt's own options, such as -platform or -style, are accepted as well.\n"
        "\n"
        "The catalogue files and index.ini are kept beside the program when its folder can be\n"
        "written, otherwise in $XDG_DATA_HOME/velmora-tv (~/.local/share/velmora-tv).\n"
        "\n"
        "Environment:\n"
        "  VELMORA_STATION=host:port  the station's web and stream server\n"
        "  VELMORA_AD_URL=address     the advertisement page\n");
}

} // namespace

CommandLineAnswer parseCommandLine(const QStringList& arguments) {
    using Action = CommandLineAnswer::Action;
    CommandLineAnswer run;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        // An empty argument names nothing, and "-" would be standard input, which nothing reads.
        if (argument.isEmpty() || (argument == u"-" && !optionsEnded)) {
            return {Action::Error,
                    QStringLiteral("velmora-tv: unexpected argument '%1' (see velmora-tv --help)")
                        .arg(argument),
                    {}};
        }
        if (optionsEnded || !argument.startsWith(QLatin1Char('-'))) {
            run.locations << argument;
            continue;
        }
        if (argument == u"--") {
            optionsEnded = true;
            continue;
        }
        if (argument == u"-h" || argument == u"--help")
            return {Action::Help, helpText(), {}};
        if (argument == u"-v" || argument == u"--version")
            return {Action::Version, QStringLiteral("velmora-tv " VELMORA_VERSION "\n"), {}};
        QString name = argument.mid(argument.startsWith(u"--") ? 2 : 1);
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        const bool valueAttached = equals >= 0;
        if (valueAttached)
            name.truncate(equals);
        if (qtOptionsWithValue().contains(name)) {
            if (!valueAttached)
                ++i; // Qt takes the next argument as the value, whatever it is
            continue;
        }
        if (qtFlags().contains(name) && !valueAttached)
            continue;
        return {
            Action::Error,
            QStringLiteral("velmora-tv: unknown option '%1' (see velmora-tv --help)").arg(argument),
            {}};
    }
    return run;
}

std::optional<int> answerCommandLine(int argc, char* argv[], QString& location) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLineAnswer answer = parseCommandLine(arguments);
    switch (answer.action) {
    case CommandLineAnswer::Action::Run:
        if (answer.locations.size() > 1) {
            const QString note =
                QStringLiteral("velmora-tv: plays only the first of %1 files; ignored: %2\n")
                    .arg(answer.locations.size())
                    .arg(answer.locations.mid(1).join(QStringLiteral(", ")));
            std::fputs(note.toLocal8Bit().constData(), stderr);
        }
        if (!answer.locations.isEmpty())
            location = locationFromArgument(answer.locations.first(), QDir::currentPath());
        return std::nullopt;
    case CommandLineAnswer::Action::Help:
    case CommandLineAnswer::Action::Version:
        std::fputs(answer.text.toLocal8Bit().constData(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    case CommandLineAnswer::Action::Error:
        std::fputs((answer.text + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
        return 2;
    }
    return std::nullopt;
}
