// Loads many thousands of random and edge-case byte strings as qelo.ini: the settings always end inside their
// ranges, a file shorter than a record keeps the previous ones, and loading never modifies the file.
#include "modules/mdlUser.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

using mdlUser::Opt;

namespace {

// Written out here rather than taken from mdlUser, so that a wrong constant there shows up.
constexpr double MinTime = 0.1;
constexpr double MaxTime = 10.0;
constexpr int RecordSize = 20;
// A time far in the past: loading must not move the file's modification time to now.
const QDateTime OldTime(QDate(2001, 2, 3), QTime(4, 5, 6, 789), Qt::UTC);

quint64 bitsOf(double value) { return std::bit_cast<quint64>(value); }

// A loaded time is the file's held to the range, bit for bit; a NaN only has to end somewhere inside it.
bool timeLoadedAs(double loaded, quint64 fileBits)
{
    const double inFile = std::bit_cast<double>(fileBits);
    return loaded >= MinTime && loaded <= MaxTime
        && (std::isnan(inFile) || bitsOf(loaded) == bitsOf(std::clamp(inFile, MinTime, MaxTime)));
}

QString describe(const OptData &o)
{
    return QStringLiteral("%1, %2, %3, %4").arg(o.ViewTime, 0, 'g', 17).arg(o.StringLen)
        .arg(o.ViewAnsTime, 0, 'g', 17).arg(o.KigouNum);
}

// Doubles on or next to every boundary the loader could get wrong, and NaNs: quiet, signalling, negative,
// and with payloads in the low and high mantissa bits.
std::vector<quint64> edgeDoubles()
{
    using limits = std::numeric_limits<double>;
    std::vector<quint64> bits = {0x7FF8000000000000ULL, 0x7FF0000000000001ULL, 0xFFF8000000000000ULL,
                                 0x7FF4000000000000ULL, 0x7FF8DEADBEEF0001ULL, 0x7FFFFFFFFFFFFFFFULL,
                                 0xFFFFFFFFFFFFFFFFULL, 0xFFF0000000000001ULL};
    for (double v : {0.0, -0.0, limits::denorm_min(), -limits::denorm_min(), std::nextafter(limits::min(), 0.0),
                     limits::min(), limits::max(), limits::lowest(), limits::infinity(), -limits::infinity(),
                     std::nextafter(MinTime, 0.0), MinTime, std::nextafter(MinTime, 1.0), 0.7, 3.0,
                     std::nextafter(MaxTime, 0.0), MaxTime, std::nextafter(MaxTime, 11.0), -MinTime, 1e300, -3.0})
        bits.push_back(bitsOf(v));
    return bits;
}

const std::vector<quint16> EdgeInts = {0x8000, 0x8001, 0xFFFF, 0, 1, 2, 3, 4, 19, 20, 21, 54, 55, 56, 0x7FFE, 0x7FFF};

} // namespace

class TestUntrustedSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void randomBytesOfEveryLength();
    void edgeValues();

private:
    // Writes the bytes, loads them over `before`, and returns what went wrong, or nothing.
    QString loadAndCheck(const QByteArray &bytes, const OptData &before);

    QTemporaryDir m_dir;
    const QString m_path = m_dir.filePath(QStringLiteral("qelo.ini"));
};

QString TestUntrustedSettings::loadAndCheck(const QByteArray &bytes, const OptData &before)
{
    {
        // A new file each time: truncating one makes ext4 flush it to disk on close, a hundred times slower.
        // Flushed before its time is set, or closing would write the buffer and stamp the file with now.
        QFile::remove(m_path);
        QFile file(m_path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(bytes) != bytes.size()
            || !file.flush() || !file.setFileTime(OldTime, QFileDevice::FileModificationTime))
            return QStringLiteral("cannot write the test file");
    }
    Opt = before;
    mdlUser::LoadOpt(m_path);
    const OptData after = Opt;

    QStringList wrong;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly) || file.readAll() != bytes)
        wrong << QStringLiteral("the bytes changed");
    if (QFileInfo(m_path).lastModified().toUTC() != OldTime)
        wrong << QStringLiteral("the modification time changed");
    const auto at = [&bytes](int offset) { return bytes.constData() + offset; };
    if (bytes.size() < RecordSize) {
        if (after != before)
            wrong << QStringLiteral("a short file changed the settings");
    } else if (!timeLoadedAs(after.ViewTime, qFromLittleEndian<quint64>(at(0)))
               || after.StringLen != std::clamp<int>(qFromLittleEndian<qint16>(at(8)), 1, 20)
               || !timeLoadedAs(after.ViewAnsTime, qFromLittleEndian<quint64>(at(10)))
               || after.KigouNum != std::clamp<int>(qFromLittleEndian<qint16>(at(18)), 3, 55)) {
        wrong << QStringLiteral("the settings are not the file's, held to their ranges");
    }
    if (wrong.isEmpty())
        return {};
    return wrong.join(QStringLiteral(", ")) + QStringLiteral(" for the file %1 (%2 bytes); before: %3; after: %4")
        .arg(QString::fromLatin1(bytes.toHex(' '))).arg(bytes.size()).arg(describe(before), describe(after));
}

void TestUntrustedSettings::randomBytesOfEveryLength()
{
    std::mt19937_64 rng(0x51E0u);
    std::uniform_int_distribution<int> byte(0, 255), len(1, 20), count(3, 55), tenths(1, 100);
    for (int length = 0; length <= 64; ++length) {
        for (int n = 0; n < 200; ++n) {
            // One file in four is mostly 0x00 and one mostly 0xFF, where sign and exponent bits cluster.
            const int mode = n % 4;
            QByteArray bytes(length, '\0');
            for (char &b : bytes) {
                const int r = byte(rng);
                b = char(r < 32 || mode > 1 ? r : mode == 0 ? 0x00 : 0xFF);
            }
            const OptData before{tenths(rng) / 10.0, qint16(len(rng)), tenths(rng) / 10.0, qint16(count(rng))};
            const QString wrong = loadAndCheck(bytes, before);
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        }
    }
}

void TestUntrustedSettings::edgeValues()
{
    const std::vector<quint64> doubles = edgeDoubles();
    const OptData before{0.5, 7, 0.5, 9};
    int variant = 0;
    for (quint64 viewTime : doubles) {
        for (size_t d = 0; d < doubles.size(); ++d) {
            // Each integer once in each field per pair of doubles, paired differently for each.
            for (size_t i = 0; i < EdgeInts.size(); ++i) {
                QByteArray bytes(RecordSize, '\0');
                qToLittleEndian(viewTime, bytes.data());
                qToLittleEndian(EdgeInts[i], bytes.data() + 8);
                qToLittleEndian(doubles[d], bytes.data() + 10);
                qToLittleEndian(EdgeInts[(i * 7 + d) % EdgeInts.size()], bytes.data() + 18);
                // Bytes after the record are not part of it, whatever they hold.
                bytes += QByteArray(variant++ % 45, char(0xA5));
                const QString wrong = loadAndCheck(bytes, before);
                QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestUntrustedSettings)
#include "tst_untrustedsettings.moc"
