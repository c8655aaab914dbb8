#include "frmMain.h"

#include "Fonts.h"
#include "KeyLayout.h"
#include "TouchLayout.h"
#include "forms/about/frmAbout.h"
#include "forms/settings/frmOpt.h"
#include "modules/mdlUser.h"
#include "platform/Controls.h"
#include "platform/Convert.h"
#include "platform/FittingLabel.h"
#include "platform/OneShotTimer.h"
#include "platform/TouchStyle.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QMenuBar>
#include <QPushButton>

using namespace mdlUser;

namespace {

constexpr float DesignClientWidth = 8595;
constexpr float DesignClientHeight = 4680;
// Below this the design key size could not give 55 cells under the frame.
constexpr int MinimumClientWidthPx = 480;
constexpr int MinimumClientHeightPx = 200;

constexpr float KeyDesignLeft = 4200;
constexpr float KeyDesignTop = 1800;
constexpr float KeyDesignSize = 375;

// Colours are 0x00BBGGRR.
constexpr quint32 Blue = 0xFF0000;
constexpr quint32 Red = 0x0000FF;

} // namespace

frmMain::frmMain(Controls::Pointer pointer, QWidget *parent)
    : QMainWindow(parent)
    , m_pointer(pointer)
{
    createControls();
    createMenu();
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::createControls()
{
    setWindowTitle(QStringLiteral("qelo"));

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    // A finger's keys fill the whole area below the frame, so a phone's window holds them at any size.
    if (!touch())
        m_client->setMinimumSize(MinimumClientWidthPx, MinimumClientHeightPx);
    setCentralWidget(m_client);

    const QFont buttonFont = Fonts::designFont(Fonts::ButtonPointSize);
    const QFont symbolFont = Fonts::designFont(Fonts::SymbolPointSize);

    frameTable = new QGroupBox(m_client);
    frameTable->setObjectName(QStringLiteral("frameTable"));
    m_frameTable.attach(frameTable);
    m_frameTable.setRect(1920, 0, 5055, 975);
    frameTable->hide();

    Command1 = new QPushButton(QStringLiteral("BS"), frameTable);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setFont(buttonFont);
    Controls::place(Command1, 3240, 360, 615, 375);

    cmdAns = new QPushButton(QStringLiteral("OK"), frameTable);
    cmdAns->setObjectName(QStringLiteral("cmdAns"));
    cmdAns->setFont(buttonFont);
    Controls::place(cmdAns, 4200, 240, 735, 495);

    lblInput = new FittingLabel(frameTable);
    lblInput->setObjectName(QStringLiteral("lblInput"));
    lblInput->setText(QStringLiteral("Label1"));
    lblInput->setFont(buttonFont);
    lblInput->setFrameStyle(QFrame::Box | QFrame::Plain);
    lblInput->setLineWidth(1);
    Controls::setBackColor(lblInput, 0xFFFFFF);
    Controls::place(lblInput, 120, 240, 3015, 615);

    timSub = new OneShotTimer(this);
    timSub->setObjectName(QStringLiteral("timSub"));
    timSub->setInterval(2000);

    timMain = new OneShotTimer(this);
    timMain->setObjectName(QStringLiteral("timMain"));
    timMain->setInterval(0);

    cmdStart = new QPushButton(QStringLiteral("スタート"), m_client);
    cmdStart->setObjectName(QStringLiteral("cmdStart"));
    cmdStart->setFont(buttonFont);
    Controls::place(cmdStart, 120, 120, 1575, 615);

    lblKey[0] = createKey(0);

    lblAns = new FittingLabel(m_client);
    lblAns->setObjectName(QStringLiteral("lblAns"));
    lblAns->setText(QStringLiteral("正解"));
    lblAns->setFont(symbolFont);
    Controls::setForeColor(lblAns, Red);
    Controls::place(lblAns, 120, 240, 1575, 495);
    lblAns->hide();

    lblData = new FittingLabel(m_client);
    lblData->setObjectName(QStringLiteral("lblData"));
    lblData->setText(QStringLiteral("Label1"));
    lblData->setFont(symbolFont);
    m_lblData.attach(lblData);
    m_lblData.setRect(1080, 1080, 7815, 375);
    lblData->hide();

    if (touch()) {
        const QFont captionFont = Fonts::designFont(TouchLayout::captionPointSize());
        for (QWidget *control : {static_cast<QWidget *>(Command1), static_cast<QWidget *>(cmdAns),
                                 static_cast<QWidget *>(lblInput), static_cast<QWidget *>(cmdStart)})
            control->setFont(captionFont);
        Controls::place(cmdStart, TouchLayout::startButton());
        placeFrameForTouch();
    }

    setTabOrder(cmdStart, cmdAns);
    setTabOrder(cmdAns, Command1);

    connect(cmdStart, &QPushButton::clicked, this, &frmMain::cmdStart_Click);
    connect(Command1, &QPushButton::clicked, this, &frmMain::Command1_Click);
    connect(cmdAns, &QPushButton::clicked, this, &frmMain::cmdAns_Click);
    connect(timMain, &OneShotTimer::timeout, this, &frmMain::timMain_Timer);
    connect(timSub, &OneShotTimer::timeout, this, &frmMain::timSub_Timer);
    m_client->installEventFilter(this);
}

void frmMain::createMenu()
{
    // The commands sit directly in the bar; a native or global menu bar shows only items with a menu.
    menuBar()->setNativeMenuBar(false);
    mnuEnd = menuBar()->addAction(QStringLiteral("終了"));
    mnuEnd->setObjectName(QStringLiteral("mnuEnd"));
    mnuOpt = menuBar()->addAction(QStringLiteral("設定"));
    mnuOpt->setObjectName(QStringLiteral("mnuOpt"));
    mnuAbout = menuBar()->addAction(QStringLiteral("バージョン"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    if (touch()) {
        menuBar()->setStyle(new TouchStyle(TouchLayout::MenuItem, this));
        menuBar()->setFont(Fonts::designFont(TouchLayout::captionPointSize()));
    }

    connect(mnuEnd, &QAction::triggered, this, &frmMain::mnuEnd_Click);
    connect(mnuOpt, &QAction::triggered, this, &frmMain::mnuOpt_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
}

FittingLabel *frmMain::createKey(int index)
{
    auto *key = new FittingLabel(m_client);
    key->setObjectName(QStringLiteral("lblKey"));
    key->setProperty("index", index);
    key->setText(QStringLiteral("Label1"));
    key->setFont(Fonts::designFont(Fonts::SymbolPointSize));
    key->setAlignment(Qt::AlignCenter);
    m_lblKey[index].attach(key);
    m_lblKey[index].setRect(KeyDesignLeft, KeyDesignTop, KeyDesignSize, KeyDesignSize);
    connect(key, &FittingLabel::clicked, this, [this, index] { lblKey_Click(index); });
    return key;
}

void frmMain::Form_Load()
{
    Opt = OptData{};
    InitKigou();
    InitSoftKey();
    LoadOpt(settingsFileToRead(settingsFiles()));

    // The size the window takes when the player restores it.
    resize(Twips::toPixels(DesignClientWidth),
           Twips::toPixels(DesignClientHeight) + menuBar()->sizeHint().height());
    setWindowState(Qt::WindowMaximized);
}

double frmMain::ScaleWidth() const
{
    return Twips::clientWidth(m_client);
}

double frmMain::ScaleHeight() const
{
    return Twips::clientHeight(m_client);
}

void frmMain::InitSoftKey()
{
    for (int i = 0; i < KigouCount; ++i) {
        if (i > 0)
            lblKey[i] = createKey(i);
        lblKey[i]->setText(KigouTable[i]);
        lblKey[i]->hide();
    }
    // The question and the verdict stay above the keys, as in the design's order.
    lblAns->raise();
    lblData->raise();
}

void frmMain::cmdStart_Click()
{
    StartPrg();
}

void frmMain::StartPrg()
{
    frameTable->hide();
    m_random.reseed();
    DataStr.clear();

    // Settings are kept in range on load and in the dialog; bounding here keeps every index safe.
    AnsLen = boundStringLen(Opt.StringLen);
    AnsKigouNum = boundKigouNum(Opt.KigouNum);
    for (int i = 0; i < AnsLen; ++i) {
        AnsIndex[i] = qint16(Convert::floor(double(m_random.draw()) * double(AnsKigouNum)));
        DataStr += KigouTable[AnsIndex[i]];
    }

    lblData->setText(DataStr);
    if (touch())
        sizeQuestionForTouch();
    m_lblData.setWidth(float((AnsLen + 1) * double(m_lblData.height())));

    const double x = Convert::floor(double(m_random.draw()) * (ScaleWidth() - m_lblData.width()));
    const double y = Convert::floor(double(m_random.draw()) * (ScaleHeight() - m_lblData.height()));
    m_lblData.setTop(float(y));
    m_lblData.setLeft(float(x));
    lblData->show();
    cmdStart->hide();

    timMain->setInterval(Convert::toInt32(Opt.ViewTime * 1000));
    timMain->setEnabled(true);
}

void frmMain::timMain_Timer()
{
    timMain->setEnabled(false);
    lblData->hide();
    VeiwKeyBorad();
}

KeyLayout::Grid frmMain::visibleGrid() const
{
    if (touch()) {
        return TouchLayout::gridFor(m_client->size(), Twips::toPixels(m_lblKey[0].width()),
                                    Twips::toPixels(m_frameTable.height()));
    }
    const qint32 keyHeight = Convert::toInt32(m_lblKey[0].height());
    const qint32 keyWidth = Convert::toInt32(m_lblKey[0].width());
    return KeyLayout::gridFor(ScaleWidth(), ScaleHeight(), keyWidth, keyHeight, m_frameTable.height());
}

KeyLayout::Grid frmMain::keyGrid() const
{
    return KeyLayout::gridWithRoomFor(visibleGrid(), AnsKigouNum);
}

void frmMain::VeiwKeyBorad()
{
    lblInput->setText(QString());
    if (touch())
        sizeKeysForTouch();

    // The symbols the question was drawn from, whatever the settings say by now.
    const int count = AnsKigouNum;
    m_cells = KeyLayout::placeKeys(keyGrid(), count, m_random);
    moveKeysToCells();
    for (int i = 0; i < count; ++i)
        lblKey[i]->show();
    frameTable->show();
}

void frmMain::moveKeysToCells()
{
    const qint32 keyHeight = Convert::toInt32(m_lblKey[0].height());
    const qint32 keyWidth = Convert::toInt32(m_lblKey[0].width());
    const double top = m_frameTable.height();
    for (std::size_t i = 0; i < m_cells.size(); ++i) {
        m_lblKey[i].setTop(float(double(keyHeight * m_cells[i].row) + top));
        m_lblKey[i].setLeft(float(double(keyWidth * m_cells[i].column) + 0));
    }
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize)
        clientResized();
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::clientResized()
{
    if (touch())
        placeFrameForTouch();
    // A turn survives a phone turned or a window snapped smaller: a question or keys it would cut come back in.
    const QPoint question = Controls::placeInside(lblData->geometry(), m_client->rect());
    if (lblData->isVisible() && question != lblData->pos()) {
        m_lblData.setLeft(float(Twips::fromPixels(question.x())));
        m_lblData.setTop(float(Twips::fromPixels(question.y())));
    }
    if (m_cells.empty() || lblKey[0]->isHidden())
        return;
    const KeyLayout::Grid inside =
        KeyLayout::cellsInside(ScaleWidth(), ScaleHeight(), Convert::toInt32(m_lblKey[0].width()),
                               Convert::toInt32(m_lblKey[0].height()), m_frameTable.height());
    const KeyLayout::Grid grid = KeyLayout::gridWithRoomFor(visibleGrid(), int(m_cells.size()));
    m_cells = KeyLayout::keepInside(m_cells, inside, grid, m_random);
    moveKeysToCells();
}

int frmMain::touchKeySize() const
{
    return TouchLayout::keySize(m_client->size(), Twips::toPixels(m_frameTable.height()), KigouCount);
}

void frmMain::placeFrameForTouch()
{
    const TouchLayout::Frame frame = TouchLayout::frameFor(m_client->width());
    m_frameTable.setPixelRect(frame.frame);
    Controls::place(lblInput, frame.input);
    Controls::place(Command1, frame.backspace);
    Controls::place(cmdAns, frame.ok);
}

void frmMain::sizeKeysForTouch()
{
    const int size = touchKeySize();
    const auto twips = float(Twips::fromPixels(size));
    if (m_lblKey[0].width() == twips)
        return;
    const QFont font = Fonts::designFont(TouchLayout::symbolPointSize(size));
    for (int i = 0; i < KigouCount; ++i) {
        m_lblKey[i].setRect(m_lblKey[i].left(), m_lblKey[i].top(), twips, twips);
        lblKey[i]->setFont(font);
    }
}

void frmMain::sizeQuestionForTouch()
{
    const int height = TouchLayout::questionHeight(m_client->width(), touchKeySize(), AnsLen);
    m_lblData.setHeight(float(Twips::fromPixels(height)));
    lblData->setFont(Fonts::designFont(TouchLayout::symbolPointSize(height)));
}

void frmMain::placeVerdictForTouch()
{
    const int key = Twips::toPixels(m_lblKey[0].width());
    Controls::place(lblAns, TouchLayout::verdict(Twips::toPixels(m_frameTable.height()),
                                                 Twips::toPixels(m_lblData.height()), key));
    lblAns->setFont(Fonts::designFont(TouchLayout::symbolPointSize(key)));
}

void frmMain::lblKey_Click(int index)
{
    if (index < 0 || index >= KigouCount)
        return;
    lblInput->setText(lblInput->text() + KigouTable[index]);
}

void frmMain::Command1_Click()
{
    QString text = lblInput->text();
    if (text.isEmpty())
        return;
    text.chop(1);
    lblInput->setText(text);
}

void frmMain::cmdAns_Click()
{
    const QString answer = lblInput->text();
    // Judged against the question as drawn: its length, not the setting's.
    const int length = AnsLen;
    bool right = false;
    if (answer.size() == length) {
        for (int i = 0; i < length; ++i) {
            const qint16 index = GetKigouIndex(answer.mid(i, 1));
            if (index == -1 || index != AnsIndex[i])
                break;
            if (i == length - 1)
                right = true;
        }
    }

    lblAns->setText(right ? QStringLiteral("正解") : QStringLiteral("不正解"));
    Controls::setForeColor(lblAns, right ? Blue : Red);
    ViewAnsCheck();
}

void frmMain::ViewAnsCheck()
{
    m_lblData.setTop(m_frameTable.height() + 10);
    m_lblData.setLeft(m_frameTable.left());
    lblData->show();
    for (QLabel *key : lblKey)
        key->hide();
    if (touch())
        placeVerdictForTouch();
    lblAns->show();

    timSub->setInterval(Convert::toInt32(Opt.ViewAnsTime * 1000));
    timSub->setEnabled(true);
}

void frmMain::timSub_Timer()
{
    timSub->setEnabled(false);
    lblAns->hide();
    StartPrg();
}

void frmMain::mnuEnd_Click()
{
    close();
}

void frmMain::mnuOpt_Click()
{
    Controls::showModal(new frmOpt(this, m_pointer));
}

void frmMain::mnuAbout_Click()
{
    Controls::showModal(new frmAbout(this, m_pointer));
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // Unloading the window ends its timers: an armed one never fires.
    timMain->setEnabled(false);
    timSub->setEnabled(false);
    QMainWindow::closeEvent(event);
}
