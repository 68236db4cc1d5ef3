// Saves PNGs of the main window and the connection settings dialog, as a user
// sees them, for the README. Run through scripts/grab-screens.
#include "app/mainwindow.h"
#include "settings/settingsdlg.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QApplication::tr("Energizer Configurator"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.31"));
    QApplication::setOrganizationName(QStringLiteral("Ravlin"));
    const QStringList args = app.arguments();
    const QDir out(args.value(1, QStringLiteral(".")));
    const int waitMs = args.value(2, QStringLiteral("4000")).toInt();

    MainWindow window;
    window.show();
    QTimer::singleShot(waitMs, &window, [&] {
        bool ok = window.grab().save(out.filePath(QStringLiteral("main-window.png")));
        auto* settings = window.findChild<SettingsDlg*>();
        settings->show();
        QTimer::singleShot(500, settings, [&app, &ok, settings, out] {
            ok = settings->grab().save(out.filePath(QStringLiteral("settings.png"))) && ok;
            app.exit(ok ? 0 : 1);
        });
    });
    return app.exec();
}
