#include "playback/StreamUrl.h"

#include <QByteArray>

QString StreamUrl(const GbkDecoded& title, const QString& streamHost) {
    QByteArray name;
    size_t broken = 0;
    QString pending; // decoded characters since the last broken byte
    const auto flush = [&] {
        // toPercentEncoding leaves exactly ALPHA, DIGIT and "-._~" alone.
        name += pending.toUtf8().toPercentEncoding();
        pending.clear();
    };
    for (const QChar c : title.text) {
        if (c != QChar::ReplacementCharacter || broken >= title.broken.size()) {
            pending += c;
            continue;
        }
        flush();
        const std::string& bytes = title.broken[broken++];
        name += QByteArray(bytes.data(), qsizetype(bytes.size())).toPercentEncoding();
    }
    flush();
    return QStringLiteral("mms://") + streamHost + QStringLiteral("/sp/") +
           QString::fromLatin1(name) + QStringLiteral(".wmv");
}
