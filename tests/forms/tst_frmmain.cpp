// Checks the main window: start-up, question, keyboard and verdict of a turn, following the random draws.
#include "forms/main/Fonts.h"
#include "forms/main/KeyLayout.h"
#include "forms/main/frmMain.h"
#include "platform/OneShotTimer.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRawFont>
#include <QSignalSpy>
#include <QStandardPaths>
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

int floorOf(float draw, double range)
{
    return int(std::floor(double(draw) * range));
}

} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startsIdleMaximisedWithSettingsFile();
    void keysUseAFontWithEverySymbol();
    void questionFollowsDraws_data();
    void questionFollowsDraws();
    void keyboardFollowsDraws_data();
    void keyboardFollowsDraws();
    void recordedCellsForAFixedStart();
    void clicksAppendAndBackspaceRemoves();
    void verdictJudgesBySymbol_data();
    void verdictJudgesBySymbol();
    void verdictShowsCorrectStringAndStartsOneQuestion();
    void cycleRunsBehindModalSettings();
    void tinyClientStillLaysOut();
    void endStopsTimersAndSavesNothing();

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
    void showKeyboard();
    void type(const QString &answer);

    std::unique_ptr<frmMain> m_window;
};

void TestFrmMain::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestFrmMain::init()
{
    QFile::remove(settingsFiles().besideProgram);
    m_window = std::make_unique<frmMain>();
    m_window->randomSource().setSeedProvider([] { return FixedStart; });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestFrmMain::cleanup()
{
    m_window.reset();
    QFile::remove(settingsFiles().besideProgram);
}

QList<QLabel *> TestFrmMain::keys() const
{
    QList<QLabel *> result(KigouCount);
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

void TestFrmMain::startsIdleMaximisedWithSettingsFile()
{
    QVERIFY(m_window->windowState() & Qt::WindowMaximized);
    QCOMPARE(Opt, OptData({3.0, 5, 3.0, 50}));
    QStringList menu;
    for (QAction *action : m_window->menuBar()->actions())
        menu << action->text();
    QCOMPARE(menu, QStringList({u"終了"_qs, u"設定"_qs, u"バージョン"_qs}));
    QVERIFY(!m_window->menuBar()->isNativeMenuBar());

    QStringList visible;
    for (QWidget *child : m_window->centralWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible())
            visible << child->objectName();
    }
    QCOMPARE(visible, QStringList{u"cmdStart"_qs});
    for (int i = 0; i < KigouCount; ++i) {
        QCOMPARE(keys()[i]->text(), KigouTable[i]);
        // Screen readers name each key by its symbol.
        QCOMPARE(QAccessible::queryAccessibleInterface(keys()[i])->text(QAccessible::Name), KigouTable[i]);
    }

    // Restored, the client area has the design size: 8595 x 4680 twips.
    m_window->showNormal();
    QTRY_COMPARE(m_window->centralWidget()->size(), QSize(573, 312));

    m_window.reset();
    QFile file(settingsFiles().besideProgram);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(encodeOpt({4.5, 12, 0.7, 25}));
    file.close();
    frmMain window;
    QCOMPARE(Opt, OptData({4.5, 12, 0.7, 25}));
}

void TestFrmMain::keysUseAFontWithEverySymbol()
{
    // Ask the resolved font itself: font metrics would also count fallback fonts.
    const QFont font = keys().first()->font();
    QCOMPARE(font.pointSizeF(), Fonts::SymbolPointSize);
    QCOMPARE(control<QPushButton>("cmdStart")->font().pointSizeF(), Fonts::ButtonPointSize);
    const QRawFont raw = QRawFont::fromFont(font);
    for (int i = 0; i < KigouCount; ++i)
        QVERIFY2(raw.supportsCharacter(KigouTable[i].at(0)), qPrintable(KigouTable[i] + " in " + raw.familyName()));
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
    QTest::newRow("half millisecond to even") << 7 << 30 << 2.0625 << 2062;
}

void TestFrmMain::questionFollowsDraws()
{
    QFETCH(int, stringLen);
    QFETCH(int, kigouNum);
    QFETCH(double, viewTime);
    QFETCH(int, interval);
    Opt = {viewTime, qint16(stringLen), 3.0, qint16(kigouNum)};
    showKeyboard();
    m_window->cmdAns_Click();
    m_window->timSub_Timer();

    RandomSource expected = fixedRandom();
    QString question;
    for (int i = 0; i < stringLen; ++i) {
        QCOMPARE(int(AnsIndex[i]), floorOf(expected.draw(), kigouNum));
        question += KigouTable[AnsIndex[i]];
    }
    QCOMPARE(DataStr, question);
    QCOMPARE(control<QLabel>("lblData")->text(), question);
    const TwipsGeometry &data = m_window->lblDataGeometry();
    QCOMPARE(data.width(), float((stringLen + 1) * 375));
    QCOMPARE(data.left(), float(floorOf(expected.draw(), m_window->ScaleWidth() - data.width())));
    QCOMPARE(data.top(), float(floorOf(expected.draw(), m_window->ScaleHeight() - 375)));

    QVERIFY(control<QLabel>("lblData")->isVisible());
    QVERIFY(control<QPushButton>("cmdStart")->isHidden());
    QVERIFY(control<QGroupBox>("frameTable")->isHidden());
    QVERIFY(control<QLabel>("lblAns")->isHidden());
    QVERIFY(control<OneShotTimer>("timMain")->isActive());
    QCOMPARE(control<OneShotTimer>("timMain")->interval(), interval);
}

void TestFrmMain::keyboardFollowsDraws_data()
{
    QTest::addColumn<int>("kigouNum");
    QTest::newRow("three keys") << 3;
    QTest::newRow("all keys") << 55;
}

void TestFrmMain::keyboardFollowsDraws()
{
    QFETCH(int, kigouNum);
    Opt.KigouNum = qint16(kigouNum);
    m_window->cmdStart_Click();
    m_window->lblKey_Click(0);
    m_window->timMain_Timer();

    // The layout continues the question's draws: symbols, x, y, then column and row per attempt.
    RandomSource expected = fixedRandom();
    for (int i = 0; i < Opt.StringLen + 2; ++i)
        expected.draw();
    const int columns = int(std::floor((m_window->ScaleWidth() - 375) / 375));
    const int rows = int(std::floor((m_window->ScaleHeight() - 375 - 975) / 375));
    QList<QPoint> cells;
    for (int i = 0; i < KigouCount; ++i) {
        QCOMPARE(keys()[i]->isVisible(), i < kigouNum);
        if (i >= kigouNum)
            continue;
        QPoint cell;
        do {
            cell = {floorOf(expected.draw(), columns), floorOf(expected.draw(), rows)};
        } while (cells.contains(cell));
        cells << cell;
        QCOMPARE(keys()[i]->geometry(), QRect(25 * cell.x(), 65 + 25 * cell.y(), 25, 25));
    }
    QVERIFY(control<QLabel>("lblData")->isHidden());
    QVERIFY(control<QGroupBox>("frameTable")->isVisible());
    QCOMPARE(control<QLabel>("lblInput")->text(), QString());
    // The input line is white, as an entry field.
    const QImage input = control<QLabel>("lblInput")->grab().toImage();
    QCOMPARE(input.pixelColor(input.width() / 2, input.height() / 2), QColor(Qt::white));
    QVERIFY(!control<OneShotTimer>("timMain")->isActive());
}

void TestFrmMain::recordedCellsForAFixedStart()
{
    RandomSource random([] { return quint64(7); });
    const std::vector<KeyLayout::Cell> recorded = {{5, 2}, {3, 7}, {18, 0}, {1, 2}, {2, 4}};
    QVERIFY(KeyLayout::placeKeys({21, 8}, 5, random) == recorded);
    // A grid of exactly 55 cells takes every key, each on its own cell.
    const std::vector<KeyLayout::Cell> full = KeyLayout::placeKeys({11, 5}, 55, random);
    QSet<int> used;
    for (const KeyLayout::Cell &cell : full)
        used.insert(cell.column < 11 && cell.row < 5 ? cell.row * 11 + cell.column : -1);
    QCOMPARE(used.size(), 55);
    QVERIFY(!used.contains(-1));
}

void TestFrmMain::clicksAppendAndBackspaceRemoves()
{
    showKeyboard();
    auto *input = control<QLabel>("lblInput");
    m_window->Command1_Click();
    QCOMPARE(input->text(), QString());
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(keys()[2], Qt::LeftButton);
    m_window->lblKey_Click(49);
    QCOMPARE(input->text(), u"◎◎◎★"_qs);
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(input->text(), u"◎◎◎"_qs);
}

void TestFrmMain::verdictJudgesBySymbol_data()
{
    QTest::addColumn<int>("stringLen");
    QTest::addColumn<int>("kigouNum");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<bool>("right");

    // The edit turns the question into the answer: "=" as it is, "" empty, "-" one short, "+" one more,
    // "~" last symbol replaced.
    QTest::newRow("exact") << 5 << 50 << u"="_qs << true;
    QTest::newRow("exact with repeats") << 20 << 3 << u"="_qs << true;
    QTest::newRow("empty") << 5 << 50 << QString() << false;
    QTest::newRow("one short") << 5 << 50 << u"-"_qs << false;
    QTest::newRow("one more") << 5 << 50 << u"+"_qs << false;
    QTest::newRow("last symbol differs") << 20 << 3 << u"~"_qs << false;
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

    QString answer = edit.isEmpty() ? QString() : DataStr;
    if (edit == u"-")
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

void TestFrmMain::verdictShowsCorrectStringAndStartsOneQuestion()
{
    Opt = {10, 5, 0.1, 3};
    showKeyboard();
    keys().last()->show(); // a key beyond those in play, left from an earlier turn
    const QString question = DataStr;
    m_window->cmdAns_Click();

    QCOMPARE(m_window->lblDataGeometry().left(), 1920.0f);
    QCOMPARE(m_window->lblDataGeometry().top(), 985.0f);
    QCOMPARE(control<QLabel>("lblData")->text(), question);
    QVERIFY(control<QLabel>("lblData")->isVisible());
    for (QLabel *key : keys())
        QVERIFY(key->isHidden());
    QCOMPARE(control<OneShotTimer>("timSub")->interval(), 100);

    // A second OK during the verdict re-judges, and the verdict still ends in one question.
    m_window->cmdAns_Click();
    QSignalSpy fired(control<OneShotTimer>("timSub"), &OneShotTimer::timeout);
    QVERIFY(fired.wait(5000));
    QCOMPARE(fired.count(), 1);
    QVERIFY(control<OneShotTimer>("timMain")->isActive());
    QVERIFY(control<QLabel>("lblAns")->isHidden());
    QVERIFY(!control<OneShotTimer>("timSub")->isActive());
}

void TestFrmMain::cycleRunsBehindModalSettings()
{
    Opt.ViewTime = 0.1;
    m_window->cmdStart_Click();

    bool keyboardBehindModalDialog = false;
    QObject context;
    connect(control<OneShotTimer>("timMain"), &OneShotTimer::timeout, &context, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            keyboardBehindModalDialog = modal->objectName() == u"frmOpt"
                && control<QGroupBox>("frameTable")->isVisible();
            modal->close();
        }
    });
    // A cycle paused by the dialog would otherwise keep it open for ever.
    QTimer::singleShot(5000, &context, [] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    m_window->mnuOpt_Click();
    QVERIFY(keyboardBehindModalDialog);
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
    for (int i = 0; i < KigouCount; ++i)
        cells.insert({m_window->keyGeometry(i).left(), m_window->keyGeometry(i).top()});
    QCOMPARE(cells.size(), KigouCount);
}

void TestFrmMain::endStopsTimersAndSavesNothing()
{
    m_window->cmdStart_Click();
    m_window->mnuEnd_Click();
    QVERIFY(!m_window->isVisible());
    QVERIFY(!control<OneShotTimer>("timMain")->isActive());
    QVERIFY(!QFile::exists(settingsFiles().besideProgram));
}

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
