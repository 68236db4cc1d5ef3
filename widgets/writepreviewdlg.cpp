#include "widgets/writepreviewdlg.h"
#include "ui_writepreviewdlg.h"

#include <QPushButton>

WritePreviewDlg::WritePreviewDlg(const QVector<ParamChange>& changes, qint64 backupId, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::WritePreviewDlg)
{
    ui->setupUi(this);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(tr("Write"));
    ui->buttonBox->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    // Writing is a step to take on purpose, so Enter alone does not do it.
    ui->buttonBox->button(QDialogButtonBox::Ok)->setAutoDefault(false);
    ui->buttonBox->button(QDialogButtonBox::Cancel)->setDefault(true);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);

    QString intro = changes.isEmpty() ? tr("The energizer already holds this configuration.")
                                      : tr("These parameters will change on the energizer.");
    intro += QLatin1Char(' ')
        + (backupId > 0 ? tr("Its configuration before the write is kept as backup #%1.").arg(backupId)
                        : tr("Its configuration before the write could not be kept in the history."));
    ui->lblIntro->setText(intro);

    for (const ParamChange& change : changes)
        new QTreeWidgetItem(ui->twChanges, {configParamPath(change.index), change.before, change.after});
    ui->twChanges->setVisible(!changes.isEmpty());
    ui->lblNoChanges->setVisible(changes.isEmpty());
    for (int column = 0; column < ui->twChanges->columnCount(); ++column)
        ui->twChanges->resizeColumnToContents(column);
}

WritePreviewDlg::~WritePreviewDlg()
{
    delete ui;
}

QStringList WritePreviewDlg::shownParams() const
{
    QStringList params;
    if (ui->twChanges->isHidden())
        return params;
    for (int row = 0; row < ui->twChanges->topLevelItemCount(); ++row)
        params << ui->twChanges->topLevelItem(row)->text(0);
    return params;
}
