// processBlock against the bare per-sample arithmetic of the clock, so that the
// ratio of the two shows what the rest of the audio path costs. Each runs with
// stereo blocks of 512 samples at 48 kHz, and of 32 samples at 192 kHz, where
// the cost of every block counts most.

#include "../processor/ProcessorFixture.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace
{
    constexpr double bpm = 120.0;

    void processBlockPlaying (benchmark::State& state)
    {
        const auto blockSize = (int) state.range (0);
        const auto sampleRate = (double) state.range (1);

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

    void processBlockStopped (benchmark::State& state)
    {
        const auto blockSize = (int) state.range (0);

        ProcessorFixture f ((double) state.range (1), blockSize);
        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::MidiBuffer midi;
        f.stop();

        for (auto _ : state)
        {
            f.processor.processBlock (buffer, midi);
            benchmark::DoNotOptimize (buffer.getReadPointer (0));
        }

        state.SetItemsProcessed (state.iterations() * blockSize);
    }

    void bareClockArithmetic (benchmark::State& state)
    {
        const auto blockSize = (int) state.range (0);
        const auto sampleRate = (double) state.range (1);

        std::vector<double> table (97, 0.9358);
        std::vector<float> out ((size_t) blockSize);
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

BENCHMARK (processBlockPlaying)->Args ({ 512, 48000 })->Args ({ 32, 192000 });
BENCHMARK (processBlockStopped)->Args ({ 512, 48000 })->Args ({ 32, 192000 });
BENCHMARK (bareClockArithmetic)->Args ({ 512, 48000 })->Args ({ 32, 192000 });
BENCHMARK_MAIN();
