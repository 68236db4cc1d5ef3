#pragma once

#include "config/configdiff.h"
#include "config/configrecord.h"

#include <QDialog>
#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

class ConfigPush;
class ConfigTransfer;
class QDomDocument;

namespace Ui {
class ConfigDlg;
}

// The configuration dialog; also keeps the configuration record.
class ConfigDlg : public QDialog
{
    Q_OBJECT
public:
    explicit ConfigDlg(QWidget* parent = nullptr);
    ~ConfigDlg() override;

    QVariant getParam(int index) const;
    void setParam(int index, const QVariant& value);
    // Stores a 52-byte configuration reply; a shorter one is ignored.
    void setConfig(const QByteArray& reply);
    // Record -> widgets and widgets -> record.
    void updateUi();
    void updateRecord();
    // Reads and writes made from the dialog's buttons go through this, which
    // confirms them; without one they are sent unconfirmed.
    void setTransfer(ConfigTransfer* transfer);
    // "Write to energizer" then goes through this: backup read, the preview
    // of the changes, and only on confirmation the write.
    void setPush(ConfigPush* push);
    QString exchangeText() const;

    // The file dialogs of "Write to file" and "Load from file"; an empty
    // name means cancelled. Replaceable so that tests need no dialog.
    std::function<QString()> askSaveFileName;
    std::function<QString()> askOpenFileName;

    QString fileName;
    QDomDocument* domDocument = nullptr;
    bool configReceived = false;
    ConfigBlock configBlock{};
    ConfigBlock defaultBlock{};

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
    QString chooseSaveFileName();
    QString chooseOpenFileName();
    void showFileInTitle();

    Ui::ConfigDlg* ui;
    void showPreview(const QVector<ParamChange>& changes, qint64 backupId);

    ConfigTransfer* m_transfer = nullptr;
    ConfigPush* m_push = nullptr;
    bool m_pushing = false; // the push under way is this dialog's
    std::vector<Binding> bindings; // in the order updateUi and updateRecord visit them
};
