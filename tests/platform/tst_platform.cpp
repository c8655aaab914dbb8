// Checks the platform layer: number conversions, random draws, twips, clickable labels, timers and raw files.
#include "platform/Convert.h"
#include "platform/Files.h"
#include "platform/FittingLabel.h"
#include "platform/OneShotTimer.h"
#include "platform/RandomSource.h"
#include "platform/Twips.h"

#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#ifdef Q_OS_LINUX
#include <sys/fsuid.h>
#endif
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const double Inf = std::numeric_limits<double>::infinity();

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void roundsHalvesToEvenAndSaturates_data();
    void roundsHalvesToEvenAndSaturates();
    void readsLeadingNumberAndWritesDecimalText_data();
    void readsLeadingNumberAndWritesDecimalText();
    void drawsAreRecordedForAFixedStartAndDifferFromTheClock();
    void twipsReadBackAsSetAndSnapToPixels();
    void labelClicksOnlyOnALeftPressAndReleaseInside_data();
    void labelClicksOnlyOnALeftPressAndReleaseInside();
    void labelDrawsTooWideTextWhole();
    void timerFiresOnceAfterItsInterval();
    void filesAreReadAndWrittenOnlyWhenSafe_data();
    void filesAreReadAndWrittenOnlyWhenSafe();
};

void TestPlatform::roundsHalvesToEvenAndSaturates_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("int16");
    QTest::addColumn<qint64>("int32");

    QTest::newRow("2.5 down") << 2.5 << 2 << qint64(2);
    QTest::newRow("3.5 up") << 3.5 << 4 << qint64(4);
    QTest::newRow("-2.5") << -2.5 << -2 << qint64(-2);
    QTest::newRow("99999") << 99999.0 << 32767 << qint64(99999);
    QTest::newRow("-1e10") << -1e10 << -32768 << qint64(-2147483648LL);
    QTest::newRow("+inf") << Inf << 32767 << qint64(2147483647);
    QTest::newRow("NaN") << std::nan("") << 0 << qint64(0);
}

void TestPlatform::roundsHalvesToEvenAndSaturates()
{
    QFETCH(double, value);
    QFETCH(int, int16);
    QFETCH(qint64, int32);
    QCOMPARE(int(Convert::toInt16(value)), int16);
    QCOMPARE(qint64(Convert::toInt32(value)), int32);
}

void TestPlatform::readsLeadingNumberAndWritesDecimalText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("unit after number") << u"2.5秒"_qs << 2.5 << u"2.5"_qs;
    QTest::newRow("no number") << u"abc"_qs << 0.0 << u"0"_qs;
    QTest::newRow("full-width") << u"－１０．５"_qs << -10.5 << u"-10.5"_qs;
    QTest::newRow("trailing zero") << u" 0.70"_qs << 0.7 << u"0.7"_qs;
    QTest::newRow("exponent") << u"1e3x"_qs << 1000.0 << u"1000"_qs;
    QTest::newRow("exponent without digits") << u"7e+"_qs << 7.0 << u"7"_qs;
    QTest::newRow("second point stops") << u"1.2.3"_qs << 1.2 << u"1.2"_qs;
    QTest::newRow("fifteen digits") << u"0.33333333333333333"_qs << 1.0 / 3 << u"0.333333333333333"_qs;
    QTest::newRow("too large") << u"1e400"_qs << Inf << u"inf"_qs;
}

void TestPlatform::readsLeadingNumberAndWritesDecimalText()
{
    QFETCH(QString, typed);
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(Convert::leadingNumber(typed), value);
    QCOMPARE(Convert::toDecimalText(value), text);
}

void TestPlatform::drawsAreRecordedForAFixedStartAndDifferFromTheClock()
{
    // mt19937 and seed_seq are fully standardised, so these are exact on every platform.
    RandomSource fixed([] { return quint64(42); });
    for (float recorded : {0.826235712f, 0.466466844f, 0.361650586f, 0.755001783f})
        QCOMPARE(fixed.draw(), recorded);
    QCOMPARE(RandomSource::unitFromBits(0xFFFFFFFFu), 1.0f - 0x1p-24f);
    QCOMPARE(RandomSource::unitFromBits(0x80000000u), 0.5f);

    RandomSource clock;
    QList<float> first, second;
    for (QList<float> *draws : {&first, &second}) {
        clock.reseed();
        for (int i = 0; i < 4; ++i)
            *draws << clock.draw();
    }
    QVERIFY(first != second);
}

void TestPlatform::twipsReadBackAsSetAndSnapToPixels()
{
    QWidget parent;
    parent.resize(40, 30);
    QCOMPARE(Twips::clientWidth(&parent), 600.0);
    QCOMPARE(Twips::clientHeight(&parent), 450.0);

    QWidget child(&parent);
    TwipsGeometry geometry(&child);
    geometry.setRect(1234.567f, -975, 375, 8);
    QCOMPARE(geometry.left(), 1234.567f);
    QCOMPARE(child.geometry(), QRect(82, -65, 25, 1));
    geometry.setTop(7);
    QCOMPARE(geometry.top(), 7.0f);
    QCOMPARE(child.y(), 0);
}

void TestPlatform::labelClicksOnlyOnALeftPressAndReleaseInside_data()
{
    QTest::addColumn<Qt::MouseButton>("pressed");
    QTest::addColumn<Qt::MouseButton>("released");
    QTest::addColumn<QPoint>("releasedAt");
    QTest::addColumn<int>("clicks");

    const QPoint inside(10, 10);
    QTest::newRow("left click") << Qt::LeftButton << Qt::LeftButton << inside << 1;
    QTest::newRow("right click") << Qt::RightButton << Qt::RightButton << inside << 0;
    QTest::newRow("pressed elsewhere") << Qt::NoButton << Qt::LeftButton << inside << 0;
    QTest::newRow("released outside") << Qt::LeftButton << Qt::LeftButton << QPoint(40, 10) << 0;
}

void TestPlatform::labelClicksOnlyOnALeftPressAndReleaseInside()
{
    QFETCH(Qt::MouseButton, pressed);
    QFETCH(Qt::MouseButton, released);
    QFETCH(QPoint, releasedAt);
    QFETCH(int, clicks);

    FittingLabel label;
    label.resize(25, 25);
    QSignalSpy clicked(&label, &FittingLabel::clicked);
    if (pressed != Qt::NoButton)
        QTest::mousePress(&label, pressed, {}, QPoint(10, 10));
    QTest::mouseRelease(&label, released, {}, releasedAt);
    QCOMPARE(clicked.count(), clicks);
}

void TestPlatform::labelDrawsTooWideTextWhole()
{
    // Six black squares in a label room for four: clipping would drop or shorten some.
    FittingLabel label;
    QFont font = label.font();
    font.setPixelSize(27);
    label.setFont(font);
    label.setText(QString(6, QChar(0x25A0)));
    label.setStyleSheet(u"background: white; color: black"_qs);
    label.resize(125, 25);
    const QImage image = label.grab().toImage();

    QList<int> runs;
    bool previous = false;
    for (int x = 0; x < image.width(); ++x) {
        bool dark = false;
        for (int y = 0; y < image.height(); ++y)
            dark = dark || qGray(image.pixel(x, y)) < 128;
        if (dark && !previous)
            runs << 0;
        if (dark)
            ++runs.last();
        previous = dark;
    }
    QCOMPARE(runs.size(), 6);
    QVERIFY(*std::max_element(runs.begin(), runs.end()) - *std::min_element(runs.begin(), runs.end()) <= 2);
}

void TestPlatform::timerFiresOnceAfterItsInterval()
{
    OneShotTimer timer;
    QSignalSpy fired(&timer, &OneShotTimer::timeout);
    timer.setInterval(0);
    timer.setEnabled(true);
    QVERIFY(!timer.isActive());

    timer.setInterval(300);
    QElapsedTimer clock;
    clock.start();
    timer.setEnabled(true);
    QVERIFY(fired.wait(5000));
    // A timer never fires early; one that did would cut the question short.
    QVERIFY(clock.elapsed() >= 300);
    QVERIFY(!timer.isActive());
    QCOMPARE(fired.count(), 1);
}

void TestPlatform::filesAreReadAndWrittenOnlyWhenSafe_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("missing") << u"missing"_qs << false << true << QByteArray("abc");
    QTest::newRow("longer file") << u"file"_qs << true << true << QByteArray("abc3456789");
    QTest::newRow("folder") << u"folder"_qs << false << false << QByteArray("<unreadable>");
    QTest::newRow("missing folder") << u"no/such"_qs << false << false << QByteArray("<unreadable>");
#ifdef Q_OS_UNIX
    QTest::newRow("symbolic link") << u"link"_qs << true << true << QByteArray("abc3456789");
    QTest::newRow("FIFO") << u"fifo"_qs << false << false << QByteArray("<fifo>");
    QTest::newRow("file in a folder refusing new files") << u"locked/file"_qs << true << true
                                                         << QByteArray("abc3456789");
    QTest::newRow("new file in a folder refusing new files") << u"locked/missing"_qs << false << false
                                                             << QByteArray("<unreadable>");
    QTest::newRow("disk full") << u"full"_qs << true << false << QByteArray("0123456789");
#endif
}

void TestPlatform::filesAreReadAndWrittenOnlyWhenSafe()
{
    QFETCH(QString, entry);
    QFETCH(bool, readable);
    QFETCH(bool, written);
    QFETCH(QByteArray, after);

    QTemporaryDir dir;
    const QString path = dir.filePath(entry);
    QVERIFY(QDir(dir.path()).mkpath(u"folder"_qs) && QDir(dir.path()).mkpath(u"locked"_qs));
    for (const char *name : {"file", "full", "locked/file"})
        writeAll(dir.filePath(QLatin1StringView(name)), "0123456789");
#ifdef Q_OS_UNIX
    QVERIFY(QFile::link(dir.filePath(u"file"_qs), dir.filePath(u"link"_qs)));
    QCOMPARE(mkfifo(qPrintable(dir.filePath(u"fifo"_qs)), 0600), 0);
    // A folder that refuses new files, holding a file anyone may write. Root would ignore the bits, so
    // the checks below run with an ordinary user's file-system identity.
    const QString locked = dir.filePath(u"locked"_qs);
    // The owner's permissions for the group and everyone else too.
    const auto forAll = [](QFile::Permissions owner) {
        return owner | QFile::Permissions(owner.toInt() >> 8) | QFile::Permissions(owner.toInt() >> 12);
    };
    QVERIFY(QFile::setPermissions(dir.filePath(u"locked/file"_qs), forAll(QFile::ReadOwner | QFile::WriteOwner)));
    QVERIFY(QFile::setPermissions(locked, forAll(QFile::ReadOwner | QFile::ExeOwner)));
    QVERIFY(QFile::setPermissions(dir.path(), forAll(QFile::ReadOwner | QFile::ExeOwner) | QFile::WriteOwner));
    const auto unlock = qScopeGuard([&] {
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    const bool asUser = entry.startsWith(u"locked") && geteuid() == 0;
#ifdef Q_OS_LINUX
    const auto identity = qScopeGuard([asUser] {
        if (asUser)
            setfsuid(0);
    });
    if (asUser)
        setfsuid(65534);
#else
    if (asUser)
        QSKIP("root ignores the folder's permission bits here");
#endif
    // A real full disk, root included: no file may grow past 5 bytes while the limit holds.
    rlimit normal{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &normal), 0);
    const auto ignored = std::signal(SIGXFSZ, SIG_IGN);
    const auto restore = qScopeGuard([&] {
        setrlimit(RLIMIT_FSIZE, &normal);
        std::signal(SIGXFSZ, ignored);
    });
    if (entry == u"full") {
        rlimit full = normal;
        full.rlim_cur = 5;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &full), 0);
    }
#endif

    QCOMPARE(Files::isExistingFile(path), readable);
    QCOMPARE(Files::readHead(path, 4).has_value(), readable);
    const Files::WriteResult result = Files::writeHead(path, "abc");
    QCOMPARE(result.ok, written);
    QCOMPARE(result.error.isEmpty(), written);
#ifdef Q_OS_UNIX
    setrlimit(RLIMIT_FSIZE, &normal);
    if (entry == u"fifo") {
        struct stat status = {};
        QVERIFY(stat(qPrintable(path), &status) == 0 && S_ISFIFO(status.st_mode));
        return;
    }
    if (entry == u"link")
        QVERIFY(QFileInfo(path).isSymLink());
#endif
    QCOMPARE(readAll(path), after);
    if (entry != u"file")
        QCOMPARE(readAll(dir.filePath(u"file"_qs)), entry == u"link" ? after : QByteArray("0123456789"));
    // Nothing left behind: no temporary file, no file created where the write failed.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).contains(u"missing"_qs), entry == u"missing");
    QCOMPARE(QDir(dir.filePath(u"locked"_qs)).entryList(QDir::Files), QStringList{u"file"_qs});
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
