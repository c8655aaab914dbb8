// libFuzzer target: any bytes as qelo.ini must decode, bound and load into settings inside their ranges,
// and loading must leave the file as it was.
#include "modules/mdlUser.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

bool inRanges(const OptData &o)
{
    return o.ViewTime >= 0.1 && o.ViewTime <= 10.0 && o.ViewAnsTime >= 0.1 && o.ViewAnsTime <= 10.0
        && o.StringLen >= 1 && o.StringLen <= 20 && o.KigouNum >= 3 && o.KigouNum <= 55;
}

// A broken property is a crash to libFuzzer, which then keeps the input.
void require(bool condition)
{
    if (!condition)
        std::abort();
}

const QString &settingsPath()
{
    static const QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("qelo.ini"));
    require(dir.isValid());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const std::optional<OptData> decoded = mdlUser::decodeOpt(bytes);
    require(decoded.has_value() == (size >= 20));
    if (decoded) {
        require(mdlUser::encodeOpt(*decoded) == bytes.left(20));
        require(inRanges(mdlUser::boundOpt(*decoded)));
    }

    const QString &path = settingsPath();
    {
        QFile::remove(path);
        QFile file(path);
        require(file.open(QIODevice::WriteOnly | QIODevice::NewOnly));
        require(file.write(bytes) == bytes.size());
    }
    const OptData before{0.5, 7, 9.5, 11};
    mdlUser::Opt = before;
    mdlUser::LoadOpt(path);
    require(inRanges(mdlUser::Opt));
    if (size < 20)
        require(mdlUser::Opt == before);
    else
        require(mdlUser::Opt == mdlUser::boundOpt(*decoded));

    QFile file(path);
    require(file.open(QIODevice::ReadOnly));
    require(file.readAll() == bytes);
    return 0;
}
