#include "widgets/scopedlg.h"
#include "ui_scopedlg.h"

#include "protocol/energizer.h"
#include "link/station.h"
#include "widgets/choicebuttons.h"
#include "widgets/scopeunit.h"

#include <QPixmap>
#include <QPushButton>

ScopeDlg::ScopeDlg(const ConfigModel& config, const Station& station, const QString& buttonStyle, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::ScopeDlg)
    , m_station(station)
{
    ui->setupUi(this);
    // The units need the block and the station, which a form cannot hand them.
    ui->tabWidget->addTab(new ScopeUnit(1, config, station), tr("Zone 1"));
    ui->tabWidget->addTab(new ScopeUnit(2, config, station), tr("Zone 2"));

    styleButtons(this, buttonStyle);

    connect(ui->btnClose, &QPushButton::clicked, this, &ScopeDlg::close);
    // The stone stays red until the next status refresh.
    connect(&station.energizer(), &Energizer::paramChanged, this, &ScopeDlg::paramChanged);
}

ScopeDlg::~ScopeDlg()
{
    delete ui;
}

void ScopeDlg::paramChanged()
{
    ui->lblComStatus->setPixmap(QPixmap(m_station.energizer().online ? QStringLiteral(":/images/greenStone.png")
                                                          : QStringLiteral(":/images/redStone.png")));
}
