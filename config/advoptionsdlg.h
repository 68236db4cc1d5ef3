#pragma once

#include <QDialog>

class ConfigDlg;

namespace Ui {
class AdvOptionsDlg;
}

// Per-zone fence options and siren timing, edited in the parent
// configuration dialog's block.
class AdvOptionsDlg : public QDialog
{
    Q_OBJECT
public:
    // parent must be the configuration dialog.
    explicit AdvOptionsDlg(QWidget* parent);
    ~AdvOptionsDlg() override;

    // Fills the widgets, runs the dialog, and writes back when accepted.
    void runDialog();
    void updateUi();
    void updateRecord();

private:
    struct Zone;
    Zone zone(int number) const;
    void limitRearmTime(int days);

    Ui::AdvOptionsDlg* ui;
    ConfigDlg* config;
};
