#include "frmMain.h"

#include "Fonts.h"
#include "KeyLayout.h"
#include "MainLayout.h"
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
    applyStartLayout();
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::createControls()
{
    setWindowTitle(QStringLiteral("qelo"));

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);

    // Places, sizes and fonts come from the layout at each step (applyStartLayout and onwards).
    frameTable = new QGroupBox(m_client);
    frameTable->setObjectName(QStringLiteral("frameTable"));
    m_frameTable.attach(frameTable);
    frameTable->hide();

    Command1 = new QPushButton(QStringLiteral("BS"), frameTable);
    Command1->setObjectName(QStringLiteral("Command1"));

    cmdAns = new QPushButton(QStringLiteral("OK"), frameTable);
    cmdAns->setObjectName(QStringLiteral("cmdAns"));

    lblInput = new FittingLabel(frameTable);
    lblInput->setObjectName(QStringLiteral("lblInput"));
    lblInput->setText(QStringLiteral("Label1"));
    lblInput->setFrameStyle(QFrame::Box | QFrame::Plain);
    lblInput->setLineWidth(1);
    Controls::setBackColor(lblInput, 0xFFFFFF);

    timSub = new OneShotTimer(this);
    timSub->setObjectName(QStringLiteral("timSub"));
    timSub->setInterval(2000);

    timMain = new OneShotTimer(this);
    timMain->setObjectName(QStringLiteral("timMain"));
    timMain->setInterval(0);

    cmdStart = new QPushButton(QStringLiteral("スタート"), m_client);
    cmdStart->setObjectName(QStringLiteral("cmdStart"));

    lblKey[0] = createKey(0);

    lblAns = new FittingLabel(m_client);
    lblAns->setObjectName(QStringLiteral("lblAns"));
    lblAns->setText(QStringLiteral("正解"));
    Controls::setForeColor(lblAns, Red);
    lblAns->hide();

    lblData = new FittingLabel(m_client);
    lblData->setObjectName(QStringLiteral("lblData"));
    lblData->setText(QStringLiteral("Label1"));
    m_lblData.attach(lblData);
    lblData->hide();

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

    connect(mnuEnd, &QAction::triggered, this, &frmMain::mnuEnd_Click);
    connect(mnuOpt, &QAction::triggered, this, &frmMain::mnuOpt_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
}

void frmMain::applyStartLayout()
{
    const MainLayout::Layout layout = currentLayout();
    m_client->setMinimumSize(layout.minimumClient);
    const QFont caption = Fonts::designFont(layout.captionPoints);
    for (QWidget *control : std::initializer_list<QWidget *>{Command1, cmdAns, lblInput, cmdStart})
        control->setFont(caption);
    Controls::place(cmdStart, layout.start);
    placeFrame(layout);
    menuBar()->setStyle(new TouchStyle(layout.menuItem, this));
    menuBar()->setFont(Fonts::designFont(layout.menuPoints));
}

FittingLabel *frmMain::createKey(int index)
{
    auto *key = new FittingLabel(m_client);
    key->setObjectName(QStringLiteral("lblKey"));
    key->setProperty("index", index);
    key->setText(QStringLiteral("Label1"));
    key->setAlignment(Qt::AlignCenter);
    m_lblKey[index].attach(key);
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
    sizeKeys(currentLayout());
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
    const MainLayout::Layout layout = currentLayout();
    m_lblData.setHeight(layout.questionHeight);
    m_lblData.setWidth(layout.questionWidth);
    lblData->setFont(Fonts::designFont(layout.questionPoints));

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

MainLayout::Layout frmMain::currentLayout() const
{
    const bool keysShown = !m_cells.empty() && !lblKey[0]->isHidden();
    return MainLayout::layoutFor({m_pointer, m_client->size(), AnsLen, AnsKigouNum,
                                  keysShown ? Twips::toPixels(m_lblKey[0].width()) : 0});
}

KeyLayout::Grid frmMain::keyGrid() const
{
    return currentLayout().grid;
}

void frmMain::placeFrame(const MainLayout::Layout &layout)
{
    m_frameTable.setRect(layout.frame);
    Controls::place(lblInput, layout.input);
    Controls::place(Command1, layout.backspace);
    Controls::place(cmdAns, layout.ok);
}

void frmMain::sizeKeys(const MainLayout::Layout &layout)
{
    // A new font on 55 keys costs more than placing them: only a new size sets one.
    if (m_lblKey[0].width() == layout.key)
        return;
    const QFont font = Fonts::designFont(layout.keyPoints);
    for (int i = 0; i < KigouCount; ++i) {
        m_lblKey[i].setRect(m_lblKey[i].left(), m_lblKey[i].top(), layout.key, layout.key);
        lblKey[i]->setFont(font);
    }
}

void frmMain::VeiwKeyBorad()
{
    lblInput->setText(QString());
    const MainLayout::Layout layout = currentLayout();
    sizeKeys(layout);

    // The symbols the question was drawn from, whatever the settings say by now.
    const int count = AnsKigouNum;
    m_cells = KeyLayout::placeKeys(layout.grid, count, m_random);
    moveKeysToCells(layout);
    for (int i = 0; i < count; ++i)
        lblKey[i]->show();
    frameTable->show();
}

void frmMain::moveKeysToCells(const MainLayout::Layout &layout)
{
    const qint32 key = Convert::toInt32(layout.key);
    const double top = layout.frame.height;
    for (std::size_t i = 0; i < m_cells.size(); ++i) {
        m_lblKey[i].setTop(float(double(key * m_cells[i].row) + top));
        m_lblKey[i].setLeft(float(double(key * m_cells[i].column) + 0));
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
    const MainLayout::Layout layout = currentLayout();
    placeFrame(layout);
    if (!lblAns->isHidden()) {
        // The correct string stays under the input line, wherever the size puts that; only a question is moved.
        placeAnswer(layout);
    } else if (!lblData->isHidden()) {
        // A question that a phone turned or a window snapped smaller would cut comes back in.
        const QRect question = Controls::placeInside(lblData->geometry(), {}, m_client->rect());
        if (question != lblData->geometry()) {
            m_lblData.setLeft(float(Twips::fromPixels(question.x())));
            m_lblData.setTop(float(Twips::fromPixels(question.y())));
        }
    }
    if (m_cells.empty() || lblKey[0]->isHidden())
        return;
    m_cells = KeyLayout::keepInside(m_cells, layout.inside, layout.grid, m_random);
    moveKeysToCells(layout);
}

void frmMain::placeAnswer(const MainLayout::Layout &layout)
{
    m_lblData.setRect(layout.answerLeft, layout.answerTop, layout.questionWidth, layout.questionHeight);
    lblData->setFont(Fonts::designFont(layout.questionPoints));
    Controls::place(lblAns, layout.verdict);
    lblAns->setFont(Fonts::designFont(layout.verdictPoints));
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
    placeAnswer(currentLayout());
    lblData->show();
    for (QLabel *key : lblKey)
        key->hide();
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
