#include "frmAbout.h"

#include "platform/AppInfo.h"
#include "platform/Controls.h"
#include "platform/Convert.h"
#include "platform/FittingLabel.h"
#include "platform/Twips.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr float DesignClientWidth = 5730;
constexpr float DesignClientHeight = 3555;
// The client area's top-left corner, from the screen's top-left corner.
constexpr float DesignLeft = 2340;
constexpr float DesignTop = 1935;

// Line1: the grey line (index 1) and, one pixel lower, the white two-pixel line (index 0).
constexpr float GreyLineLeft = 90;
constexpr float GreyLineTop = 2445;
constexpr float WhiteLineLeft = 105;
constexpr float WhiteLineTop = 2460;
constexpr float LineRight = 5654;
constexpr quint32 GreyLineColour = 0x808080;
constexpr quint32 WhiteLineColour = 0xFFFFFF;
constexpr quint32 Black = 0x000000;

} // namespace

frmAbout::frmAbout(QWidget *parent, Controls::Pointer pointer)
    : QDialog(parent)
    , m_area(Controls::dialogArea(parent, pointer))
{
    createControls();
    if (pointer == Controls::Pointer::Touch || !Controls::fitsIn(size(), m_area, parent))
        layOutForTouch();
    placeAtDesignPosition();
    Form_Load();
}

void frmAbout::layOutForTouch()
{
    // The texts from the left edge, where the design keeps room for an icon it never shows, and OK a finger's size.
    constexpr int Width = 320;
    constexpr int Margin = 16;
    constexpr int OkWidth = 100;
    constexpr int LineTop = 140;
    constexpr int OkTop = LineTop + 10;
    setFixedSize(Width, OkTop + Controls::TouchTarget + Margin);
    Controls::place(lblTitle, QRect(Margin, 12, Width - 2 * Margin, 32));
    Controls::place(lblVersion, QRect(Margin, 48, Width - 2 * Margin, 18));
    Controls::place(lblDescription, QRect(Margin, 72, Width - 2 * Margin, 60));
    m_greyLine = QRect(Margin / 2, LineTop, Width - Margin, 1);
    m_whiteLine = m_greyLine.translated(0, 1).adjusted(1, 0, 0, 1);
    Controls::place(cmdOK, QRect(Width - Margin - OkWidth, OkTop, OkWidth, Controls::TouchTarget));
}

void frmAbout::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Controls::keepInside(this, m_area);
}

void frmAbout::createControls()
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    Controls::makeFixedDialog(this, DesignClientWidth, DesignClientHeight);

    lblTitle = Controls::createLabel("lblTitle", QStringLiteral("qelo"), this);
    Controls::setForeColor(lblTitle, Black);
    Controls::place(lblTitle, 1050, 240, 3885, 480);

    lblVersion = Controls::createLabel("lblVersion", QStringLiteral("ﾊﾞｰｼﾞｮﾝ"), this);
    Controls::place(lblVersion, 1050, 780, 3885, 225);

    lblDescription = Controls::createLabel("lblDescription", QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝの説明"), this);
    Controls::setForeColor(lblDescription, Black);
    Controls::place(lblDescription, 1050, 1125, 3885, 1170);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    // The default button (Enter); Esc closes a QDialog as the cancel button would.
    cmdOK->setDefault(true);
    Controls::place(cmdOK, 4245, 2625, 1380, 345);
    cmdOK->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    const int right = Twips::toPixels(LineRight);
    const int greyLeft = Twips::toPixels(GreyLineLeft);
    const int whiteLeft = Twips::toPixels(WhiteLineLeft);
    const int greyTop = Twips::toPixels(GreyLineTop);
    static_assert(WhiteLineTop - GreyLineTop == Twips::PerPixel, "the white line lies one pixel lower");
    m_greyLine = QRect(greyLeft, greyTop, right - greyLeft + 1, 1);
    m_whiteLine = QRect(whiteLeft, greyTop + 1, right - whiteLeft + 1, 2);
}

void frmAbout::placeAtDesignPosition()
{
    // Screen coordinates: the screen the opening window is on, else the primary one.
    const QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint();
    // setGeometry places the client area, not the frame; being moved, the dialog is not centred.
    setGeometry(origin.x() + Twips::toPixels(DesignLeft), origin.y() + Twips::toPixels(DesignTop), width(),
                height());
}

void frmAbout::Form_Load()
{
    setWindowTitle(captionFor(AppInfo::title()));
    lblVersion->setText(versionLine(AppInfo::versionMajor(), AppInfo::versionMinor(), AppInfo::versionRevision()));
    lblTitle->setText(AppInfo::title());
}

QString frmAbout::captionFor(const QString &title)
{
    return title + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報");
}

QString frmAbout::versionLine(int major, int minor, int revision)
{
    return QStringLiteral("ﾊﾞｰｼﾞｮﾝ %1.%2.%3").arg(major).arg(minor).arg(revision);
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);

    // The etched separator: filled rectangles put each line on exact pixel rows.
    QPainter painter(this);
    painter.fillRect(m_greyLine, Convert::fromBgr(GreyLineColour));
    painter.fillRect(m_whiteLine, Convert::fromBgr(WhiteLineColour));
}
