#include "app/mainwindow.h"
#include "ui_mainwindow.h"

// TODO: response reader (stub so the tree builds).
void MainWindow::readData() {}
void MainWindow::dispatchReply(const QByteArray&) {}
void MainWindow::decodeStatus(const QByteArray&) {}
