#include "app/mainwindow.h"
#include "app/translations.h"
#include "services/historystore.h"
#include "services/timelinestore.h"

#include <QApplication>
#include <QTextCodec>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    installTranslations(app);
    setApplicationIdentity();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF8"));

    // One history per user, shared with energizer-cli; unusable, it only says so.
    HistoryStore history(HistoryStore::defaultPath());
    // Beside it, the energizer's timeline while the window runs.
    TimelineStore timeline(TimelineStore::defaultPath());
    MainWindow window(&history);
    window.setTimeline(&timeline);
    window.show();
    return app.exec();
}
