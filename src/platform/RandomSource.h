#pragma once

#include <QtGlobal>

#include <functional>
#include <random>

// Uniform draws in [0, 1) with single precision, reseeded from a high-resolution clock.
// Tests hand in a provider of fixed start values to get a known sequence.
class RandomSource
{
public:
    using SeedProvider = std::function<quint64()>;

    RandomSource();
    explicit RandomSource(SeedProvider seedProvider);

    void setSeedProvider(SeedProvider seedProvider);
    void reseed();
    void restartFrom(quint64 value);
    float draw();

    // 24 random bits scaled by 2^-24: every result is exact and below 1.
    static float unitFromBits(quint32 bits);
    static SeedProvider clockSeedProvider();

private:
    std::mt19937 m_engine;
    SeedProvider m_seedProvider;
};
