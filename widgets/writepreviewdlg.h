#pragma once

#include "protocol/configdiff.h"

#include <QDialog>
#include <QVector>

namespace Ui {
class WritePreviewDlg;
}

// The parameters a write will change, energizer value beside new value;
// accepted means write.
class WritePreviewDlg : public QDialog
{
    Q_OBJECT
public:
    // backupId 0: no backup could be kept.
    WritePreviewDlg(const QVector<ParamChange>& changes, qint64 backupId, QWidget* parent = nullptr);
    ~WritePreviewDlg() override;

    // The rows as shown, "Group/Name" per changed parameter.
    QStringList shownParams() const;

private:
    Ui::WritePreviewDlg* ui;
};
