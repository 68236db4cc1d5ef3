#pragma once

#include <QDialog>

// TODO: scope view (placeholder so the tree builds).
class ScopeDlg : public QDialog
{
    Q_OBJECT
public:
    explicit ScopeDlg(QWidget* parent = nullptr);
};
