#include "app/mainwindow.h"
#include "ui_mainwindow.h"

// TODO: status panel refresh (stub so the tree builds).
void MainWindow::paramChanged() {}
