#pragma once

#include <QDialog>
#include <QVector>

class ConfigModel;

namespace Ui {
class AdvOptionsDlg;
}

// Per-zone fence options and siren timing, edited in the model's block.
class AdvOptionsDlg : public QDialog
{
    Q_OBJECT
public:
    AdvOptionsDlg(ConfigModel& model, const QString& buttonStyle, QWidget* parent = nullptr);
    ~AdvOptionsDlg() override;

    // Model -> widgets and widgets -> model (in one change).
    void updateUi();
    void updateRecord();

private:
    struct ZoneWidget;
    QVector<ZoneWidget> zoneWidgets() const;
    void limitRearmTime(int days);

    Ui::AdvOptionsDlg* ui;
    ConfigModel& m_model;
};
