#include "scope/scopedlg.h"
#include "ui_scopedlg.h"

#include "app/globals.h"
#include "app/mainwindow.h"
#include "device/energizer.h"

#include <QPixmap>
#include <QPushButton>

ScopeDlg::ScopeDlg(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::ScopeDlg)
{
    ui->setupUi(this);

    const auto buttons = findChildren<QPushButton*>();
    for (QPushButton* button : buttons)
        button->setStyleSheet(mainWindow->buttonStyleSheet());

    connect(ui->btnClose, &QPushButton::clicked, this, &ScopeDlg::close);
    // The stone stays red until the next status refresh.
    connect(energizer, &Energizer::paramChanged, this, &ScopeDlg::paramChanged);
}

ScopeDlg::~ScopeDlg()
{
    delete ui;
}

void ScopeDlg::paramChanged()
{
    ui->lblComStatus->setPixmap(QPixmap(energizer->online ? QStringLiteral(":/images/greenStone.png")
                                                          : QStringLiteral(":/images/redStone.png")));
}
