#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/globals.h"
#include "device/energizer.h"
#include "link/frames.h"

void MainWindow::timerTick()
{
    // Sent whatever the link state: a failed write is what reconnects.
    writeData(statusRequestFrame(energizer->address));
}

void MainWindow::energCommand()
{
    // Always the wished state of both zones, not just the clicked button.
    writeData(zoneCommandFrame(energizer->address, ui->btnHV1->isChecked(), ui->btnHV2->isChecked(),
                               ui->btnON1->isChecked(), ui->btnON2->isChecked()));
}
