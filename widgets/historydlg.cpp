#include "widgets/historydlg.h"
#include "ui_historydlg.h"

#include "protocol/configdiff.h"
#include "protocol/configxml.h"
#include "services/historychanges.h"
#include "services/configpush.h"
#include "services/historykeeper.h"
#include "widgets/writepreviewdlg.h"
#include "services/configtransfer.h"

#include <QFileDialog>

#include <algorithm>

namespace {

constexpr int IdRole = Qt::UserRole;

// Indexed by HistoryKind.
const char* const KindTexts[] = {QT_TRANSLATE_NOOP("HistoryDlg", "read"), QT_TRANSLATE_NOOP("HistoryDlg", "backup"),
                                 QT_TRANSLATE_NOOP("HistoryDlg", "written"), QT_TRANSLATE_NOOP("HistoryDlg", "restored"),
                                 QT_TRANSLATE_NOOP("HistoryDlg", "sent")};

QString kindText(HistoryKind kind)
{
    return HistoryDlg::tr(KindTexts[static_cast<int>(kind)]);
}

} // namespace

HistoryDlg::HistoryDlg(HistoryKeeper& keeper, ConfigTransfer& transfer, ConfigPush& push, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::HistoryDlg)
    , m_keeper(keeper)
    , m_transfer(transfer)
    , m_push(push)
{
    ui->setupUi(this);
    ui->splitter->setStretchFactor(0, 3);
    ui->splitter->setStretchFactor(1, 2);
    ui->lblEnergizer->setText(
        tr("Energizer %1 on %2").arg(keeper.address()).arg(keeper.link().isEmpty() ? tr("no link") : keeper.link()));

    askSaveFileName = [this](qint64 id) {
        return QFileDialog::getSaveFileName(this, tr("Export history entry"),
                                            QStringLiteral("history-%1.xml").arg(id), tr("XML files (*.xml)"));
    };

    connect(ui->twEntries, &QTreeWidget::itemSelectionChanged, this, [this] {
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
        const QVector<qint64> selected = [this] {
            QVector<qint64> ids;
            for (const HistoryEntry& entry : selectedEntries())
                ids << entry.id;
            return ids;
        }();
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
    for (const HistoryEntry& entry : m_entries)
        ids << entry.id;
    return ids;
}

void HistoryDlg::selectIds(const QVector<qint64>& ids)
{
    ui->twEntries->clearSelection();
    for (int row = 0; row < ui->twEntries->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = ui->twEntries->topLevelItem(row);
        if (ids.contains(item->data(0, IdRole).toLongLong()))
            item->setSelected(true);
    }
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
    ui->twEntries->clear();
    m_entries.clear();
    HistoryStore* store = m_keeper.store();
    if (!store || !store->isAvailable()) {
        showStatus(tr("No history is kept: %1").arg(store ? store->problem() : tr("this window has no history file")),
                   false);
        updateButtons();
        return;
    }
    HistoryFilter filter;
    filter.link = m_keeper.link();
    filter.address = m_keeper.address();
    const HistoryResult<QVector<HistoryEntry>> listed = store->list(filter);
    if (!listed.ok()) {
        showStatus(tr("The history could not be read: %1").arg(listed.error), false);
        updateButtons();
        return;
    }
    m_entries = listed.value;
    for (const HistoryEntry& entry : qAsConst(m_entries)) {
        auto* item = new QTreeWidgetItem(ui->twEntries,
                                         {QString::number(entry.id),
                                          entry.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                          kindText(entry.kind), entry.user,
                                          historyChanges(entry) < 0 ? QString() : QString::number(historyChanges(entry))});
        item->setData(0, IdRole, entry.id);
        item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(3, entry.host.isEmpty() ? entry.user : entry.user + QLatin1Char('@') + entry.host);
        if (!entry.problem.isEmpty())
            item->setToolTip(0, entry.problem);
    }
    for (int column = 0; column < ui->twEntries->columnCount(); ++column)
        ui->twEntries->resizeColumnToContents(column);
    if (m_entries.isEmpty())
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
    const auto items = ui->twEntries->selectedItems();
    for (const QTreeWidgetItem* item : items) {
        const qint64 id = item->data(0, IdRole).toLongLong();
        const auto it = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                     [id](const HistoryEntry& entry) { return entry.id == id; });
        if (it != m_entries.cend())
            selected << *it;
    }
    // Oldest first, so a diff reads from the earlier version to the later one.
    std::sort(selected.begin(), selected.end(),
              [](const HistoryEntry& a, const HistoryEntry& b) { return a.id < b.id; });
    return selected;
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
