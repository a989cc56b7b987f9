#include "playback/Snapshot.h"

#include "playback/PlaybackController.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

namespace snapshot {

namespace {

// Past this many pictures of one second the folder is not worth searching for a free name.
constexpr int kMaxCopies = 1000;
// The largest side libVLC hands over.
constexpr int kMaxSide = 8192;

const QString kForbidden = QStringLiteral("/\\:*?\"<>|");

int utf8Bytes(char32_t c) {
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

bool forbidden(char32_t c) {
    return c < 0x20 || c == 0x7f || (c < 0x80 && kForbidden.contains(QChar(c)));
}

QString trimmed(QString text, bool leadingDots) {
    while (!text.isEmpty() && (text.front().isSpace() || (leadingDots && text.front() == u'.')))
        text.remove(0, 1);
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

} // namespace

QString safeTitle(const QString& title) {
    QString mapped;
    for (qsizetype i = 0; i < title.size(); ++i) {
        const QChar unit = title.at(i);
        if (unit.isHighSurrogate() && i + 1 < title.size() && title.at(i + 1).isLowSurrogate()) {
            mapped += unit;
            mapped += title.at(++i);
        } else if (unit.isSurrogate() || forbidden(unit.unicode())) {
            mapped += u'_';
        } else {
            mapped += unit;
        }
    }
    mapped = trimmed(mapped, true);
    QString cut;
    int bytes = 0;
    for (qsizetype i = 0; i < mapped.size(); ++i) {
        const bool pair = mapped.at(i).isHighSurrogate();
        const char32_t c =
            pair ? QChar::surrogateToUcs4(mapped.at(i), mapped.at(i + 1)) : mapped.at(i).unicode();
        bytes += utf8Bytes(c);
        if (bytes > kMaxTitleBytes)
            break;
        cut += mapped.at(i);
        if (pair)
            cut += mapped.at(++i);
    }
    cut = trimmed(cut, false);
    return cut.isEmpty() ? QStringLiteral("截图") : cut;
}

QString fileName(const QString& title, qint64 positionMs, int copy) {
    const qint64 seconds = std::max<qint64>(positionMs, 0) / 1000;
    QString name = QStringLiteral("%1 %2-%3-%4")
                       .arg(safeTitle(title))
                       .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                       .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                       .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (copy > 1)
        name += QStringLiteral(" (%1)").arg(copy);
    return name + QStringLiteral(".png");
}

QImage picture(const QImage& decoded, double aspect) {
    // A copy at once: the decoded picture's pixels are drawn into again by the next one.
    QImage image = decoded.copy();
    if (image.isNull() || !(aspect > 0))
        return image;
    const int height = std::clamp(qRound(image.width() / aspect), 1, kMaxSide);
    if (height == image.height())
        return image;
    return image.scaled(image.width(), height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QString picturesFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return folder.isEmpty() ? QDir::homePath() + QStringLiteral("/Pictures") : folder;
}

Result save(PlaybackController& playback, const QString& folder) {
    const PlayerStatus status = playback.status();
    if (!playback.hasMedia() || status == PlayerStatus::Idle || status == PlayerStatus::Stopped ||
        status == PlayerStatus::CannotPlay)
        return {{}, QStringLiteral("没有正在播放的节目，无法截图")};
    const VideoFrames::Frame frame = playback.latestFrame();
    if (frame.image.isNull())
        return {{}, QStringLiteral("当前没有画面，无法截图")};
    const QImage image = picture(frame.image, frame.aspect);
    const QString failed =
        QStringLiteral("无法保存截图到 %1").arg(QDir::toNativeSeparators(folder));
    if (!QDir().mkpath(folder))
        return {{}, failed};
    const QDir dir(folder);
    for (int copy = 1; copy <= kMaxCopies; ++copy) {
        const QString path = dir.filePath(fileName(playback.title(), playback.position(), copy));
        QFile file(path);
        // Made new or not at all: another picture of that second, or a link, is never written
        // over.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            const QFileInfo there(path);
            if (there.exists() || there.isSymLink())
                continue;
            return {{}, failed};
        }
        const bool written = image.save(&file, "PNG") && file.flush();
        file.close();
        if (!written || file.error() != QFileDevice::NoError) {
            file.remove();
            return {{}, failed};
        }
        return {path, QStringLiteral("截图已保存到 %1").arg(QDir::toNativeSeparators(path))};
    }
    return {{}, failed};
}

} // namespace snapshot
