#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool installQtTranslations(QCoreApplication& app) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const auto install = [&](const QString& catalogue) {
        auto* translator = new QTranslator(&app);
        if (translator->load(catalogue, folder) && QCoreApplication::installTranslator(translator))
            return true;
        delete translator;
        return false;
    };
    // qt_zh_CN gathers the catalogues of Qt's base modules; the web engine keeps its own.
    const bool base = install(QStringLiteral("qt_zh_CN"));
    install(QStringLiteral("qtwebengine_zh_CN"));
    return base;
}
