// Checks the shared module: the symbol table and its lookup, and the settings record's file.
#include "modules/mdlUser.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <bit>
#include <cmath>
#include <limits>

using namespace mdlUser;

namespace {

QByteArray fromHex(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

QByteArray record(double viewTime, qint16 stringLen, double viewAnsTime, qint16 kigouNum)
{
    return encodeOpt({viewTime, stringLen, viewAnsTime, kigouNum});
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestMdlUser : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void tableHoldsSymbolsInOrder();
    void lookupFindsWholeSymbols_data();
    void lookupFindsWholeSymbols();
    void defaultsEncodeToKnownBytes();
    void loadTakesFileValues_data();
    void loadTakesFileValues();
    void missingOrUnreadableFileKeepsValues_data();
    void missingOrUnreadableFileKeepsValues();
    void saveCreatesTwentyByteFile();
    void saveKeepsTailOfLongerFile();
    void failedSaveReportsAndKeepsOldFile();
};

void TestMdlUser::init()
{
    Opt = OptData{};
    InitKigou();
}

void TestMdlUser::tableHoldsSymbolsInOrder()
{
    const QList<char16_t> codePoints = {
        0x2606, 0x25CB, 0x25CE, 0x25B3, 0x25BD, 0x3006, 0x2235, 0x2234, 0x2025, 0x25A1, 0x25C7,
        0x2225, 0x2642, 0x2640, 0x221E, 0x00A7, 0x3012, 0x2192, 0x2190, 0x2191, 0x2193, 0x2227,
        0x2228, 0x2220, 0x2229, 0x222A, 0x2283, 0x2282, 0x2287, 0x2286, 0x220B, 0x2208, 0x21D2,
        0x21D4, 0x2200, 0x2203, 0x2261, 0x2202, 0x22A5, 0x222B, 0x221A, 0x226B, 0x226A, 0x2021,
        0x2020, 0x266A, 0x266D, 0x266F, 0x00B6, 0x2605, 0x25CF, 0x25B2, 0x25BC, 0x25A0, 0x25C6};
    QCOMPARE(codePoints.size(), KigouCount);
    for (int i = 0; i < KigouCount; ++i)
        QCOMPARE(KigouTable[i], QString(QChar(codePoints[i])));
    QVERIFY(KigouTable[KigouCount].isEmpty());
}

void TestMdlUser::lookupFindsWholeSymbols_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");

    QTest::newRow("first") << u"☆"_qs << 0;
    QTest::newRow("last") << u"◆"_qs << 54;
    QTest::newRow("black star is not the white one") << u"★"_qs << 49;
    QTest::newRow("pilcrow") << u"¶"_qs << 48;
    QTest::newRow("empty slot is never found") << QString() << -1;
    QTest::newRow("not in table") << u"A"_qs << -1;
    QTest::newRow("look-alike white circle") << u"◯"_qs << -1;
    QTest::newRow("two symbols") << u"☆☆"_qs << -1;
}

void TestMdlUser::lookupFindsWholeSymbols()
{
    QFETCH(QString, text);
    QFETCH(int, index);
    QCOMPARE(int(GetKigouIndex(text)), index);
}

void TestMdlUser::defaultsEncodeToKnownBytes()
{
    QCOMPARE(encodeOpt(OptData{}), fromHex("00 00 00 00 00 00 08 40 05 00 00 00 00 00 00 00 08 40 32 00"));
    QCOMPARE(decodeOpt(encodeOpt({0.7, -2, 0.1, 300})), OptData({0.7, -2, 0.1, 300}));
}

void TestMdlUser::loadTakesFileValues_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<OptData>("expected");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("off-list values kept") << record(4.5, 12, 0.7, 25) << OptData{4.5, 12, 0.7, 25};
    QTest::newRow("bounds kept") << record(0.1, 20, 10, 3) << OptData{0.1, 20, 10, 3};
    QTest::newRow("longer file") << record(2, 7, 1, 40) + "tail" << OptData{2, 7, 1, 40};
    QTest::newRow("below ranges") << record(0.01, 0, -5, 2) << OptData{0.1, 1, 0.1, 3};
    QTest::newRow("above ranges") << record(11, 21, 1e300, 56) << OptData{10, 20, 10, 55};
    QTest::newRow("extreme integers") << record(3, -32768, 3, 32767) << OptData{3, 1, 3, 55};
    QTest::newRow("NaN times take defaults") << record(nan, 5, nan, 50) << OptData{3, 5, 3, 50};
    QTest::newRow("infinite times") << record(inf, 5, -inf, 50) << OptData{10, 5, 0.1, 50};
    QTest::newRow("big-endian reading would differ") << fromHex("9a 99 99 99 99 99 e9 3f 0c 00 00 00 00 00 00 00 12 40 19 00")
                                                     << OptData{0.8, 12, 4.5, 25};
}

void TestMdlUser::loadTakesFileValues()
{
    QFETCH(QByteArray, bytes);
    QFETCH(OptData, expected);

    QTemporaryDir dir;
    const QString path = dir.filePath("qelo.ini");
    writeFile(path, bytes);
    LoadOpt(path);
    QCOMPARE(Opt, expected);
    QCOMPARE(readFile(path), bytes);
}

void TestMdlUser::missingOrUnreadableFileKeepsValues_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("missing") << u"qelo.ini"_qs << QByteArray();
    QTest::newRow("empty") << u"empty.ini"_qs << QByteArray("");
    QTest::newRow("19 bytes") << u"short.ini"_qs << record(9, 9, 9, 9).left(19);
    QTest::newRow("folder of that name") << u"folder.ini"_qs << QByteArray();
}

void TestMdlUser::missingOrUnreadableFileKeepsValues()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);

    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (name == u"folder.ini")
        QVERIFY(QDir(dir.path()).mkdir(name));
    else if (!bytes.isNull())
        writeFile(path, bytes);

    const OptData before{7, 8, 2, 30};
    Opt = before;
    LoadOpt(path);
    QCOMPARE(Opt, before);
    QCOMPARE(QFile::exists(path), name != u"qelo.ini");
}

void TestMdlUser::saveCreatesTwentyByteFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("qelo.ini");
    Opt = {0.7, 12, 4.5, 25};
    QVERIFY(SaveOpt(path).ok);
    QCOMPARE(readFile(path).size(), 20);

    // Stored bit for bit: 0.7 comes back as the very same double.
    Opt = OptData{};
    LoadOpt(path);
    QCOMPARE(std::bit_cast<quint64>(Opt.ViewTime), std::bit_cast<quint64>(0.7));
    QCOMPARE(Opt, OptData({0.7, 12, 4.5, 25}));
}

void TestMdlUser::saveKeepsTailOfLongerFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("qelo.ini");
    writeFile(path, record(1, 1, 1, 3) + "12345");

    Opt = OptData{};
    QVERIFY(SaveOpt(path).ok);
    QCOMPARE(readFile(path), encodeOpt(OptData{}) + "12345");
}

void TestMdlUser::failedSaveReportsAndKeepsOldFile()
{
    QTemporaryDir dir;
    // A folder in place of the file: it can be neither replaced nor written, even by root.
    const QString path = dir.filePath("qelo.ini");
    QVERIFY(QDir(dir.path()).mkpath("qelo.ini/inner"));
    writeFile(dir.filePath("qelo.ini/inner/keep"), "old");

    const Files::WriteResult result = SaveOpt(path);
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(readFile(dir.filePath("qelo.ini/inner/keep")), QByteArray("old"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{u"qelo.ini"_qs});
}

QTEST_MAIN(TestMdlUser)
#include "tst_mdluser.moc"
