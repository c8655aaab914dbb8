#pragma once

#include "KeyLayout.h"
#include "MainLayout.h"
#include "modules/mdlUser.h"
#include "platform/Controls.h"
#include "platform/RandomSource.h"
#include "platform/Twips.h"

#include <QMainWindow>

#include <array>

class FittingLabel;
class OneShotTimer;
class QAction;
class QGroupBox;
class QPushButton;

class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit frmMain(Controls::Pointer pointer = Controls::Pointer::Mouse, QWidget *parent = nullptr);
    ~frmMain() override;

    void StartPrg();
    void InitSoftKey();
    void VeiwKeyBorad();
    void ViewAnsCheck();

    double ScaleWidth() const;
    double ScaleHeight() const;
    // The cells this turn's keys are placed on at the current client size; never fewer than the keys.
    KeyLayout::Grid keyGrid() const;

    RandomSource &randomSource() { return m_random; }
    const TwipsGeometry &lblDataGeometry() const { return m_lblData; }
    const TwipsGeometry &frameTableGeometry() const { return m_frameTable; }
    const TwipsGeometry &keyGeometry(int index) const { return m_lblKey.at(index); }

public slots:
    void cmdStart_Click();
    void timMain_Timer();
    void lblKey_Click(int index);
    void Command1_Click();
    void cmdAns_Click();
    void timSub_Timer();
    void mnuEnd_Click();
    void mnuOpt_Click();
    void mnuAbout_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void createControls();
    void createMenu();
    void applyStartLayout();
    FittingLabel *createKey(int index);
    // Where everything goes for the pointer, the client area's size and this turn; keys on screen keep their size.
    MainLayout::Layout currentLayout() const;
    void placeFrame(const MainLayout::Layout &layout);
    void sizeKeys(const MainLayout::Layout &layout);
    void moveKeysToCells(const MainLayout::Layout &layout);
    void placeAnswer(const MainLayout::Layout &layout);
    void clientResized();

    // Handed on to the layout and the dialogs: what a finger gets is decided there.
    Controls::Pointer m_pointer;
    // The cells of the keys on screen, kept so that a change of window size moves only those it leaves outside.
    std::vector<KeyLayout::Cell> m_cells;

    RandomSource m_random;

    QWidget *m_client = nullptr;
    QGroupBox *frameTable = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *cmdAns = nullptr;
    FittingLabel *lblInput = nullptr;
    OneShotTimer *timSub = nullptr;
    OneShotTimer *timMain = nullptr;
    QPushButton *cmdStart = nullptr;
    std::array<FittingLabel *, mdlUser::KigouCount> lblKey{};
    FittingLabel *lblAns = nullptr;
    FittingLabel *lblData = nullptr;
    QAction *mnuEnd = nullptr;
    QAction *mnuOpt = nullptr;
    QAction *mnuAbout = nullptr;

    TwipsGeometry m_frameTable;
    TwipsGeometry m_lblData;
    std::array<TwipsGeometry, mdlUser::KigouCount> m_lblKey;
};
