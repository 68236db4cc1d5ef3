#include "app/translations.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void setApplicationIdentity()
{
    QApplication::setApplicationName(QApplication::tr("Energizer Configurator"));
    QApplication::setApplicationVersion(QStringLiteral(EC_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Ravlin"));
}

QStringList translationDirs()
{
    const QDir appDir(QCoreApplication::applicationDirPath());
    return {appDir.filePath(QStringLiteral("translations")),
            QDir::cleanPath(appDir.filePath(QStringLiteral("../share/energizer-configurator/translations")))};
}

bool installTranslations(QCoreApplication& app, const QStringList& dirs)
{
    const QLocale locale;
    auto* qt = new QTranslator(&app);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qt);
    else
        delete qt;

    auto* own = new QTranslator(&app);
    for (const QString& dir : dirs) {
        if (own->load(locale, QStringLiteral("energizer-configurator"), QStringLiteral("_"), dir)) {
            // Installed last, so its texts win over Qt's for the same source.
            app.installTranslator(own);
            return true;
        }
    }
    delete own;
    return false;
}
