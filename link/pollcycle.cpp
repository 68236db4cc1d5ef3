#include "app/mainwindow.h"
#include "ui_mainwindow.h"

// TODO: poll and command cycle (stub so the tree builds).
void MainWindow::timerTick() {}
void MainWindow::energCommand() {}
