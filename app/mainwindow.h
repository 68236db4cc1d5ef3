#pragma once

#include <QByteArray>
#include <QMainWindow>
#include <QPointer>

namespace Ui {
class MainWindow;
}

class ConfigDlg;
class ConfigModel;
class ConfigPush;
class ConfigTransfer;
class HistoryDlg;
class HistoryKeeper;
class HistoryStore;
class TimelineRecorder;
class TimelineStore;
class EnergizerLink;
class QLabel;
class SettingsDlg;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // Configuration blocks are kept in history; without one nothing is kept.
    explicit MainWindow(HistoryStore* history = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;
    // Records this window's energizer into timeline while it runs.
    void setTimeline(TimelineStore* timeline);

    QString buttonStyleSheet() const;

    // Enables CONFIG when the received block's installer PIN matches the settings'.
    void checkInstallerPin();
    // Decodes one status reply into the energizer object.
    void decodeStatus(const QByteArray& reply);
    EnergizerLink* link() const { return m_link; }
    // The block the configuration dialog edits and the scope shows.
    ConfigModel& configModel() const { return *m_config; }
    ConfigDlg* configDialog() const { return m_configDlg; }

private slots:
    void paramChanged();
    void energCommand();
    void showConfig();
    void showScope();
    void serialParams();
    void energizerConnecting();
    void closeConnection();
    void timerTick();

public slots:
    void writeData(const QByteArray& data);

private:
    void statusReceived();
    void configReceived(const QByteArray& reply);
    void openManual();
    void showHistory();
    void showTrend();
    // The settings' retention, to the recorder.
    void applyRetention();

    Ui::MainWindow* ui;
    QLabel* statusLabel = nullptr;
    QLabel* statusFiller = nullptr;
    SettingsDlg* settingsDlg = nullptr;
    EnergizerLink* m_link = nullptr;
    ConfigModel* m_config = nullptr;
    ConfigDlg* m_configDlg = nullptr;
    ConfigTransfer* m_transfer = nullptr;
    HistoryKeeper* m_keeper = nullptr;
    TimelineStore* m_timeline = nullptr;
    TimelineRecorder* m_recorder = nullptr;
    void watchTimeline();
    ConfigPush* m_push = nullptr;
    QPointer<HistoryDlg> m_historyDlg;
};
