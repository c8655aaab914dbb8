// Checks the shared module: the symbol table and its lookup, the settings record's bytes, and where its file lives.
#include "modules/mdlUser.h"
#include "platform/RandomSource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;
using namespace mdlUser;

namespace {

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

const OptData besideValues{2, 7, 1, 40}, perUserValues{0.5, 9, 2, 30};

} // namespace

class TestMdlUser : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Opt = OptData{};
        InitKigou();
    }

    void tableHoldsSymbolsInOrderAndLookupFindsWholeSymbols()
    {
        const QString symbols = u"☆○◎△▽〆∵∴‥□◇∥♂♀∞§〒→←↑↓∧∨∠∩∪⊃⊂⊇⊆∋∈⇒⇔∀∃≡∂⊥∫√≫≪‡†♪♭♯¶★●▲▼■◆"_s;
        QCOMPARE(symbols.size(), KigouCount);
        for (int i = 0; i < KigouCount; ++i) {
            QCOMPARE(KigouTable[i], symbols.mid(i, 1));
            QCOMPARE(int(GetKigouIndex(symbols.mid(i, 1))), i);
        }
        QVERIFY(KigouTable[KigouCount].isEmpty());
        for (const QString &stranger : {QString(), u"A"_s, u"◯"_s, u"☆☆"_s})
            QCOMPARE(int(GetKigouIndex(stranger)), -1);
    }

    void loadTakesFileValuesWithinRanges_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<OptData>("expected");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("defaults") << QByteArray::fromHex("0000000000000840050000000000000008403200") << OptData{};
        QTest::newRow("off the lists, longer file") << QByteArray::fromHex("666666666666e63f0c00000000000000124019007a")
                                                    << OptData{0.7, 12, 4.5, 25};
        QTest::newRow("bounds") << encodeOpt({0.1, 20, 10, 3}) << OptData{0.1, 20, 10, 3};
        QTest::newRow("below ranges") << encodeOpt({0.01, 0, -inf, 2}) << OptData{0.1, 1, 0.1, 3};
        QTest::newRow("above ranges") << encodeOpt({inf, 21, 1e300, 56}) << OptData{10, 20, 10, 55};
        QTest::newRow("NaN times take defaults") << encodeOpt({nan, -32768, nan, 32767}) << OptData{3, 1, 3, 55};
        QTest::newRow("19 bytes keep defaults") << encodeOpt({9, 9, 9, 9}).left(19) << OptData{};
    }
    void loadTakesFileValuesWithinRanges()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(OptData, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"qelo.ini"_s);
        writeAll(path, bytes);
        LoadOpt(path);
        QCOMPARE(Opt, expected);
        // Saved again, the record comes back bit for bit and the bytes after it stay.
        QVERIFY(SaveOpt(path).ok);
        QCOMPARE(readAll(path), encodeOpt(expected) + bytes.mid(20));
        QCOMPARE(decodeOpt(readAll(path)), expected);
    }

    void loadSurvivesHostileBytes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"qelo.ini"_s);
        RandomSource random([] { return quint64(7); });
        for (int length = 0; length <= 40; ++length) {
            for (int round = 0; round < 50; ++round) {
                QByteArray bytes(length, Qt::Uninitialized);
                for (char &byte : bytes)
                    byte = char(quint8(random.draw() * 256));
                writeAll(path, bytes);
                Opt = OptData{};
                LoadOpt(path);
                QVERIFY2(Opt.ViewTime >= 0.1 && Opt.ViewTime <= 10 && Opt.ViewAnsTime >= 0.1 && Opt.ViewAnsTime <= 10
                             && Opt.StringLen >= 1 && Opt.StringLen <= 20 && Opt.KigouNum >= 3 && Opt.KigouNum <= 55,
                         bytes.toHex().constData());
                QCOMPARE(readAll(path), bytes);
            }
        }
    }

    void settingsHomesAreThePlatformsOwn()
    {
        // The Debian package's test checks $XDG_CONFIG_HOME on Linux.
        QCoreApplication::setApplicationName(u"qelo"_s);
        const SettingsFiles files = settingsFiles();
#if defined(QELO_PER_USER_SETTINGS) || defined(Q_OS_MACOS)
        QVERIFY(files.besideProgram.isEmpty());
#else
        QCOMPARE(files.besideProgram, QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + "/qelo.ini"));
#endif
#ifdef Q_OS_WIN
        QCOMPARE(files.perUser, QDir::toNativeSeparators(qEnvironmentVariable("LOCALAPPDATA") + "/qelo/qelo.ini"));
#endif
    }

    void settingsLiveBesideTheProgramWhereTheyMay_data()
    {
        QTest::addColumn<QString>("beside");
        // The player's own folder: "file" holds a settings file, "" none, "no home" there is no such folder.
        QTest::addColumn<QString>("perUser");
        QTest::addColumn<OptData>("loaded");
        QTest::addColumn<QString>("savedTo");
        QTest::newRow("writable folder") << u"none"_s << QString() << OptData{} << u"beside"_s;
        QTest::newRow("per-user file, writable folder") << u"none"_s << u"file"_s << perUserValues << u"beside"_s;
        QTest::newRow("refusing folder") << u"refusing"_s << QString() << OptData{} << u"perUser"_s;
        QTest::newRow("refusing folder, per-user file") << u"refusing"_s << u"file"_s << perUserValues << u"perUser"_s;
        QTest::newRow("both files") << u"file"_s << u"file"_s << besideValues << u"beside"_s;
        QTest::newRow("folder named qelo.ini") << u"folder"_s << u"file"_s << OptData{} << QString();
        // A system package and a macOS bundle keep none beside the program, even where one is there and writable.
        QTest::newRow("system package") << u"package"_s << u"file"_s << perUserValues << u"perUser"_s;
        QTest::newRow("macOS bundle") << u"bundle"_s << u"file"_s << perUserValues << u"perUser"_s;
        // Without a home folder (a service account, HOME unset) nothing is written at the file system's root.
        QTest::newRow("refusing folder, no home") << u"refusing"_s << u"no home"_s << OptData{} << QString();
        QTest::newRow("system package, no home") << u"package"_s << u"no home"_s << OptData{} << QString();
        QTest::newRow("macOS bundle, no home") << u"bundle"_s << u"no home"_s << OptData{} << QString();
    }
    void settingsLiveBesideTheProgramWhereTheyMay()
    {
        QFETCH(QString, beside);
        QFETCH(QString, perUser);
        QFETCH(OptData, loaded);
        QFETCH(QString, savedTo);
        QTemporaryDir dir;
        // A folder that cannot hold a new file, root included: its path runs through a plain file.
        const QString programFolder = dir.filePath(beside == u"refusing" ? u"plain"_s : u"program"_s);
        const QString besideProgram = programFolder + u"/qelo.ini"_s;
        const bool perUserOnly = beside == u"package" || beside == u"bundle";
        const bool home = perUser != u"no home", perUserFile = perUser == u"file";
        const SettingsFiles files = settingsFilesFor(QDir::toNativeSeparators(programFolder),
            home ? QDir::toNativeSeparators(dir.filePath(u"config/qelo"_s)) : QString(), beside == u"package",
            beside == u"bundle");
        QCOMPARE(files.perUser.isEmpty(), !home);
        writeAll(dir.filePath(u"plain"_s), "plain");
        QVERIFY(QDir(dir.path()).mkpath(beside == u"folder" ? u"program/qelo.ini"_s : u"program"_s));
        if (beside == u"file" || perUserOnly)
            writeAll(besideProgram, encodeOpt(besideValues));
        const QByteArray perUserBytes = encodeOpt(perUserValues) + "tail";
        if (perUserFile) {
            QVERIFY(QDir(dir.path()).mkpath(u"config/qelo"_s));
            writeAll(files.perUser, perUserBytes);
        }

        LoadOpt(settingsFileToRead(files));
        QCOMPARE(Opt, loaded);
        Opt = {4.5, 12, 0.7, 25};
        const SaveResult saved = SaveSettings(files);
        QCOMPARE(saved.ok, !savedTo.isEmpty());
        QCOMPARE(saved.error.isEmpty(), saved.ok);
        QCOMPARE(saved.path, savedTo == u"perUser" ? files.perUser : files.besideProgram);
        if (saved.ok)
            QCOMPARE(readAll(saved.path).left(20), encodeOpt(Opt));
        if (savedTo != u"perUser")
            QCOMPARE(readAll(files.perUser), perUserFile ? perUserBytes : QByteArray());
        QCOMPARE(QFileInfo(besideProgram).isDir(), beside == u"folder");
        QCOMPARE(readAll(besideProgram) == encodeOpt(besideValues), perUserOnly);
    }
};

QTEST_MAIN(TestMdlUser)
#include "tst_mdluser.moc"
