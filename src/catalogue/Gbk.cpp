#include "catalogue/Gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

bool isLead(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}
bool isTrail(unsigned char b) {
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

void appendBroken(GbkDecoded& out, std::string_view bytes) {
    out.text += QChar::ReplacementCharacter;
    out.broken.emplace_back(bytes);
}

// Decodes one whole character; a pair the code page leaves unassigned is shown as broken.
void appendCharacter(GbkDecoded& out, std::string_view character) {
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    const QString decoded =
        decoder.decode(QByteArrayView(character.data(), qsizetype(character.size())));
    if (decoder.hasError() || decoded.isEmpty() || decoded.contains(QChar::ReplacementCharacter))
        appendBroken(out, character);
    else
        out.text += decoded;
}

// Splits from the front: ASCII is one byte, a lead byte with a trail byte is one character,
// anything else is one broken byte.
void decodeForward(std::string_view bytes, GbkDecoded& out) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out.text += QLatin1Char(char(b));
            ++i;
        } else if (isLead(b) && i + 1 < bytes.size() &&
                   isTrail(static_cast<unsigned char>(bytes[i + 1]))) {
            appendCharacter(out, bytes.substr(i, 2));
            i += 2;
        } else {
            appendBroken(out, bytes.substr(i, 1));
            ++i;
        }
    }
}

bool endsInsideCharacter(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (isLead(b) && i + 1 < bytes.size() && isTrail(static_cast<unsigned char>(bytes[i + 1])))
            i += 2;
        else if (isLead(b) && i + 1 == bytes.size())
            return true;
        else
            ++i;
    }
    return false;
}

} // namespace

GbkDecoded decodeGbk(std::string_view bytes, GbkCut cut) {
    GbkDecoded out;
    // A cut that ends clean but leaves a lead byte dangling when read from the front must have
    // started on the second byte of a character, but only if that byte can be one and the rest
    // then reads clean; otherwise the bytes are simply broken and nothing may be dropped.
    if (cut == GbkCut::CleanEnd && endsInsideCharacter(bytes) &&
        isTrail(static_cast<unsigned char>(bytes[0])) && !endsInsideCharacter(bytes.substr(1))) {
        appendBroken(out, bytes.substr(0, 1));
        bytes.remove_prefix(1);
    }
    decodeForward(bytes, out);
    return out;
}

QString gbkToDisplay(std::string_view bytes, GbkCut cut) {
    return decodeGbk(bytes, cut).text;
}

std::string toGbk(const QString& text) {
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    return std::string(bytes.constData(), size_t(bytes.size()));
}
