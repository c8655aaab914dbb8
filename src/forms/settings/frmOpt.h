#pragma once

#include "modules/mdlUser.h"
#include "platform/Controls.h"

#include <QDialog>
#include <QRect>
#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

// The settings dialog: four combo boxes edit the four values of mdlUser::Opt.
// Created when opened, destroyed when closed; each opening shows Opt as it then is.
class frmOpt : public QDialog
{
    Q_OBJECT

public:
    explicit frmOpt(QWidget *parent = nullptr, Controls::Pointer pointer = Controls::Pointer::Mouse);

    // Where "変更" writes; mdlUser::settingsFiles() unless a caller sets others.
    void setSettingsFiles(const mdlUser::SettingsFiles &files) { m_settingsFiles = files; }

public slots:
    void cmdOk_Click();
    void cmdCancel_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void layOut(Controls::Pointer pointer);
    void Form_Load();
    void ViewTimeList();
    void ViewStringLen();
    void ViewAnsTimeList();
    void ViewKigouNum();
    void reportSaveFailure(const QString &path, const QString &reason);

    mdlUser::SettingsFiles m_settingsFiles;
    QRect m_area;

    QLabel *Label1 = nullptr;
    QComboBox *cmbViewTime = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *cmbStringLen = nullptr;
    QLabel *Label4 = nullptr;
    QComboBox *cmbKigouNum = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLabel *Label3 = nullptr;
    QComboBox *cmbViewAnsTime = nullptr;
    QPushButton *cmdOk = nullptr;
    QPushButton *cmdCancel = nullptr;
};
