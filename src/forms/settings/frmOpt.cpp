#include "frmOpt.h"

frmOpt::frmOpt(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("設定"));
}
