#pragma once

#include <QDialog>

class frmOpt : public QDialog
{
    Q_OBJECT

public:
    explicit frmOpt(QWidget *parent = nullptr);
};
