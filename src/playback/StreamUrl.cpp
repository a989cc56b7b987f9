#include "playback/StreamUrl.h"

#include "catalogue/Gbk.h"

#include <QByteArray>

QString StreamUrl(const std::string& gbkTitle, const QString& streamHost) {
    // toPercentEncoding leaves exactly ALPHA, DIGIT and "-._~" alone.
    const QByteArray title = gbkToDisplay(gbkTitle).toUtf8().toPercentEncoding();
    return QStringLiteral("mms://") + streamHost + QStringLiteral("/sp/") +
           QString::fromLatin1(title) + QStringLiteral(".wmv");
}

QString StreamHost() {
    const QString station = qEnvironmentVariable("VELMORA_STATION");
    if (!station.isEmpty())
        return station;
    return QStringLiteral(VELMORA_STATION_HOST);
}
