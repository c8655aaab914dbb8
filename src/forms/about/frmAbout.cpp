#include "frmAbout.h"

frmAbout::frmAbout(QWidget *parent)
    : QDialog(parent)
{
}
