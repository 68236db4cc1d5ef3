#pragma once

#include <QDialog>

namespace Ui {
class ScopeDlg;
}

// Modal view with the link stone and one scope unit per fence zone.
class ScopeDlg : public QDialog
{
    Q_OBJECT
public:
    explicit ScopeDlg(QWidget* parent = nullptr);
    ~ScopeDlg() override;

public slots:
    void paramChanged();

private:
    Ui::ScopeDlg* ui;
};
