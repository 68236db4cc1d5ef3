#pragma once

#include "config/configrecord.h"

#include <QDialog>
#include <QString>
#include <QVariant>

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
    void updateUi();
    void updateRecord();

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
};
