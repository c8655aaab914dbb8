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

#include <algorithm>
#include <array>

namespace {

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

// Where the controls go, in the order of frmAbout::layOut: title, version, description, OK; and the separator.
struct Layout
{
    QSize client;
    std::array<QRect, 4> places;
    QRect greyLine;
    QRect whiteLine;
};

Layout designLayout()
{
    constexpr std::array<TwipsRect, 4> design = {
        {{1050, 240, 3885, 480}, {1050, 780, 3885, 225}, {1050, 1125, 3885, 1170}, {4245, 2625, 1380, 345}}};
    Layout layout{TwipsRect{0, 0, 5730, 3555}.toPixels().size(), {}, {}, {}};
    std::transform(design.begin(), design.end(), layout.places.begin(),
                   [](const TwipsRect &twips) { return twips.toPixels(); });
    const int right = Twips::toPixels(LineRight);
    const int greyLeft = Twips::toPixels(GreyLineLeft);
    const int whiteLeft = Twips::toPixels(WhiteLineLeft);
    const int greyTop = Twips::toPixels(GreyLineTop);
    static_assert(WhiteLineTop - GreyLineTop == Twips::PerPixel, "the white line lies one pixel lower");
    layout.greyLine = QRect(greyLeft, greyTop, right - greyLeft + 1, 1);
    layout.whiteLine = QRect(whiteLeft, greyTop + 1, right - whiteLeft + 1, 2);
    return layout;
}

// The texts from the left edge, where the design keeps room for an icon it never shows, and OK a finger's size.
Layout compactLayout()
{
    constexpr int Width = 320;
    constexpr int Margin = 16;
    constexpr int OkWidth = 100;
    constexpr int LineTop = 140;
    constexpr int OkTop = LineTop + 10;
    Layout layout{{Width, OkTop + Controls::TouchTarget + Margin},
                  {QRect(Margin, 12, Width - 2 * Margin, 32), QRect(Margin, 48, Width - 2 * Margin, 18),
                   QRect(Margin, 72, Width - 2 * Margin, 60),
                   QRect(Width - Margin - OkWidth, OkTop, OkWidth, Controls::TouchTarget)},
                  QRect(Margin / 2, LineTop, Width - Margin, 1), {}};
    layout.whiteLine = layout.greyLine.translated(0, 1).adjusted(1, 0, 0, 1);
    return layout;
}

Layout layoutFor(const QRect &area, const QMargins &frame, Controls::Pointer pointer)
{
    const Layout design = designLayout();
    return Controls::takesDesign(design.client, area, frame, pointer) ? design : compactLayout();
}

} // namespace

frmAbout::frmAbout(QWidget *parent, Controls::Pointer pointer)
    : QDialog(parent)
    , m_area(Controls::dialogArea(parent, pointer))
{
    createControls();
    layOut(pointer);
    placeAtDesignPosition();
    Form_Load();
}

void frmAbout::layOut(Controls::Pointer pointer)
{
    const Layout layout = layoutFor(m_area, Controls::frameAround(this), pointer);
    Controls::makeFixedDialog(this, layout.client);
    const std::array<QWidget *, 4> placed = {lblTitle, lblVersion, lblDescription, cmdOK};
    for (std::size_t i = 0; i < placed.size(); ++i)
        placed[i]->setGeometry(layout.places[i]);
    m_greyLine = layout.greyLine;
    m_whiteLine = layout.whiteLine;
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

    lblTitle = Controls::createLabel("lblTitle", QStringLiteral("qelo"), this);
    Controls::setForeColor(lblTitle, Black);

    lblVersion = Controls::createLabel("lblVersion", QStringLiteral("ﾊﾞｰｼﾞｮﾝ"), this);

    lblDescription = Controls::createLabel("lblDescription", QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝの説明"), this);
    Controls::setForeColor(lblDescription, Black);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    // The default button (Enter); Esc closes a QDialog as the cancel button would.
    cmdOK->setDefault(true);
    cmdOK->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
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
