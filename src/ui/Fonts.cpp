#include "ui/Fonts.h"

#include <QEvent>
#include <QFontInfo>
#include <QGuiApplication>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kDeclaredTextPixels = 12;

QString songName() {
    return QStringLiteral("宋体");
}

// The CN face of the UMing collection, then the SC face of Noto: both carry simplified forms for
// the shared code points, whichever language the desktop runs in.
QStringList songStandIns() {
    return {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC")};
}

// The application's font changes by an event to the application object, which only an
// application-wide filter sees.
class DesktopTextWatcher : public QObject {
  public:
    DesktopTextWatcher(QObject* owner, std::function<void()> changed)
        : QObject(owner), changed_(std::move(changed)) {
        QCoreApplication::instance()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ApplicationFontChange &&
            watched == QCoreApplication::instance())
            changed_();
        return false;
    }

  private:
    std::function<void()> changed_;
};

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

double desktopTextScale() {
    const int pixels = QFontInfo(QGuiApplication::font()).pixelSize();
    return std::max(1.0, double(pixels) / kDeclaredTextPixels);
}

int desktopPixelSize(int declared) {
    return int(std::lround(declared * desktopTextScale()));
}

void whenDesktopTextChanges(QObject* owner, std::function<void()> changed) {
    new DesktopTextWatcher(owner, std::move(changed));
}
