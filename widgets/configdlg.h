#pragma once

#include "protocol/configdiff.h"
#include "protocol/configrecord.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <vector>

class ConfigModel;
class ConfigPush;
class ConfigTransfer;
class QDomDocument;
class Station;

namespace Ui {
class ConfigDlg;
}

// The configuration dialog: edits the model's block, reads it from and
// writes it to the station's energizer.
class ConfigDlg : public QDialog
{
    Q_OBJECT
public:
    // Reads and writes made from the dialog's buttons go through transfer,
    // which confirms them. With a push, "Write to energizer" goes through it
    // instead: backup read, the preview of the changes, and only on
    // confirmation the write. buttonStyle is the window's button look.
    ConfigDlg(ConfigModel& model, Station& station, ConfigTransfer& transfer, ConfigPush* push,
              const QString& buttonStyle, QWidget* parent = nullptr);
    ~ConfigDlg() override;

    ConfigModel& model() const { return m_model; }
    // Model -> widgets and widgets -> model.
    void updateUi();
    void updateRecord();
    QString exchangeText() const;

    // The file dialogs of "Write to file" and "Load from file"; an empty
    // name means cancelled. Replaceable so that tests need no dialog.
    std::function<QString()> askSaveFileName;
    std::function<QString()> askOpenFileName;

    QString fileName;
    QDomDocument* domDocument = nullptr;

public slots:
    void paramChanged();
    void readEnerg();
    void loadFromFile();
    void writeToFile();
    void writeEnerg();
    void showAdvOptions();
    void baInit();
    // "Read from energizer": one read request, and word of its answer.
    void readFromEnergizer();

private:
    void showExchange(const QString& text, bool ok);

    struct Binding;
    QString chooseSaveFileName(QWidget* parent);
    QString chooseOpenFileName(QWidget* parent);
    void showFileInTitle();

    Ui::ConfigDlg* ui;
    void showPreview(const QVector<ParamChange>& changes, qint64 backupId);

    ConfigModel& m_model;
    Station& m_station;
    ConfigTransfer& m_transfer;
    ConfigPush* m_push;
    QString m_buttonStyle;
    // Set while this dialog stores into the model: its widgets already show it.
    bool m_storing = false;
    bool m_pushing = false; // the push under way is this dialog's
    std::vector<Binding> bindings; // in the order updateUi and updateRecord visit them
};
