#include "EditorTestHelpers.h"

#include <benchmark/benchmark.h>

using namespace editor_test;

// Opening and closing a window while another instance's window is open, so the
// logo comes decoded from the image cache.
static void BM_EditorOpenClose (benchmark::State& state)
{
    QuernelAudioProcessor other, processor;
    ScopedEditor otherWindow (other);

    for (auto _ : state)
    {
        ScopedEditor e (processor);
        benchmark::DoNotOptimize (e.editor);
        e.close();

        // Each opening leaves a cancelled notification in the queue; clear it
        // out of the measured time so the queue doesn't grow.
        state.PauseTiming();
        drainQueue();
        state.ResumeTiming();
    }
}

BENCHMARK (BM_EditorOpenClose)->Unit (benchmark::kMicrosecond);

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;

    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
