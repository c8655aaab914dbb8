#include "RandomSource.h"

#include <chrono>

RandomSource::RandomSource()
    : RandomSource(clockSeedProvider())
{
}

RandomSource::RandomSource(SeedProvider seedProvider)
    : m_seedProvider(std::move(seedProvider))
{
    reseed();
}

void RandomSource::setSeedProvider(SeedProvider seedProvider)
{
    m_seedProvider = std::move(seedProvider);
}

void RandomSource::reseed()
{
    restartFrom(m_seedProvider());
}

void RandomSource::restartFrom(quint64 value)
{
    std::seed_seq sequence{quint32(value), quint32(value >> 32)};
    m_engine = std::mt19937(sequence);
}

float RandomSource::draw()
{
    return unitFromBits(quint32(m_engine()));
}

float RandomSource::unitFromBits(quint32 bits)
{
    return float(bits >> 8) * 0x1p-24f;
}

RandomSource::SeedProvider RandomSource::clockSeedProvider()
{
    // A reseed counter is mixed in, so that two reseeds within one clock tick still differ.
    return [count = quint64(0)]() mutable {
        using namespace std::chrono;
        const auto wall = quint64(duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count());
        const auto fine = quint64(high_resolution_clock::now().time_since_epoch().count());
        return wall ^ (fine << 17) ^ (++count * 0x9E3779B97F4A7C15ULL);
    };
}
