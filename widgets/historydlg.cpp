#include "widgets/historydlg.h"
#include "ui_historydlg.h"

#include "protocol/configdiff.h"
#include "protocol/configxml.h"
#include "services/historychanges.h"
#include "services/configpush.h"
#include "services/historykeeper.h"
#include "widgets/timelinemodel.h"
#include "widgets/writepreviewdlg.h"
#include "services/configtransfer.h"

#include <QCheckBox>
#include <QFileDialog>

#include <algorithm>

HistoryDlg::HistoryDlg(HistoryKeeper& keeper, TimelineStore* timeline, ConfigTransfer& transfer, ConfigPush& push,
                       QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::HistoryDlg)
    , m_keeper(keeper)
    , m_transfer(transfer)
    , m_push(push)
    , m_model(new TimelineModel(keeper.store(), timeline, this))
{
    ui->setupUi(this);
    ui->tvEntries->setModel(m_model);
    const std::pair<QCheckBox*, TimelineGroup> filters[] = {
        {ui->chkConfiguration, TimelineGroup::Configuration}, {ui->chkConnection, TimelineGroup::Connection},
        {ui->chkAlarms, TimelineGroup::Alarms}, {ui->chkFaults, TimelineGroup::Faults}, {ui->chkZones, TimelineGroup::Zones}};
    for (const auto& filter : filters) {
        connect(filter.first, &QCheckBox::toggled, this, [this, group = filter.second](bool shown) {
            const QVector<qint64> selected = selectedIds();
            m_model->setGroupShown(group, shown);
            selectIds(selected);
        });
    }
    ui->splitter->setStretchFactor(0, 3);
    ui->splitter->setStretchFactor(1, 2);
    ui->lblEnergizer->setText(
        tr("Energizer %1 on %2").arg(keeper.address()).arg(keeper.link().isEmpty() ? tr("no link") : keeper.link()));

    askSaveFileName = [this](qint64 id) {
        return QFileDialog::getSaveFileName(this, tr("Export history entry"),
                                            QStringLiteral("history-%1.xml").arg(id), tr("XML files (*.xml)"));
    };

    connect(ui->tvEntries->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        showDiff();
        updateButtons();
    });
    connect(ui->btnExport, &QPushButton::clicked, this, &HistoryDlg::exportEntry);
    connect(ui->btnRestore, &QPushButton::clicked, this, &HistoryDlg::restoreEntry);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::close);

    // Any read of the energizer, this dialog's or another's, is its block now.
    connect(&transfer, &ConfigTransfer::readFinished, this,
            [this](ConfigTransfer::Outcome outcome, const QByteArray& reply) {
                if (outcome == ConfigTransfer::Outcome::Done && blockFromReply(reply, &m_current))
                    m_haveCurrent = true;
                else if (!m_haveCurrent)
                    showStatus(ConfigTransfer::readText(outcome), false);
                showDiff();
            });
    connect(&push, &ConfigPush::previewReady, this, [this](const QVector<ParamChange>& changes, qint64 backupId) {
        if (!m_restoring)
            return;
        auto* preview = new WritePreviewDlg(changes, backupId, this);
        preview->setAttribute(Qt::WA_DeleteOnClose);
        connect(preview, &QDialog::accepted, this, [this] {
            showStatus(tr("Writing configuration to energizer..."), true);
            m_push.confirm();
        });
        connect(preview, &QDialog::rejected, &m_push, &ConfigPush::cancel);
        preview->open();
    });
    connect(&push, &ConfigPush::finished, this, [this](bool ok, const QString& text) {
        if (!m_restoring)
            return;
        m_restoring = false;
        showStatus(text, ok);
        const QVector<qint64> selected = selectedIds();
        reload();
        selectIds(selected);
        readCurrent();
    });

    reload();
    readCurrent();
}

HistoryDlg::~HistoryDlg()
{
    delete ui;
}

void HistoryDlg::setRestoreAllowed(bool allowed, const QString& why)
{
    m_restoreAllowed = allowed;
    m_restoreWhy = why;
    updateButtons();
}

QVector<qint64> HistoryDlg::shownIds() const
{
    QVector<qint64> ids;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (const HistoryEntry* entry = m_model->historyEntry(row))
            ids << entry->id;
    }
    return ids;
}

void HistoryDlg::selectIds(const QVector<qint64>& ids)
{
    QItemSelection selection;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const HistoryEntry* entry = m_model->historyEntry(row);
        if (entry && ids.contains(entry->id))
            selection.select(m_model->index(row, 0), m_model->index(row, TimelineModel::ColumnCount - 1));
    }
    ui->tvEntries->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

QString HistoryDlg::statusText() const
{
    return ui->lblStatus->text();
}

void HistoryDlg::showStatus(const QString& text, bool ok)
{
    ui->lblStatus->setStyleSheet(ok ? QStringLiteral("color: #16803a; font-weight: bold;")
                                    : QStringLiteral("color: #c0392b; font-weight: bold;"));
    ui->lblStatus->setText(text);
}

void HistoryDlg::reload()
{
    m_model->setEnergizer(m_keeper.link(), m_keeper.address());
    m_model->reload();
    for (int column = 0; column < TimelineModel::ColumnCount; ++column)
        ui->tvEntries->resizeColumnToContents(column);
    if (!m_model->problems().isEmpty())
        showStatus(m_model->problems().join(QStringLiteral("; ")), false);
    else if (m_model->rowCount() == 0 && m_model->historyEntries().isEmpty())
        showStatus(tr("No entries for this energizer yet"), true);
    showDiff();
    updateButtons();
}

void HistoryDlg::readCurrent()
{
    if (m_transfer.busy() || m_push.busy())
        return;
    m_transfer.read();
}

QVector<HistoryEntry> HistoryDlg::selectedEntries() const
{
    QVector<HistoryEntry> selected;
    const QModelIndexList rows = ui->tvEntries->selectionModel()->selectedRows();
    for (const QModelIndex& row : rows) {
        if (const HistoryEntry* entry = m_model->historyEntry(row.row()))
            selected << *entry;
    }
    // Oldest first, so a diff reads from the earlier version to the later one.
    std::sort(selected.begin(), selected.end(),
              [](const HistoryEntry& a, const HistoryEntry& b) { return a.id < b.id; });
    return selected;
}

QVector<qint64> HistoryDlg::selectedIds() const
{
    QVector<qint64> ids;
    for (const HistoryEntry& entry : selectedEntries())
        ids << entry.id;
    return ids;
}

void HistoryDlg::showDiff()
{
    ui->twDiff->clear();
    const QVector<HistoryEntry> selected = selectedEntries();
    const auto header = [this](const QString& first, const QString& second) {
        ui->twDiff->headerItem()->setText(1, first);
        ui->twDiff->headerItem()->setText(2, second);
    };
    if (selected.isEmpty() || selected.size() > 2) {
        header(QString(), QString());
        ui->lblCompare->setText(
            tr("Select one entry to compare it with the energizer now, or two to compare them with each other."));
        return;
    }
    for (const HistoryEntry& entry : selected) {
        if (!entry.problem.isEmpty()) {
            header(QString(), QString());
            ui->lblCompare->setText(entry.problem);
            return;
        }
    }
    const QString first = tr("Entry #%1").arg(selected.first().id);
    QVector<ParamChange> changes;
    QString second;
    QString against; // second, as the sentence names it
    if (selected.size() == 2) {
        second = tr("Entry #%1").arg(selected.last().id);
        against = second;
        changes = configChanges(selected.first().block, selected.last().block);
    } else {
        second = tr("Energizer now");
        against = tr("the energizer now");
        if (!m_haveCurrent) {
            header(first, second);
            ui->lblCompare->setText(tr("Reading the energizer's configuration..."));
            return;
        }
        changes = configChanges(selected.first().block, m_current);
    }
    header(first, second);
    for (const ParamChange& change : changes)
        new QTreeWidgetItem(ui->twDiff, {configParamPath(change.index), change.before, change.after});
    for (int column = 0; column < ui->twDiff->columnCount(); ++column)
        ui->twDiff->resizeColumnToContents(column);
    ui->lblCompare->setText(changes.isEmpty()
                                ? tr("%1 against %2: no parameter differs").arg(first, against)
                                : tr("%1 against %2: parameters that differ: %3").arg(first, against).arg(changes.size()));
}

void HistoryDlg::updateButtons()
{
    const QVector<HistoryEntry> selected = selectedEntries();
    const bool one = selected.size() == 1 && selected.first().problem.isEmpty();
    ui->btnExport->setEnabled(one);
    ui->btnRestore->setEnabled(one && m_restoreAllowed && !m_restoring);
    ui->btnRestore->setToolTip(m_restoreAllowed ? QString() : m_restoreWhy);
}

void HistoryDlg::exportEntry()
{
    const QVector<HistoryEntry> selected = selectedEntries();
    if (selected.size() != 1)
        return;
    const HistoryEntry& entry = selected.first();
    const QString path = askSaveFileName(entry.id);
    if (path.isEmpty())
        return;
    QString error;
    if (!saveConfigFile(path, configToXml(entry.block), &error)) {
        showStatus(tr("Entry #%1 not exported: %2").arg(entry.id).arg(error), false);
        return;
    }
    showStatus(tr("Entry #%1 exported to %2").arg(entry.id).arg(path), true);
}

void HistoryDlg::restoreEntry()
{
    const QVector<HistoryEntry> selected = selectedEntries();
    if (selected.size() != 1 || !m_restoreAllowed)
        return;
    if (!m_push.start(selected.first().block, HistoryKind::Restored)) {
        showStatus(tr("The energizer is busy with another exchange; try again in a moment"), false);
        return;
    }
    m_restoring = true;
    updateButtons();
    showStatus(tr("Reading the energizer's configuration before writing..."), true);
}
