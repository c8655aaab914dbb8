// Checks the platform layer: number conversions, the random source, twips geometry, labels that draw their text whole and raw file access.
#include "platform/Convert.h"
#include "platform/Files.h"
#include "platform/FittingLabel.h"
#include "platform/RandomSource.h"
#include "platform/Twips.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void roundsHalvesToEvenAndSaturates_data();
    void roundsHalvesToEvenAndSaturates();
    void readsLeadingNumber_data();
    void readsLeadingNumber();
    void writesDecimalText_data();
    void writesDecimalText();
    void drawsStayBelowOne_data();
    void drawsStayBelowOne();
    void fixedStartGivesRecordedDraws();
    void clockReseedsDiffer();
    void twipsReadBackAsSetAndSnapToPixels_data();
    void twipsReadBackAsSetAndSnapToPixels();
    void labelDrawsWideTextWhole_data();
    void labelDrawsWideTextWhole();
    void existingFileExcludesFolders();
    void readHeadReturnsPrefix();
    void writeHeadKeepsTailAndLength();
    void writeHeadFailureLeavesNothingBehind_data();
    void writeHeadFailureLeavesNothingBehind();
};

void TestPlatform::roundsHalvesToEvenAndSaturates_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("int16");
    QTest::addColumn<qint64>("int32");

    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("2.5 down") << 2.5 << 2 << qint64(2);
    QTest::newRow("3.5 up") << 3.5 << 4 << qint64(4);
    QTest::newRow("-2.5 to even") << -2.5 << -2 << qint64(-2);
    QTest::newRow("20.5") << 20.5 << 20 << qint64(20);
    QTest::newRow("19.5") << 19.5 << 20 << qint64(20);
    QTest::newRow("0.3 * 1000") << 0.3 * 1000 << 300 << qint64(300);
    QTest::newRow("int16 edge") << 32767.4 << 32767 << qint64(32767);
    QTest::newRow("int16 half past edge") << 32767.5 << 32767 << qint64(32768);
    QTest::newRow("99999") << 99999.0 << 32767 << qint64(99999);
    QTest::newRow("-99999") << -99999.0 << -32768 << qint64(-99999);
    QTest::newRow("1e10") << 1e10 << 32767 << qint64(2147483647);
    QTest::newRow("-1e10") << -1e10 << -32768 << qint64(-2147483648LL);
    QTest::newRow("+inf") << inf << 32767 << qint64(2147483647);
    QTest::newRow("-inf") << -inf << -32768 << qint64(-2147483648LL);
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

void TestPlatform::readsLeadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("unit after number") << u"2.5秒"_qs << 2.5;
    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("letters") << u"abc"_qs << 0.0;
    QTest::newRow("negative") << u"-3"_qs << -3.0;
    QTest::newRow("exponent") << u"1e3"_qs << 1000.0;
    QTest::newRow("full-width digits") << u"１０"_qs << 10.0;
    QTest::newRow("full-width sign and point") << u"－３．５"_qs << -3.5;
    QTest::newRow("large") << u"99999999999"_qs << 99999999999.0;
    QTest::newRow("leading blanks") << u"  \t7"_qs << 7.0;
    QTest::newRow("ideographic space") << u"\u30008"_qs << 8.0;
    QTest::newRow("bare point") << u".5"_qs << 0.5;
    QTest::newRow("trailing point") << u"5."_qs << 5.0;
    QTest::newRow("trailing zero") << u"0.70"_qs << 0.7;
    QTest::newRow("exponent without digits") << u"1e"_qs << 1.0;
    QTest::newRow("signed exponent without digits") << u"2e+x"_qs << 2.0;
    QTest::newRow("sign alone") << u"-"_qs << 0.0;
    QTest::newRow("point alone") << u"."_qs << 0.0;
    QTest::newRow("second point stops") << u"1.2.3"_qs << 1.2;
    QTest::newRow("too large") << u"1e400"_qs << inf;
    QTest::newRow("too large negative") << u"-1e400"_qs << -inf;
    QTest::newRow("too small") << u"1e-400"_qs << 0.0;
    QTest::newRow("huge exponent") << u"1e99999999999999999999"_qs << inf;
}

void TestPlatform::readsLeadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(Convert::leadingNumber(text), expected);
}

void TestPlatform::writesDecimalText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("integer") << 10.0 << u"10"_qs;
    QTest::newRow("0.7") << 0.7 << u"0.7"_qs;
    QTest::newRow("4.5") << 4.5 << u"4.5"_qs;
    QTest::newRow("0.25") << 0.25 << u"0.25"_qs;
    QTest::newRow("0.1") << 0.1 << u"0.1"_qs;
    QTest::newRow("negative zero") << -0.0 << u"0"_qs;
    QTest::newRow("fifteen digits") << 1.0 / 3.0 << u"0.333333333333333"_qs;
    QTest::newRow("sum with binary noise") << 0.1 + 0.2 << u"0.3"_qs;
}

void TestPlatform::writesDecimalText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(Convert::toDecimalText(value), text);
}

void TestPlatform::drawsStayBelowOne_data()
{
    QTest::addColumn<quint32>("bits");
    QTest::addColumn<float>("expected");

    QTest::newRow("zero") << 0u << 0.0f;
    QTest::newRow("largest") << 0xFFFFFFFFu << 1.0f - 0x1p-24f;
    QTest::newRow("half") << 0x80000000u << 0.5f;
    QTest::newRow("low bits ignored") << 0x000000FFu << 0.0f;
}

void TestPlatform::drawsStayBelowOne()
{
    QFETCH(quint32, bits);
    QFETCH(float, expected);
    const float unit = RandomSource::unitFromBits(bits);
    QCOMPARE(unit, expected);
    QVERIFY(unit < 1.0f);
    // Even the largest draw must give an index inside the range.
    QVERIFY(std::floor(double(unit) * 55) <= 54);
}

void TestPlatform::fixedStartGivesRecordedDraws()
{
    RandomSource random([] { return quint64(42); });
    const QList<float> recorded = {0.826235712f, 0.466466844f, 0.361650586f, 0.755001783f, 0.588852108f};
    for (float expected : recorded)
        QCOMPARE(random.draw(), expected);  // exact: mt19937 and seed_seq are fully standardised

    // Reseeding with the same value starts the same sequence again.
    random.reseed();
    QCOMPARE(random.draw(), recorded.first());
}

void TestPlatform::clockReseedsDiffer()
{
    RandomSource random;
    QList<float> first;
    QList<float> second;
    random.reseed();
    for (int i = 0; i < 8; ++i)
        first << random.draw();
    random.reseed();
    for (int i = 0; i < 8; ++i)
        second << random.draw();
    QVERIFY(first != second);
}

void TestPlatform::twipsReadBackAsSetAndSnapToPixels_data()
{
    QTest::addColumn<float>("twips");
    QTest::addColumn<int>("pixels");

    QTest::newRow("key size") << 375.0f << 25;
    QTest::newRow("frame left") << 1920.0f << 128;
    QTest::newRow("just below half") << 7.0f << 0;
    QTest::newRow("just above half") << 8.0f << 1;
    QTest::newRow("fraction") << 1234.567f << 82;
    QTest::newRow("negative") << -975.0f << -65;
}

void TestPlatform::twipsReadBackAsSetAndSnapToPixels()
{
    QFETCH(float, twips);
    QFETCH(int, pixels);

    QWidget parent;
    QWidget child(&parent);
    TwipsGeometry geometry(&child);
    geometry.setRect(twips, twips, 750, 375);
    QCOMPARE(geometry.left(), twips);
    QCOMPARE(geometry.top(), twips);
    QCOMPARE(child.x(), pixels);
    QCOMPARE(child.y(), pixels);
    QCOMPARE(child.size(), QSize(50, 25));
}

void TestPlatform::labelDrawsWideTextWhole_data()
{
    QTest::addColumn<int>("symbols");
    QTest::addColumn<Qt::Alignment>("alignment");

    QTest::newRow("fits") << 3 << Qt::Alignment(Qt::AlignLeft | Qt::AlignTop);
    QTest::newRow("wider than the label") << 6 << Qt::Alignment(Qt::AlignLeft | Qt::AlignTop);
    QTest::newRow("wider, centred") << 6 << Qt::Alignment(Qt::AlignCenter);
}

void TestPlatform::labelDrawsWideTextWhole()
{
    QFETCH(int, symbols);
    QFETCH(Qt::Alignment, alignment);

    // Black squares on white: each one a run of dark columns that clipping would shorten or drop.
    FittingLabel label;
    QFont font = label.font();
    font.setPixelSize(27);
    label.setFont(font);
    label.setAlignment(alignment);
    label.setText(QString(symbols, QChar(0x25A0)));
    label.setStyleSheet(u"background: white; color: black"_qs);
    label.resize(125, 25);
    const QImage image = label.grab().toImage();

    QList<int> runs;
    bool inInk = false;
    for (int x = 0; x < image.width(); ++x) {
        bool dark = false;
        for (int y = 0; y < image.height() && !dark; ++y)
            dark = qGray(image.pixel(x, y)) < 128;
        if (dark && !inInk)
            runs << 0;
        if (dark)
            ++runs.last();
        inInk = dark;
    }
    QCOMPARE(runs.size(), symbols);
    QVERIFY2(*std::max_element(runs.begin(), runs.end()) - *std::min_element(runs.begin(), runs.end()) <= 2,
             "every square drawn at the same width");
    // No square touches the top or bottom edge: none is cut off there either.
    for (int x = 0; x < image.width(); ++x) {
        QVERIFY(qGray(image.pixel(x, 0)) >= 128);
        QVERIFY(qGray(image.pixel(x, image.height() - 1)) >= 128);
    }
}

void TestPlatform::existingFileExcludesFolders()
{
    QTemporaryDir dir;
    QVERIFY(!Files::isExistingFile(dir.path()));
    QVERIFY(!Files::isExistingFile(dir.filePath("missing")));
    QFile file(dir.filePath("present"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(Files::isExistingFile(file.fileName()));
}

void TestPlatform::readHeadReturnsPrefix()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("data"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("0123456789");
    file.close();

    QCOMPARE(Files::readHead(file.fileName(), 4), QByteArray("0123"));
    QCOMPARE(Files::readHead(file.fileName(), 20), QByteArray("0123456789"));
    QVERIFY(!Files::readHead(dir.filePath("missing"), 4));
}

void TestPlatform::writeHeadKeepsTailAndLength()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("0123456789");
    file.close();

    QVERIFY(Files::writeHead(path, "abc").ok);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("abc3456789"));
    file.close();

    const QString fresh = dir.filePath("fresh");
    QVERIFY(Files::writeHead(fresh, "xyz").ok);
    QFile created(fresh);
    QVERIFY(created.open(QIODevice::ReadOnly));
    QCOMPARE(created.readAll(), QByteArray("xyz"));
}

void TestPlatform::writeHeadFailureLeavesNothingBehind_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("missing folder") << u"no/such/folder/file"_qs;
    QTest::newRow("folder is a file") << u"plain/file"_qs;
    QTest::newRow("target is a folder") << u"folder"_qs;
}

void TestPlatform::writeHeadFailureLeavesNothingBehind()
{
    QFETCH(QString, relativePath);
    QTemporaryDir dir;
    QFile plain(dir.filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("keep");
    plain.close();
    QVERIFY(QDir(dir.path()).mkdir("folder"));

    const Files::WriteResult result = Files::writeHead(dir.filePath(relativePath), "abc");
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QVERIFY(plain.open(QIODevice::ReadOnly));
    QCOMPARE(plain.readAll(), QByteArray("keep"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList({u"folder"_qs, u"plain"_qs}));
    QVERIFY(QDir(dir.filePath("folder")).isEmpty());
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
