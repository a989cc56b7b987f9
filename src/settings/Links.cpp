#include "settings/Links.h"

#include <QDesktopServices>

namespace {

DesktopOpener& opener() {
    static DesktopOpener current;
    return current;
}

QUrl mailtoUrl(const QString& address, const QList<std::pair<QByteArray, QString>>& fields) {
    QByteArray encoded = "mailto:" + QUrl::toPercentEncoding(address, "@");
    char separator = '?';
    for (const auto& [name, text] : fields) {
        encoded += separator + name + '=' + QUrl::toPercentEncoding(text);
        separator = '&';
    }
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

} // namespace

void setDesktopOpener(DesktopOpener replacement) {
    opener() = std::move(replacement);
}

void openWithDesktop(const QUrl& url) {
    if (opener())
        opener()(url);
    else
        QDesktopServices::openUrl(url);
}

QUrl helpPageUrl() {
    return QUrl(QStringLiteral(VELMORA_HELP_URL));
}

QUrl updatePageUrl() {
    return QUrl(QStringLiteral("http://" VELMORA_UPDATE_HOST "/soft/63669.html"));
}

QUrl feedbackMailUrl() {
    return mailtoUrl(
        QStringLiteral(VELMORA_FEEDBACK_ADDRESS),
        {{"Subject", QStringLiteral("意见建议")},
         {"Body", QStringLiteral("-----在下面写出你对本软件的建议（Velmora网络电视V1.0）")}});
}

QUrl featuresFileUrl(const QString& path) {
    return QUrl::fromLocalFile(path);
}

QUrl contactMailUrl() {
    return mailtoUrl(QStringLiteral(VELMORA_CONTACT_ADDRESS), {});
}
