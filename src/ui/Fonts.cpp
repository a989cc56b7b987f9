#include "ui/Fonts.h"

#include <QStringList>

namespace {

QString songName() {
    return QStringLiteral("宋体");
}

// The CN face of the UMing collection, then the SC face of Noto: both carry simplified forms for
// the shared code points, whichever language the desktop runs in.
QStringList songStandIns() {
    return {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC")};
}

} // namespace

void installSongFace() {
    const QStringList present = QFont::substitutes(songName());
    QStringList missing;
    for (const QString& face : songStandIns()) {
        if (!present.contains(face, Qt::CaseInsensitive))
            missing << face;
    }
    if (!missing.isEmpty())
        QFont::insertSubstitutions(songName(), missing);
}

QFont songFont(int pixelSize, bool bold, bool italic) {
    QFont font;
    font.setFamilies(QStringList{songName()} + songStandIns());
    font.setPixelSize(pixelSize);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(italic);
    font.setStyleHint(QFont::Serif);
    return font;
}
