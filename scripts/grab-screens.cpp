// Saves PNGs of the main window, the scope, the connection settings dialog, the three
// tabs of the configuration dialog, a file of one parameter loaded into it and the
// advanced options dialog, as a user sees them, for the README. Run through scripts/grab-screens.
#include "scripts/screensteps.h"
#include "app/mainwindow.h"
#include "app/translations.h"
#include "widgets/configdlg.h"
#include "widgets/writepreviewdlg.h"
#include "widgets/settingsdlg.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    setApplicationIdentity();
    const QStringList args = app.arguments();
    const QDir out(args.value(1, QStringLiteral(".")));
    const int waitMs = args.value(2, QStringLiteral("4000")).toInt();

    MainWindow window;
    window.show();
    ConfigDlg* config = window.configDialog();
    bool ok = true;
    const auto save = [&ok, out](QWidget* w, const char* name) {
        const bool saved = w->grab().save(out.filePath(QString::fromLatin1(name)));
        qInfo("%s: %d x %d%s", name, w->width(), w->height(), saved ? "" : " (not saved)");
        ok = saved && ok;
    };
    auto* settings = window.findChild<SettingsDlg*>();
    auto* tabs = config->findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    QWidget* advanced = nullptr;
    QTemporaryDir files;
    const QString oneParameter = files.filePath(QStringLiteral("alarm-delay.xml"));

    // "address N": the main window set to energizer N on a line with several.
    if (args.value(3) == QLatin1String("address")) {
        const int address = args.value(4).toInt();
        const Steps busSteps = {
            [&] {
                settings->findChild<QSpinBox*>(QStringLiteral("spnEnergizerAddress"))->setValue(address);
                QMetaObject::invokeMethod(&window, "serialParams", Qt::QueuedConnection);
            },
            [&] { QMetaObject::invokeMethod(settings, "apply"); },
            [] {},
            [] {},
            [] {},
            [] {},
            [&] { save(&window, "main-window-address.png"); },
            [&] { app.exit(ok ? 0 : 1); },
        };
        QTimer::singleShot(waitMs, [&busSteps] { runSteps(&busSteps, 500); });
        return app.exec();
    }

    const Steps steps = {
        [&] { save(&window, "main-window.png"); },
        [&] { QMetaObject::invokeMethod(&window, "showScope", Qt::QueuedConnection); },
        [] {}, // a few samples drawn
        [&] {
            QWidget* scope = QApplication::activeModalWidget();
            if (scope) {
                save(scope, "scope.png");
                scope->close();
            } else {
                ok = false;
            }
        },
        [&] { settings->show(); },
        [&] {
            save(settings, "settings.png");
            settings->hide();
            // The main window's own way in: resized to 888 x 600, modal.
            QMetaObject::invokeMethod(&window, "showConfig", Qt::QueuedConnection);
        },
        [&] { save(config, "config-options.png"); },
        [&] { tabs->setCurrentIndex(1); },
        [&] { save(config, "config-inputs.png"); },
        [&] { tabs->setCurrentIndex(2); },
        [&] { save(config, "config-network.png"); },
        [&] {
            tabs->setCurrentIndex(0);
            config->findChild<QPushButton*>(QStringLiteral("btnWriteEnerg"))->click();
        },
        [&] {
            // The changes are shown first; confirm them.
            if (auto* preview = config->findChild<WritePreviewDlg*>())
                preview->accept();
        },
        [] {}, // read back and confirmed by now
        [&] { save(config, "config-written.png"); },
        [&] {
            // A file that holds one parameter: the dialog says so and keeps the rest.
            QFile file(oneParameter);
            ok = file.open(QIODevice::WriteOnly)
                && file.write("<Configuration><ZoneConfiguration1><FncAlmDelay value=\"5\"/></ZoneConfiguration1>"
                              "</Configuration>\n") > 0
                && ok;
            file.close();
            config->askOpenFileName = [&] { return oneParameter; };
            config->loadFromFile();
        },
        [&] { save(config, "load-one-parameter.png"); },
        [&] {
            auto* button = config->findChild<QPushButton*>(QStringLiteral("btnShowAdvOptions"));
            QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
        },
        [&] {
            advanced = QApplication::activeModalWidget();
            if (advanced == config)
                advanced = nullptr;
            if (advanced)
                save(advanced, "adv-options.png");
            else
                ok = false;
        },
        [&] {
            if (advanced)
                advanced->close();
        },
        [&] { config->close(); },
        [&] { app.exit(ok ? 0 : 1); },
    };
    // The first picture once the link has had time to fill the window.
    QTimer::singleShot(waitMs, [&steps] { runSteps(&steps, 500); });
    return app.exec();
}
