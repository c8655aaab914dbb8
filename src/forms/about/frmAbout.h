#pragma once

#include "platform/Controls.h"

#include <QDialog>
#include <QRect>
#include <QString>

class QLabel;
class QPushButton;

// The About dialog: the program's title and version.
// Created when opened, destroyed when closed; each opening runs the load steps again.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget *parent = nullptr, Controls::Pointer pointer = Controls::Pointer::Mouse);

    // "<title>のﾊﾞｰｼﾞｮﾝ情報", no space between.
    static QString captionFor(const QString &title);
    // "ﾊﾞｰｼﾞｮﾝ major.minor.revision", plain decimal digits.
    static QString versionLine(int major, int minor, int revision);

public slots:
    void cmdOK_Click();

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void layOut(Controls::Pointer pointer);
    void placeAtDesignPosition();
    void Form_Load();

    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblDescription = nullptr;
    QPushButton *cmdOK = nullptr;
    // The etched separator's grey line; the white one lies a pixel lower.
    QRect m_greyLine;
    QRect m_whiteLine;
    QRect m_area;
};
