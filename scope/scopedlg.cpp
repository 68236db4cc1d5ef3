#include "scope/scopedlg.h"

ScopeDlg::ScopeDlg(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Scopes"));
}
