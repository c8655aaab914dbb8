// Checks the main window: its start-up state and one whole turn, question, keyboard and verdict.
#include "forms/main/Fonts.h"
#include "forms/main/frmMain.h"
#include "modules/mdlUser.h"
#include "platform/RandomSource.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRawFont>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <memory>

using namespace mdlUser;

namespace {

constexpr quint64 FixedStart = 20261206;

RandomSource fixedRandom()
{
    return RandomSource([] { return FixedStart; });
}

// The window's own settings file beside the test executable; never left behind.
struct SettingsFileGuard
{
    SettingsFileGuard() { QFile::remove(settingsFilePath()); }
    ~SettingsFileGuard() { QFile::remove(settingsFilePath()); }
};

} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsIdleAndMaximised();
    void startUpTakesSettingsFile();
    void keysResolveToAFontWithEverySymbol();
    void questionFollowsDraws_data();
    void questionFollowsDraws();
    void keyboardFollowsDraws_data();
    void keyboardFollowsDraws();
    void clicksAppendAndBackspaceRemoves();
    void verdictJudgesBySymbol_data();
    void verdictJudgesBySymbol();
    void verdictScreenShowsCorrectString();
    void secondOkStartsOneQuestion();
    void settingsApplyAtNextStep();
    void cycleRunsBehindModalDialog();
    void tinyClientStillLaysOut();
    void endClosesAndStopsTimers();

private:
    template <typename T>
    T *control(const char *name) const
    {
        auto *found = m_window->findChild<T *>(QLatin1StringView(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QList<QLabel *> keys() const;
    QTimer *timer(const char *name) const { return control<QTimer>(name); }
    void showKeyboard();
    void type(const QString &answer);

    std::unique_ptr<SettingsFileGuard> m_guard;
    std::unique_ptr<frmMain> m_window;
};

void TestFrmMain::init()
{
    m_guard = std::make_unique<SettingsFileGuard>();
    m_window = std::make_unique<frmMain>();
    m_window->randomSource().setSeedProvider([] { return FixedStart; });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestFrmMain::cleanup()
{
    m_window.reset();
    m_guard.reset();
}

QList<QLabel *> TestFrmMain::keys() const
{
    QList<QLabel *> result(frmMain::KeyCount);
    for (QLabel *key : m_window->findChildren<QLabel *>(u"lblKey"_qs))
        result[key->property("index").toInt()] = key;
    return result;
}

void TestFrmMain::showKeyboard()
{
    m_window->cmdStart_Click();
    m_window->timMain_Timer();
}

void TestFrmMain::type(const QString &answer)
{
    for (QChar symbol : answer)
        m_window->lblKey_Click(GetKigouIndex(QString(symbol)));
}

void TestFrmMain::startsIdleAndMaximised()
{
    QVERIFY(m_window->windowState() & Qt::WindowMaximized);
    QCOMPARE(m_window->windowTitle(), u"qelo"_qs);
    QCOMPARE(Opt, OptData({3.0, 5, 3.0, 50}));

    QStringList menu;
    for (QAction *action : m_window->menuBar()->actions())
        menu << action->text();
    QCOMPARE(menu, QStringList({u"終了"_qs, u"設定"_qs, u"バージョン"_qs}));

    QStringList visible;
    for (QWidget *child : m_window->centralWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible())
            visible << child->objectName();
    }
    QCOMPARE(visible, QStringList{u"cmdStart"_qs});
    QCOMPARE(control<QPushButton>("cmdStart")->text(), u"スタート"_qs);

    const QList<QLabel *> allKeys = keys();
    for (int i = 0; i < frmMain::KeyCount; ++i) {
        QVERIFY(allKeys[i]);
        QVERIFY(allKeys[i]->isHidden());
        QCOMPARE(allKeys[i]->text(), KigouTable[i]);
    }
    QVERIFY(!timer("timMain")->isActive());
    QVERIFY(!timer("timSub")->isActive());
}

void TestFrmMain::startUpTakesSettingsFile()
{
    m_window.reset();
    QFile file(settingsFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(encodeOpt({4.5, 12, 0.7, 25}));
    file.close();

    frmMain window;
    QCOMPARE(Opt, OptData({4.5, 12, 0.7, 25}));
}

void TestFrmMain::keysResolveToAFontWithEverySymbol()
{
    // Ask the resolved font itself: font metrics would also count fallback fonts.
    const QFont font = keys().first()->font();
    QCOMPARE(font.pointSizeF(), Fonts::SymbolPointSize);
    const QRawFont raw = QRawFont::fromFont(font);
    QVERIFY(raw.isValid());
    for (int i = 0; i < KigouCount; ++i)
        QVERIFY2(raw.supportsCharacter(KigouTable[i].at(0)), qPrintable(KigouTable[i] + " in " + raw.familyName()));
    QCOMPARE(control<QPushButton>("cmdStart")->font().pointSizeF(), Fonts::ButtonPointSize);
}

void TestFrmMain::questionFollowsDraws_data()
{
    QTest::addColumn<int>("stringLen");
    QTest::addColumn<int>("kigouNum");
    QTest::addColumn<double>("viewTime");
    QTest::addColumn<int>("interval");

    QTest::newRow("defaults") << 5 << 50 << 3.0 << 3000;
    QTest::newRow("one symbol of three") << 1 << 3 << 0.1 << 100;
    QTest::newRow("longest") << 20 << 55 << 10.0 << 10000;
    QTest::newRow("half millisecond down to even") << 7 << 30 << 2.0625 << 2062;
    QTest::newRow("half millisecond up to even") << 7 << 30 << 1.1875 << 1188;
}

void TestFrmMain::questionFollowsDraws()
{
    QFETCH(int, stringLen);
    QFETCH(int, kigouNum);
    QFETCH(double, viewTime);
    QFETCH(int, interval);
    Opt = {viewTime, qint16(stringLen), 3.0, qint16(kigouNum)};

    m_window->cmdStart_Click();

    RandomSource expected = fixedRandom();
    QString question;
    for (int i = 0; i < stringLen; ++i) {
        const int index = int(std::floor(double(expected.draw()) * kigouNum));
        QCOMPARE(int(AnsIndex[i]), index);
        question += KigouTable[index];
    }
    QCOMPARE(DataStr, question);

    auto *label = control<QLabel>("lblData");
    const TwipsGeometry &data = m_window->lblDataGeometry();
    const double clientWidth = m_window->centralWidget()->width() * 15.0;
    const double clientHeight = m_window->centralWidget()->height() * 15.0;
    QCOMPARE(label->text(), question);
    QCOMPARE(data.width(), float((stringLen + 1) * 375));
    QCOMPARE(data.height(), 375.0f);
    QCOMPARE(data.left(), float(std::floor(double(expected.draw()) * (clientWidth - data.width()))));
    QCOMPARE(data.top(), float(std::floor(double(expected.draw()) * (clientHeight - 375))));
    QVERIFY(data.left() >= 0 && data.left() + data.width() <= clientWidth);
    QVERIFY(data.top() >= 0 && data.top() + data.height() <= clientHeight);

    QVERIFY(label->isVisible());
    QVERIFY(control<QPushButton>("cmdStart")->isHidden());
    QVERIFY(control<QGroupBox>("frameTable")->isHidden());
    QVERIFY(timer("timMain")->isActive());
    QCOMPARE(timer("timMain")->interval(), interval);
    QCOMPARE(timer("timMain")->timerType(), Qt::PreciseTimer);
}

void TestFrmMain::keyboardFollowsDraws_data()
{
    QTest::addColumn<int>("kigouNum");
    QTest::newRow("three keys") << 3;
    QTest::newRow("default") << 50;
    QTest::newRow("all keys") << 55;
}

void TestFrmMain::keyboardFollowsDraws()
{
    QFETCH(int, kigouNum);
    Opt.KigouNum = qint16(kigouNum);
    m_window->cmdStart_Click();
    control<QLabel>("lblInput")->setText(u"leftover"_qs);
    m_window->timMain_Timer();

    // The layout continues the question's sequence: symbols, x, y, then column/row pairs.
    RandomSource expected = fixedRandom();
    for (int i = 0; i < Opt.StringLen + 2; ++i)
        expected.draw();
    const int columns = int(std::floor((m_window->centralWidget()->width() * 15.0 - 375) / 375));
    const int rows = int(std::floor((m_window->centralWidget()->height() * 15.0 - 375 - 975) / 375));
    QVERIFY(columns * rows >= 55);

    QList<QPoint> cells;
    const QList<QLabel *> allKeys = keys();
    for (int i = 0; i < frmMain::KeyCount; ++i) {
        if (i >= kigouNum) {
            QVERIFY(allKeys[i]->isHidden());
            continue;
        }
        QPoint cell;
        do {
            cell = {int(std::floor(double(expected.draw()) * columns)), int(std::floor(double(expected.draw()) * rows))};
        } while (cells.contains(cell));
        cells << cell;
        QVERIFY(allKeys[i]->isVisible());
        QCOMPARE(m_window->keyGeometry(i).left(), float(375 * cell.x()));
        QCOMPARE(m_window->keyGeometry(i).top(), float(975 + 375 * cell.y()));
        QCOMPARE(allKeys[i]->geometry(), QRect(25 * cell.x(), 65 + 25 * cell.y(), 25, 25));
    }

    QVERIFY(control<QLabel>("lblData")->isHidden());
    QVERIFY(control<QGroupBox>("frameTable")->isVisible());
    QVERIFY(control<QLabel>("lblInput")->text().isEmpty());
    QVERIFY(!timer("timMain")->isActive());
}

void TestFrmMain::clicksAppendAndBackspaceRemoves()
{
    showKeyboard();
    auto *input = control<QLabel>("lblInput");

    m_window->Command1_Click();
    QCOMPARE(input->text(), QString());

    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(keys()[2], Qt::LeftButton);
    QCOMPARE(input->text(), u"◎◎◎"_qs);
    m_window->lblKey_Click(49);
    QCOMPARE(input->text(), u"◎◎◎★"_qs);

    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(input->text(), u"◎◎◎"_qs);
    m_window->Command1_Click();
    m_window->Command1_Click();
    QCOMPARE(input->text(), u"◎"_qs);
    m_window->Command1_Click();
    QCOMPARE(input->text(), QString());
}

void TestFrmMain::verdictJudgesBySymbol_data()
{
    QTest::addColumn<int>("stringLen");
    QTest::addColumn<int>("kigouNum");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<bool>("right");

    // The edit turns the question into the answer: "=" as it is, "" empty, "-" one short,
    // "+" one more, "~" last symbol replaced.
    QTest::newRow("exact") << 5 << 50 << u"="_qs << true;
    QTest::newRow("exact with repeats") << 20 << 3 << u"="_qs << true;
    QTest::newRow("single symbol") << 1 << 55 << u"="_qs << true;
    QTest::newRow("empty") << 5 << 50 << QString() << false;
    QTest::newRow("one short") << 5 << 50 << u"-"_qs << false;
    QTest::newRow("one more") << 5 << 50 << u"+"_qs << false;
    QTest::newRow("last symbol differs") << 5 << 50 << u"~"_qs << false;
    QTest::newRow("last differs with repeats") << 20 << 3 << u"~"_qs << false;
}

void TestFrmMain::verdictJudgesBySymbol()
{
    QFETCH(int, stringLen);
    QFETCH(int, kigouNum);
    QFETCH(QString, edit);
    QFETCH(bool, right);
    Opt.StringLen = qint16(stringLen);
    Opt.KigouNum = qint16(kigouNum);
    showKeyboard();
    if (stringLen == 20 && kigouNum == 3)
        QVERIFY(DataStr.count(DataStr.at(0)) > 1);

    QString answer = DataStr;
    if (edit.isEmpty())
        answer.clear();
    else if (edit == u"-")
        answer.chop(1);
    else if (edit == u"+")
        answer += KigouTable[0];
    else if (edit == u"~")
        answer.back() = KigouTable[(AnsIndex[stringLen - 1] + 1) % kigouNum].at(0);
    type(answer);

    QTest::mouseClick(control<QPushButton>("cmdAns"), Qt::LeftButton);
    auto *verdict = control<QLabel>("lblAns");
    QVERIFY(verdict->isVisible());
    QCOMPARE(verdict->text(), right ? u"正解"_qs : u"不正解"_qs);
    QCOMPARE(verdict->palette().color(QPalette::WindowText), right ? QColor(Qt::blue) : QColor(Qt::red));
}

void TestFrmMain::verdictScreenShowsCorrectString()
{
    Opt.KigouNum = 3;
    Opt.ViewAnsTime = 1.0;
    showKeyboard();
    // Keys beyond the number in play were shown at some earlier turn.
    keys().last()->show();
    m_window->cmdAns_Click();

    QCOMPARE(m_window->lblDataGeometry().left(), 1920.0f);
    QCOMPARE(m_window->lblDataGeometry().top(), 985.0f);
    QVERIFY(control<QLabel>("lblData")->isVisible());
    QCOMPARE(control<QLabel>("lblData")->text(), DataStr);
    for (QLabel *key : keys())
        QVERIFY(key->isHidden());
    QVERIFY(control<QGroupBox>("frameTable")->isVisible());
    QVERIFY(timer("timSub")->isActive());
    QCOMPARE(timer("timSub")->interval(), 1000);
    QCOMPARE(timer("timSub")->timerType(), Qt::PreciseTimer);
}

void TestFrmMain::secondOkStartsOneQuestion()
{
    Opt.ViewAnsTime = 0.1;
    Opt.ViewTime = 10;
    showKeyboard();
    m_window->cmdAns_Click();
    m_window->Command1_Click();
    m_window->cmdAns_Click();

    QSignalSpy fired(timer("timSub"), &QTimer::timeout);
    QVERIFY(fired.wait(5000));
    QCOMPARE(fired.count(), 1);
    QVERIFY(!timer("timSub")->isActive());
    QVERIFY(timer("timMain")->isActive());
    QVERIFY(control<QLabel>("lblAns")->isHidden());
    QVERIFY(control<QGroupBox>("frameTable")->isHidden());
    QVERIFY(control<QLabel>("lblData")->isVisible());
}

void TestFrmMain::settingsApplyAtNextStep()
{
    Opt.StringLen = 4;
    m_window->cmdStart_Click();
    const QString question = DataStr;

    // Changed while the question is shown: the layout and the check of this turn use them.
    Opt.KigouNum = 10;
    Opt.StringLen = 3;
    m_window->timMain_Timer();
    int shown = 0;
    for (QLabel *key : keys())
        shown += key->isVisible();
    QCOMPARE(shown, 10);

    type(question.left(3));
    m_window->cmdAns_Click();
    QCOMPARE(control<QLabel>("lblAns")->text(), u"正解"_qs);
    QCOMPARE(DataStr, question);
}

void TestFrmMain::cycleRunsBehindModalDialog()
{
    Opt.ViewTime = 0.1;
    m_window->cmdStart_Click();

    bool keyboardShownBehindDialog = false;
    QObject context;
    connect(timer("timMain"), &QTimer::timeout, &context, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            keyboardShownBehindDialog = control<QGroupBox>("frameTable")->isVisible();
            modal->close();
        }
    });
    // Safety net: a cycle paused by the dialog would otherwise keep it open for ever.
    QTimer::singleShot(5000, &context, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    m_window->mnuAbout_Click();
    QVERIFY(keyboardShownBehindDialog);
}

void TestFrmMain::tinyClientStillLaysOut()
{
    m_window->showNormal();
    m_window->centralWidget()->setMinimumSize(0, 0);
    m_window->setMinimumSize(0, 0);
    m_window->resize(40, 30);
    QTRY_VERIFY(m_window->centralWidget()->width() < 100);
    Opt.KigouNum = 55;

    showKeyboard();
    QSet<QPair<float, float>> cells;
    for (int i = 0; i < 55; ++i) {
        QVERIFY(keys()[i]->isVisible());
        cells.insert({m_window->keyGeometry(i).left(), m_window->keyGeometry(i).top()});
    }
    QCOMPARE(cells.size(), 55);
}

void TestFrmMain::endClosesAndStopsTimers()
{
    m_window->cmdStart_Click();
    QVERIFY(timer("timMain")->isActive());
    m_window->mnuEnd_Click();
    QVERIFY(!m_window->isVisible());
    QVERIFY(!timer("timMain")->isActive());
    QVERIFY(!QFile::exists(settingsFilePath()));
}

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
