// Checks that loading any bytes at all as qelo.ini leaves the settings inside their ranges and the file untouched.
#include "modules/mdlUser.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

using mdlUser::Opt;

namespace {

// Written out here rather than taken from mdlUser, so that a wrong constant there shows up.
constexpr double MinTime = 0.1;
constexpr double MaxTime = 10.0;
constexpr int RecordSize = 20;

// A time far in the past: loading must not move the file's modification time to now.
const QDateTime OldTime = QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6, 789), Qt::UTC);

struct Record
{
    quint64 viewTimeBits;
    quint16 stringLen;
    quint64 viewAnsTimeBits;
    quint16 kigouNum;
};

void putLe(QByteArray &out, quint64 value, int size)
{
    for (int i = 0; i < size; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

quint64 getLe(const QByteArray &in, int offset, int size)
{
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value |= quint64(quint8(in[offset + i])) << (8 * i);
    return value;
}

QByteArray bytesOf(const Record &r)
{
    QByteArray out;
    putLe(out, r.viewTimeBits, 8);
    putLe(out, r.stringLen, 2);
    putLe(out, r.viewAnsTimeBits, 8);
    putLe(out, r.kigouNum, 2);
    return out;
}

quint64 bitsOf(double value) { return std::bit_cast<quint64>(value); }

bool sameBits(double a, double b) { return bitsOf(a) == bitsOf(b); }

// What a loaded time must become: in-range values bit for bit, others at the nearest bound.
// A NaN only has to end somewhere inside the range.
bool timeLoadedAs(double loaded, quint64 fileBits)
{
    const double inFile = std::bit_cast<double>(fileBits);
    if (std::isnan(loaded) || loaded < MinTime || loaded > MaxTime)
        return false;
    if (std::isnan(inFile))
        return true;
    if (inFile < MinTime)
        return sameBits(loaded, MinTime);
    if (inFile > MaxTime)
        return sameBits(loaded, MaxTime);
    return sameBits(loaded, inFile);
}

qint16 clampedInt(quint16 raw, int low, int high)
{
    const int value = qint16(raw);
    return qint16(value < low ? low : value > high ? high : value);
}

QString describe(const OptData &o)
{
    return QStringLiteral("ViewTime %1 (0x%2), StringLen %3, ViewAnsTime %4 (0x%5), KigouNum %6")
        .arg(o.ViewTime)
        .arg(bitsOf(o.ViewTime), 16, 16, QLatin1Char('0'))
        .arg(o.StringLen)
        .arg(o.ViewAnsTime)
        .arg(bitsOf(o.ViewAnsTime), 16, 16, QLatin1Char('0'))
        .arg(o.KigouNum);
}

// Doubles that sit on or next to every boundary the loader could get wrong.
std::vector<quint64> edgeDoubles()
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> values = {
        0.0, -0.0, std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min(),
        std::nextafter(std::numeric_limits<double>::min(), 0.0), std::numeric_limits<double>::min(),
        std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(), inf, -inf,
        std::nextafter(MinTime, 0.0), MinTime, std::nextafter(MinTime, 1.0), 0.7, 3.0,
        std::nextafter(MaxTime, 0.0), MaxTime, std::nextafter(MaxTime, inf), -MinTime, 1e300, -3.0,
    };
    std::vector<quint64> bits;
    for (double v : values)
        bits.push_back(bitsOf(v));
    // NaNs: quiet, signalling, negative, and with payloads in the low and high mantissa bits.
    for (quint64 nan : {0x7FF8000000000000ULL, 0x7FF0000000000001ULL, 0xFFF8000000000000ULL, 0x7FF4000000000000ULL,
                        0x7FF8DEADBEEF0001ULL, 0x7FFFFFFFFFFFFFFFULL, 0xFFFFFFFFFFFFFFFFULL, 0xFFF0000000000001ULL})
        bits.push_back(nan);
    return bits;
}

const std::vector<quint16> EdgeInts = {0x8000, 0x8001, 0xFFFF, 0, 1, 2, 3, 4, 19, 20, 21, 54, 55, 56, 0x7FFE, 0x7FFF};

} // namespace

class TestUntrustedSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void randomBytesOfEveryLength_data();
    void randomBytesOfEveryLength();
    void edgeValues_data();
    void edgeValues();
    void notARegularFile_data();
    void notARegularFile();

private:
    // Writes the bytes, loads them over `before`, and checks the file and Opt afterwards.
    // Returns false after a failed check (QtTest has already recorded it).
    bool loadAndCheck(const QByteArray &bytes, const OptData &before);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestUntrustedSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("qelo.ini"));
}

bool TestUntrustedSettings::loadAndCheck(const QByteArray &bytes, const OptData &before)
{
    {
        // A new file each time: truncating one makes ext4 flush it to disk on close, a hundred times slower.
        QFile::remove(m_path);
        QFile file(m_path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(bytes) != bytes.size()) {
            QTest::qFail("cannot write the test file", __FILE__, __LINE__);
            return false;
        }
        // Flushed first, or closing would write the buffer and stamp the file with now.
        if (!file.flush() || !file.setFileTime(OldTime, QFileDevice::FileModificationTime)) {
            QTest::qFail("cannot set the test file's time", __FILE__, __LINE__);
            return false;
        }
    }

    Opt = before;
    mdlUser::LoadOpt(m_path);
    const OptData after = Opt;

    const QString context = QStringLiteral("file %1 (%2 bytes), before: %3, after: %4")
                                .arg(QString::fromLatin1(bytes.toHex(' ')))
                                .arg(bytes.size())
                                .arg(describe(before), describe(after));

    QFile file(m_path);
    if (!QTest::qVerify(file.open(QIODevice::ReadOnly), "open", qPrintable(context), __FILE__, __LINE__))
        return false;
    if (!QTest::qVerify(file.readAll() == bytes, "bytes unchanged", qPrintable(context), __FILE__, __LINE__))
        return false;
    if (!QTest::qVerify(QFileInfo(m_path).lastModified().toUTC() == OldTime, "mtime unchanged",
                        qPrintable(context), __FILE__, __LINE__))
        return false;

    if (bytes.size() < RecordSize) {
        return QTest::qVerify(after == before, "short file keeps the previous settings", qPrintable(context),
                              __FILE__, __LINE__);
    }

    const Record rec{getLe(bytes, 0, 8), quint16(getLe(bytes, 8, 2)), getLe(bytes, 10, 8),
                     quint16(getLe(bytes, 18, 2))};
    if (!QTest::qVerify(timeLoadedAs(after.ViewTime, rec.viewTimeBits), "ViewTime", qPrintable(context), __FILE__,
                        __LINE__))
        return false;
    if (!QTest::qVerify(timeLoadedAs(after.ViewAnsTime, rec.viewAnsTimeBits), "ViewAnsTime", qPrintable(context),
                        __FILE__, __LINE__))
        return false;
    if (!QTest::qVerify(after.StringLen == clampedInt(rec.stringLen, 1, 20), "StringLen", qPrintable(context),
                        __FILE__, __LINE__))
        return false;
    return QTest::qVerify(after.KigouNum == clampedInt(rec.kigouNum, 3, 55), "KigouNum", qPrintable(context),
                          __FILE__, __LINE__);
}

void TestUntrustedSettings::randomBytesOfEveryLength_data()
{
    QTest::addColumn<int>("length");
    for (int length = 0; length <= 64; ++length)
        QTest::addRow("%d bytes", length) << length;
}

void TestUntrustedSettings::randomBytesOfEveryLength()
{
    QFETCH(int, length);
    // A fixed start value per length keeps a failure reproducible.
    std::mt19937_64 rng(0x51E0u + quint64(length));
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> len(1, 20), count(3, 55), tenths(1, 100);

    constexpr int FilesPerLength = 200;
    for (int n = 0; n < FilesPerLength; ++n) {
        QByteArray bytes(length, '\0');
        // Every fourth file is mostly 0x00 or 0xFF, where sign and exponent bits cluster.
        const int mode = n % 4;
        for (char &b : bytes) {
            const int r = byte(rng);
            b = char(mode == 1 ? (r < 32 ? r : 0x00) : mode == 2 ? (r < 32 ? r : 0xFF) : r);
        }
        const OptData before{tenths(rng) / 10.0, qint16(len(rng)), tenths(rng) / 10.0, qint16(count(rng))};
        if (!loadAndCheck(bytes, before))
            return;
    }
}

void TestUntrustedSettings::edgeValues_data()
{
    QTest::addColumn<quint64>("viewTimeBits");
    for (quint64 bits : edgeDoubles())
        QTest::addRow("ViewTime 0x%016llx", static_cast<unsigned long long>(bits)) << bits;
}

void TestUntrustedSettings::edgeValues()
{
    QFETCH(quint64, viewTimeBits);
    const std::vector<quint64> doubles = edgeDoubles();
    const OptData before{0.5, 7, 0.5, 9};
    const size_t ints = EdgeInts.size();
    int variant = 0;
    for (size_t d = 0; d < doubles.size(); ++d) {
        // Each integer once in each field per double, paired differently for each double.
        for (size_t i = 0; i < ints; ++i) {
            const quint16 stringLen = EdgeInts[i];
            const quint16 kigouNum = EdgeInts[(i * 7 + d) % ints];
            QByteArray bytes = bytesOf({viewTimeBits, stringLen, doubles[d], kigouNum});
            // Bytes after the record are not part of it, whatever they hold.
            bytes += QByteArray(variant++ % 45, char(0xA5));
            if (!loadAndCheck(bytes, before))
                return;
        }
    }
}

void TestUntrustedSettings::notARegularFile_data()
{
    QTest::addColumn<bool>("folder");
    QTest::newRow("missing") << false;
    QTest::newRow("a folder of that name") << true;
}

void TestUntrustedSettings::notARegularFile()
{
    QFETCH(bool, folder);
    if (folder)
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("qelo.ini")));
    const OptData before{0.2, 20, 9.9, 3};
    Opt = before;
    mdlUser::LoadOpt(m_path);
    QCOMPARE(Opt, before);
    const QFileInfo info(m_path);
    QCOMPARE(info.exists(), folder);
    QCOMPARE(info.isDir(), folder);
}

QTEST_GUILESS_MAIN(TestUntrustedSettings)
#include "tst_untrustedsettings.moc"
