#include "app/mainwindow.h"
#include "ui_mainwindow.h"

// TODO: link transport (stub so the tree builds).
void MainWindow::energizerConnecting() {}
void MainWindow::closeConnection() {}
void MainWindow::writeData(const QByteArray&) {}
void MainWindow::displayError(QAbstractSocket::SocketError) {}
void MainWindow::connected() {}
