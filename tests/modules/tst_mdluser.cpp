// Checks the shared module: the symbol table and its lookup, the settings record's bytes, and where its file lives.
#include "modules/mdlUser.h"
#include "platform/RandomSource.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <bit>
#include <cmath>
#include <limits>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace mdlUser;

namespace {

QByteArray record(double viewTime, qint16 stringLen, double viewAnsTime, qint16 kigouNum)
{
    return encodeOpt({viewTime, stringLen, viewAnsTime, kigouNum});
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

bool inRanges(const OptData &opt)
{
    return opt.ViewTime >= 0.1 && opt.ViewTime <= 10 && opt.StringLen >= 1 && opt.StringLen <= 20
        && opt.ViewAnsTime >= 0.1 && opt.ViewAnsTime <= 10 && opt.KigouNum >= 3 && opt.KigouNum <= 55;
}

} // namespace

class TestMdlUser : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void tableHoldsSymbolsInOrderAndLookupFindsWholeSymbols();
    void recordIsTwentyLittleEndianBytes();
    void loadTakesFileValuesWithinRanges_data();
    void loadTakesFileValuesWithinRanges();
    void loadSurvivesHostileBytes();
    void saveWritesTheRecordAndKeepsTheTail();
    void settingsLiveBesideTheProgramUnlessItsFolderRefuses_data();
    void settingsLiveBesideTheProgramUnlessItsFolderRefuses();
};

void TestMdlUser::init()
{
    Opt = OptData{};
    InitKigou();
}

void TestMdlUser::tableHoldsSymbolsInOrderAndLookupFindsWholeSymbols()
{
    const QString symbols = u"☆○◎△▽〆∵∴‥□◇∥♂♀∞§〒→←↑↓∧∨∠∩∪⊃⊂⊇⊆∋∈⇒⇔∀∃≡∂⊥∫√≫≪‡†♪♭♯¶★●▲▼■◆"_qs;
    QCOMPARE(symbols.size(), KigouCount);
    for (int i = 0; i < KigouCount; ++i) {
        QCOMPARE(KigouTable[i], symbols.mid(i, 1));
        QCOMPARE(int(GetKigouIndex(symbols.mid(i, 1))), i);
    }
    QVERIFY(KigouTable[KigouCount].isEmpty());
    for (const QString &stranger : {QString(), u"A"_qs, u"◯"_qs, u"☆☆"_qs})
        QCOMPARE(int(GetKigouIndex(stranger)), -1);
}

void TestMdlUser::recordIsTwentyLittleEndianBytes()
{
    QCOMPARE(encodeOpt(OptData{}).toHex(' '), "00 00 00 00 00 00 08 40 05 00 00 00 00 00 00 00 08 40 32 00");
    QCOMPARE(record(0.7, 20, 0.1, 55).toHex(' '), "66 66 66 66 66 66 e6 3f 14 00 9a 99 99 99 99 99 b9 3f 37 00");
    QCOMPARE(decodeOpt(record(0.7, -2, 0.1, 300)), OptData({0.7, -2, 0.1, 300}));
}

void TestMdlUser::loadTakesFileValuesWithinRanges_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<OptData>("expected");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("off-list values kept") << record(4.5, 12, 0.7, 25) << OptData{4.5, 12, 0.7, 25};
    QTest::newRow("bounds kept") << record(0.1, 20, 10, 3) << OptData{0.1, 20, 10, 3};
    QTest::newRow("longer file") << record(2, 7, 1, 40) + "tail" << OptData{2, 7, 1, 40};
    QTest::newRow("below ranges") << record(0.01, 0, -inf, 2) << OptData{0.1, 1, 0.1, 3};
    QTest::newRow("above ranges") << record(inf, 21, 1e300, 56) << OptData{10, 20, 10, 55};
    QTest::newRow("NaN times take defaults") << record(nan, -32768, nan, 32767) << OptData{3, 1, 3, 55};
    QTest::newRow("19 bytes keep defaults") << record(9, 9, 9, 9).left(19) << OptData{};
}

void TestMdlUser::loadTakesFileValuesWithinRanges()
{
    QFETCH(QByteArray, bytes);
    QFETCH(OptData, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"qelo.ini"_qs);
    writeAll(path, bytes);
    LoadOpt(path);
    QCOMPARE(Opt, expected);
    QCOMPARE(readAll(path), bytes);
}

void TestMdlUser::loadSurvivesHostileBytes()
{
    // Every length up to 40, random bytes and the extreme doubles and integers in every field.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"qelo.ini"_qs);
    RandomSource random([] { return quint64(7); });
    const QList<quint64> extremes = {0, ~0ULL, 0x7FF0000000000000ULL, 0xFFF8000000000000ULL, 0x8000000000000001ULL};
    for (int length = 0; length <= 40; ++length) {
        for (int round = 0; round < 40; ++round) {
            QByteArray bytes(length, Qt::Uninitialized);
            for (char &byte : bytes)
                byte = char(quint8(random.draw() * 256));
            for (int offset : {0, 10}) {
                if (round < extremes.size() && offset + 8 <= length)
                    bytes.replace(offset, 8, QByteArray::fromRawData(reinterpret_cast<const char *>(&extremes[round]), 8));
            }
            writeAll(path, bytes);
            Opt = OptData{};
            LoadOpt(path);
            QVERIFY2(inRanges(Opt), bytes.toHex().constData());
            QCOMPARE(readAll(path), bytes);
        }
    }
}

void TestMdlUser::saveWritesTheRecordAndKeepsTheTail()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"qelo.ini"_qs);
    Opt = {0.7, 12, 4.5, 25};
    QVERIFY(SaveOpt(path).ok);
    QCOMPARE(readAll(path), record(0.7, 12, 4.5, 25));
    Opt = OptData{};
    LoadOpt(path);
    QCOMPARE(std::bit_cast<quint64>(Opt.ViewTime), std::bit_cast<quint64>(0.7));

    writeAll(path, record(1, 1, 1, 3) + "12345");
    QVERIFY(SaveOpt(path).ok);
    QCOMPARE(readAll(path), record(0.7, 12, 4.5, 25) + "12345");
}

void TestMdlUser::settingsLiveBesideTheProgramUnlessItsFolderRefuses_data()
{
    QTest::addColumn<QString>("beside");
    QTest::addColumn<bool>("perUserFile");
    QTest::addColumn<OptData>("loaded");
    QTest::addColumn<QString>("savedTo");

    const OptData besideValues{2, 7, 1, 40};
    const OptData perUserValues{0.5, 9, 2, 30};
    QTest::newRow("writable folder") << u"none"_qs << false << OptData{} << u"beside"_qs;
    QTest::newRow("per-user file, writable folder") << u"none"_qs << true << perUserValues << u"beside"_qs;
    QTest::newRow("refusing folder") << u"refusing"_qs << false << OptData{} << u"perUser"_qs;
    QTest::newRow("refusing folder, per-user file") << u"refusing"_qs << true << perUserValues << u"perUser"_qs;
    QTest::newRow("both files") << u"file"_qs << true << besideValues << u"beside"_qs;
    QTest::newRow("folder named qelo.ini") << u"folder"_qs << true << OptData{} << QString();
#ifdef Q_OS_UNIX
    QTest::newRow("FIFO named qelo.ini") << u"fifo"_qs << true << OptData{} << QString();
#endif
}

void TestMdlUser::settingsLiveBesideTheProgramUnlessItsFolderRefuses()
{
    QFETCH(QString, beside);
    QFETCH(bool, perUserFile);
    QFETCH(OptData, loaded);
    QFETCH(QString, savedTo);

    QTemporaryDir dir;
    // A folder that cannot hold a new file, root included: its path runs through a plain file.
    const QString programFolder = dir.filePath(beside == u"refusing" ? u"plain"_qs : u"program"_qs);
    const SettingsFiles files{programFolder + u"/qelo.ini"_qs, dir.filePath(u"config/qelo/qelo.ini"_qs)};
    writeAll(dir.filePath(u"plain"_qs), "plain");
    QVERIFY(QDir(dir.path()).mkpath(u"program"_qs));
    if (beside == u"file")
        writeAll(files.besideProgram, record(2, 7, 1, 40));
    if (beside == u"folder")
        QVERIFY(QDir(dir.path()).mkpath(u"program/qelo.ini"_qs));
#ifdef Q_OS_UNIX
    if (beside == u"fifo")
        QCOMPARE(mkfifo(qPrintable(files.besideProgram), 0600), 0);
#endif
    const QByteArray perUserBytes = record(0.5, 9, 2, 30) + "tail";
    if (perUserFile) {
        QVERIFY(QDir(dir.path()).mkpath(u"config/qelo"_qs));
        writeAll(files.perUser, perUserBytes);
    }

    LoadOpt(settingsFileToRead(files));
    QCOMPARE(Opt, loaded);

    Opt = {4.5, 12, 0.7, 25};
    const SaveResult saved = SaveSettings(files);
    QCOMPARE(saved.ok, !savedTo.isEmpty());
    QCOMPARE(saved.path, savedTo == u"perUser" ? files.perUser : files.besideProgram);
    QCOMPARE(saved.error.isEmpty(), saved.ok);
    if (saved.ok)
        QCOMPARE(readAll(saved.path).left(20), record(4.5, 12, 0.7, 25));
    if (savedTo != u"perUser")
        QCOMPARE(readAll(files.perUser), perUserFile ? perUserBytes : QByteArray());
    QCOMPARE(QFileInfo(files.besideProgram).isDir(), beside == u"folder");
}

QTEST_MAIN(TestMdlUser)
#include "tst_mdluser.moc"
