#include "app/HandOver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtEndian>

namespace hand_over {

QByteArray encode(const QStringList& locations) {
    const QByteArray body =
        QJsonDocument(QJsonArray::fromStringList(locations)).toJson(QJsonDocument::Compact);
    QByteArray message(kTag, kHeaderBytes - 4);
    const quint32 length = qToBigEndian(quint32(body.size()));
    message.append(reinterpret_cast<const char*>(&length), 4);
    return message + body;
}

Decoded decode(const QByteArray& received) {
    using State = Decoded::State;
    const QByteArray tag(kTag, kHeaderBytes - 4);
    if (!tag.startsWith(received.left(tag.size())))
        return {State::Invalid, {}};
    if (received.size() < kHeaderBytes)
        return {State::Incomplete, {}};
    const qsizetype length =
        qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(received.constData()) + 4);
    if (length > kMaxBodyBytes || received.size() > kHeaderBytes + length)
        return {State::Invalid, {}};
    if (received.size() < kHeaderBytes + length)
        return {State::Incomplete, {}};
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(received.mid(kHeaderBytes), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return {State::Invalid, {}};
    QStringList locations;
    for (const QJsonValue& value : document.array()) {
        if (!value.isString())
            return {State::Invalid, {}};
        locations << value.toString();
    }
    return {State::Complete, locations};
}

} // namespace hand_over
