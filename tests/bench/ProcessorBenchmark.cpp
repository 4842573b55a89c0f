// processBlock against the bare per-sample arithmetic of the clock, so that the
// ratio of the two shows what the rest of the audio path costs.

#include "../processor/ProcessorFixture.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>

namespace
{
    constexpr int blockSize = 512;
    constexpr double sampleRate = 48000.0;
    constexpr double bpm = 120.0;

    void processBlockPlaying (benchmark::State& state)
    {
        ProcessorFixture f (sampleRate, blockSize);
        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::MidiBuffer midi;
        const auto step = bpm / (sampleRate * 60.0);
        double ppq = 0.0;

        for (auto _ : state)
        {
            f.play (ppq);
            f.processor.processBlock (buffer, midi);
            benchmark::DoNotOptimize (buffer.getReadPointer (0));
            ppq += step * blockSize;
        }

        state.SetItemsProcessed (state.iterations() * blockSize);
    }

    void bareClockArithmetic (benchmark::State& state)
    {
        std::array<double, 97> table {};
        table.fill (0.9358);
        std::array<float, blockSize> out {};
        const auto tick = (double) (1.0f / 24.0f), bar = 4.0, step = bpm / (sampleRate * 60.0);
        double position = 0.0;

        for (auto _ : state)
        {
            for (int i = 0; i < blockSize; ++i, position += step)
            {
                const auto phase = std::fmod (position, tick);
                const auto tickInBar = (int) std::floor (std::fmod (position, bar) * 24.0);
                out[(size_t) i] = (float) (table[(size_t) tickInBar % table.size()] * 0.95 + phase);
            }

            benchmark::DoNotOptimize (out.data());
        }

        state.SetItemsProcessed (state.iterations() * blockSize);
    }
}

BENCHMARK (processBlockPlaying);
BENCHMARK (bareClockArithmetic);
BENCHMARK_MAIN();
