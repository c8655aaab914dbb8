#pragma once

#include "modules/mdlUser.h"

#include <QDialog>
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
    explicit frmOpt(QWidget *parent = nullptr);

    // Where "変更" writes; mdlUser::settingsFiles() unless a caller sets others.
    void setSettingsFiles(const mdlUser::SettingsFiles &files) { m_settingsFiles = files; }

public slots:
    void cmdOk_Click();
    void cmdCancel_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
    void Form_Load();
    void ViewTimeList();
    void ViewStringLen();
    void ViewAnsTimeList();
    void ViewKigouNum();
    void reportSaveFailure(const QString &path, const QString &reason);

    mdlUser::SettingsFiles m_settingsFiles;

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
