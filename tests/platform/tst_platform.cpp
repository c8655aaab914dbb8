// Checks the platform layer: number conversions, random draws, twips, labels drawn whole, timers and raw files.
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
#include <limits>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/fsuid.h>
#endif

using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void convertsNumbersAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("int16");
        QTest::addColumn<qint64>("int32");
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("unit after number") << u"2.5秒"_s << 2.5 << u"2.5"_s << 2 << qint64(2);
        QTest::newRow("full-width") << u"－３．５"_s << -3.5 << u"-3.5"_s << -4 << qint64(-4);
        QTest::newRow("trailing zero, blank") << u" 0.70"_s << 0.7 << u"0.7"_s << 1 << qint64(1);
        QTest::newRow("exponent, second point") << u"1e3.5"_s << 1000.0 << u"1000"_s << 1000 << qint64(1000);
        QTest::newRow("exponent without digits, saturated") << u"99999e+"_s << 99999.0 << u"99999"_s << 32767
                                                            << qint64(99999);
        QTest::newRow("fifteen digits") << u"-0.33333333333333333"_s << -1.0 / 3 << u"-0.333333333333333"_s << 0
                                        << qint64(0);
        QTest::newRow("too large") << u"-1e400"_s << -inf << u"-inf"_s << -32768 << qint64(-2147483648LL);
    }
    void convertsNumbersAsTyped()
    {
        QFETCH(QString, typed);
        QFETCH(double, value);
        QFETCH(QString, text);
        QFETCH(int, int16);
        QFETCH(qint64, int32);
        QCOMPARE(Convert::leadingNumber(typed), value);
        QCOMPARE(Convert::toDecimalText(value), text);
        QCOMPARE(int(Convert::toInt16(value)), int16);
        QCOMPARE(qint64(Convert::toInt32(value)), int32);
    }

    void drawsAreRecordedForAFixedStartAndDifferFromTheClock()
    {
        // Compared as doubles: QCOMPARE lets floats differ by 1e-5, so a top draw rounded up to 1.0 would pass.
        QCOMPARE(double(RandomSource::unitFromBits(std::mt19937::max())), 1.0 - 0x1p-24);
        // mt19937 and seed_seq are fully standardised, so these are exact on every platform.
        RandomSource fixed([] { return quint64(42); });
        for (float recorded : {0.826235712f, 0.466466844f, 0.361650586f, 0.755001783f})
            QCOMPARE(double(fixed.draw()), double(recorded));
        // Reseeded from the clock, at construction and again: the draws differ.
        RandomSource clock;
        const QList<float> first{clock.draw(), clock.draw(), clock.draw(), clock.draw()};
        clock.reseed();
        QVERIFY(first != QList<float>({clock.draw(), clock.draw(), clock.draw(), clock.draw()}));
    }

    void twipsReadBackAsSetAndSnapToPixels()
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
        QCOMPARE(child.y(), 0);
    }

    void labelDrawsTextWhole_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("too wide: room for four of six") << QSize(125, 25);
        QTest::newRow("too tall: 12 pixels for 27-pixel text") << QSize(125, 12);
    }
    void labelDrawsTextWhole()
    {
        // Six black squares: clipping would drop or shorten some, or cut their tops and bottoms off.
        QFETCH(QSize, size);
        FittingLabel label;
        label.setStyleSheet(u"background: white; color: black; font-size: 27px"_s);
        label.setText(QString(6, QChar(0x25A0)));
        label.resize(size);
        const QImage image = label.grab().toImage();
        QList<int> runs;
        for (int x = 0, inInk = 0; x < image.width(); ++x) {
            int dark = 0;
            for (int y = 0; y < image.height(); ++y)
                dark |= qGray(image.pixel(x, y)) < 128;
            if (dark && !inInk)
                runs << 0;
            if (dark)
                ++runs.last();
            inInk = dark;
        }
        QCOMPARE(runs.size(), 6);
        QVERIFY(*std::max_element(runs.begin(), runs.end()) - *std::min_element(runs.begin(), runs.end()) <= 2);
        // Squeezed to fit, a square may grow narrow, never wider than the label is high.
        QCOMPARE_LE(runs.first(), size.height() + 1);
    }

    void timerFiresOnceAfterItsInterval()
    {
        OneShotTimer timer;
        QSignalSpy fired(&timer, &OneShotTimer::timeout);
        timer.setInterval(300);
        QElapsedTimer clock;
        clock.start();
        timer.setEnabled(true);
        QVERIFY(fired.wait(5000));
        // A timer never fires early; one that did would cut the question short. Windows counts whole
        // milliseconds on a clock of its own, which may read one less on this one.
#ifdef Q_OS_WIN
        QCOMPARE_GE(clock.elapsed(), 299);
#else
        QCOMPARE_GE(clock.elapsed(), 300);
#endif
        QVERIFY(!timer.isActive());
    }

    void filesAreReadAndWrittenOnlyWhenSafe_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QByteArray>("after"); // written when it starts with the new bytes "abc"
        QTest::newRow("longer file") << u"file"_s << true << QByteArray("abc3456789");
        QTest::newRow("folder") << u"folder"_s << false << QByteArray("<unreadable>");
#ifdef Q_OS_UNIX
        QTest::newRow("symbolic link") << u"link"_s << true << QByteArray("abc3456789");
        QTest::newRow("FIFO") << u"fifo"_s << false << QByteArray("<a FIFO is never opened>");
        QTest::newRow("disk full") << u"full"_s << true << QByteArray("0123456789");
#endif
        QTest::newRow("file in a folder refusing new files") << u"locked/file"_s << true << QByteArray("abc3456789");
        QTest::newRow("new file there") << u"locked/missing"_s << false << QByteArray("<unreadable>");
    }
    void filesAreReadAndWrittenOnlyWhenSafe()
    {
        QFETCH(QString, entry);
        QFETCH(bool, readable);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
#ifdef Q_OS_WIN
        // Wine cannot make a folder refuse new files; scripts/windows.sh hands over one that does.
        const QString locked = qEnvironmentVariable("QELO_LOCKED_FOLDER", dir.filePath(u"locked"_s));
        if (entry.startsWith(u"locked") && !qEnvironmentVariableIsSet("QELO_LOCKED_FOLDER"))
            QSKIP("QELO_LOCKED_FOLDER names no folder that refuses new files");
#else
        const QString locked = dir.filePath(u"locked"_s);
#endif
        const QString path = entry.startsWith(u"locked/") ? locked + entry.mid(6) : dir.filePath(entry);
        QVERIFY(QDir(dir.path()).mkpath(u"folder"_s) && QDir().mkpath(locked));
        for (const QString &name : {dir.filePath(u"file"_s), dir.filePath(u"full"_s), locked + u"/file"_s}) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("0123456789") == 10);
        }
#ifdef Q_OS_UNIX
        QVERIFY(QFile::link(dir.filePath(u"file"_s), dir.filePath(u"link"_s)));
        QCOMPARE(mkfifo(qPrintable(dir.filePath(u"fifo"_s)), 0600), 0);
        // A folder that refuses new files, holding a file anyone may write. Root ignores the bits,
        // so it is checked with an ordinary user's file-system identity.
        chmod(qPrintable(dir.path()), 0755);
        chmod(qPrintable(locked), 0555);
        chmod(qPrintable(locked + u"/file"_s), 0666);
        const auto unlock = qScopeGuard([&] { chmod(qPrintable(locked), 0755); });
        const bool asUser = entry.startsWith(u"locked") && geteuid() == 0;
#ifdef Q_OS_LINUX
        const auto identity = qScopeGuard([asUser] { if (asUser) setfsuid(0); });
        if (asUser)
            setfsuid(65534);
#else
        if (asUser)
            QSKIP("root ignores the folder's permission bits here");
#endif
        // A real full disk, root included: no file may grow past 5 bytes while the limit holds.
        rlimit normal{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &normal), 0);
        const auto restore = qScopeGuard([normal] { setrlimit(RLIMIT_FSIZE, &normal); });
        const rlimit full{5, normal.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, entry == u"full" ? &full : &normal), 0);
#endif
        QCOMPARE(Files::isExistingFile(path), readable);
        QCOMPARE(Files::readHead(path, 4).has_value(), readable);
        const Files::WriteResult result = Files::writeHead(path, "abc");
        QCOMPARE(result.ok, after.startsWith("abc"));
        QCOMPARE(result.error.isEmpty(), result.ok);
#ifdef Q_OS_UNIX
        struct stat status = {};
        QVERIFY(stat(qPrintable(dir.filePath(u"fifo"_s)), &status) == 0 && S_ISFIFO(status.st_mode));
        QCOMPARE(QFileInfo(dir.filePath(u"link"_s)).isSymLink(), true);
#endif
        if (entry != u"fifo")
            QCOMPARE(readAll(path), after);
        // Nothing left behind: no temporary file, no file created where the write failed.
        QCOMPARE(QDir(locked).entryList(QDir::Files), QStringList{u"file"_s});
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
