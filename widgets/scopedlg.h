#pragma once

#include <QDialog>

class ConfigModel;
class Station;

namespace Ui {
class ScopeDlg;
}

// Modal view with the link stone and one scope unit per fence zone.
class ScopeDlg : public QDialog
{
    Q_OBJECT
public:
    // buttonStyle is the window's button look.
    ScopeDlg(const ConfigModel& config, const Station& station, const QString& buttonStyle,
             QWidget* parent = nullptr);
    ~ScopeDlg() override;

public slots:
    void paramChanged();

private:
    Ui::ScopeDlg* ui;
    const Station& m_station;
};
