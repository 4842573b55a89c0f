#include "ProcessorFixture.h"

#include <cmath>

using namespace output;

namespace
{
    // At 44100 Hz and 120 bpm a quarter note lasts 22050 samples.
    constexpr double tick = 1.0 / 24.0;

    void expectIntervals (const std::vector<int>& starts, size_t from, size_t to, int low, int high)
    {
        for (auto k = from + 1; k < to && k < starts.size(); ++k)
        {
            const auto gap = starts[k] - starts[k - 1];
            EXPECT_TRUE (gap == low || gap == high) << "gap " << gap << " before pulse " << k;
        }
    }
}

//==============================================================================
struct StartCase
{
    const char* name;
    double ppq, barStart;
    uint32_t index;
    int numSamples;
    std::vector<int> firstPulses;
};

class TransportStart  : public ::testing::TestWithParam<StartCase> {};

TEST_P (TransportStart, FirstPulsesFollowTheBarAndTheTickGrid)
{
    const auto& c = GetParam();
    ProcessorFixture f;
    f.processor.setStateInformation (&c.index, 1);
    f.play (c.ppq, c.barStart);

    const auto signal = f.process (c.numSamples);
    expectWellFormed (signal);

    const auto starts = pulseStarts (signal);

    if (c.firstPulses.empty())
    {
        EXPECT_TRUE (starts.empty());
    }

    ASSERT_GE (starts.size(), c.firstPulses.size());

    for (size_t k = 0; k < c.firstPulses.size(); ++k)
        EXPECT_EQ (starts[k], c.firstPulses[k]) << "pulse " << k;
}

INSTANTIATE_TEST_SUITE_P (Processor, TransportStart, ::testing::Values (
    StartCase { "OnTheBarLine",        0.0,             0.0, 6, 5000,   { 0, 919, 1838, 2757, 3676 } },
    StartCase { "AtTickHalf",          0.5 * tick,      0.0, 6, 2000,   { 460, 1379 } },
    StartCase { "AtTickSevenAndAHalf", 7.5 * tick,      0.0, 6, 82000,  { 81310 } },
    StartCase { "CountIn",             -0.05,           0.0, 6, 3000,   { 1103, 2022 } },
    StartCase { "OneQuarterBar",       2.0,             0.0, 0, 1000,   { 1, 919 } },  // 48 ticks end a hair after 2.0
    StartCase { "HostBarRestartsLongBar", 8.0,          8.0, 30, 1000,  { 0, 919 } },
    StartCase { "LongBarNotAtHostBar", 6.0,             4.0, 30, 30000, {} }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (ProcessorSignal, StartOnTheBarLineWritesThePulseThenAlternatesFromPlus)
{
    ProcessorFixture f;
    f.play (0.0);
    const auto s = f.process (100);

    EXPECT_EQ (s[0], pulseFirst);
    EXPECT_EQ (s[1], pulsePeak);
    EXPECT_EQ (s[96], 0.0f);
    EXPECT_EQ (s[97], idle);
    EXPECT_EQ (s[98], -idle);
    EXPECT_EQ (s[99], idle);
}

TEST (ProcessorSignal, StartAtTickSixCatchesUpAtTwiceTheRateUntilTickTwelve)
{
    ProcessorFixture f;
    f.play (2.5 * tick);
    const auto starts = pulseStarts (f.process (20000));

    ASSERT_GE (starts.size(), 16u);
    EXPECT_EQ (starts[0], 3216);
    EXPECT_EQ (starts[11], 8269);
    EXPECT_EQ (starts[12], 8729);
    expectIntervals (starts, 0, 12, 459, 460);
    expectIntervals (starts, 12, starts.size(), 918, 919);
}

TEST (ProcessorSignal, StopMidPulseThenStartInsideATickWritesAWholePulseAtOnce)
{
    ProcessorFixture f;
    f.play (0.0);
    f.process (50);
    f.stop();
    f.process (10);

    f.play (4.0 + 0.5 * tick, 4.0);
    const auto s = f.process (2000);
    expectWellFormed (s);
    EXPECT_EQ (pulseStarts (s), (std::vector<int> { 0, 460, 1379 }));
    EXPECT_EQ (s[0], pulseFirst);
}

TEST (ProcessorSignal, StoppedBlockAlternatesFromMinusAndStopsTheClock)
{
    ProcessorFixture f;
    f.play (0.0);
    f.process (2000);

    f.stop();
    EXPECT_EQ (f.process (5), (std::vector<float> { -idle, idle, -idle, idle, -idle }));

    // A clock that still ran would pulse at tick 8; a waiting one sees no start tick.
    f.play (4.0 + 7.5 * tick, 4.0);
    const auto s = f.process (2000);
    expectWellFormed (s);
    EXPECT_TRUE (pulseStarts (s).empty());
}

TEST (ProcessorSignal, StartAtTickZeroAfterAStoppedCatchUpRunsAtTheNormalRate)
{
    ProcessorFixture f;
    f.play (6.0 * tick);
    f.process (1500);          // catch-up under way, stopped before tick 12
    f.stop();
    f.process (16);

    f.play (4.0, 4.0);
    const auto starts = pulseStarts (f.process (12000));
    ASSERT_GE (starts.size(), 12u);
    expectIntervals (starts, 0, starts.size(), 918, 919);
}

TEST (ProcessorSignal, ZeroTempoHoldsThePosition)
{
    {
        ProcessorFixture f;
        f.play (0.0, 0.0, 0.0);
        const auto s = f.process (400);
        expectWellFormed (s);
        EXPECT_EQ (pulseStarts (s), (std::vector<int> { 0, 98, 196, 294, 392 }));
    }
    {
        ProcessorFixture f;
        f.play (0.3 * tick, 0.0, 0.0);
        const auto s = f.process (400);
        expectWellFormed (s);
        EXPECT_TRUE (pulseStarts (s).empty());
    }
}

TEST (ProcessorSignal, ConsecutiveBlocksContinueOneAnother)
{
    ProcessorFixture whole, pieces;
    whole.play (0.0);
    const auto expected = whole.process (3000);

    std::vector<float> joined;

    for (int start = 0; start < 3000; start += 1000)
    {
        pieces.play (start / 22050.0);
        const auto part = pieces.process (1000);
        joined.insert (joined.end(), part.begin(), part.end());
    }

    // Idle alternation restarts at + in every block; pulses line up exactly.
    EXPECT_EQ (pulseStarts (joined), pulseStarts (expected));
}

TEST (ProcessorSignal, RepeatedHostPositionContinuesFromTheLastBlock)
{
    ProcessorFixture whole, repeated;
    whole.play (4.0, 4.0);
    auto expected = whole.process (2000);

    repeated.play (4.0, 4.0);
    auto first = repeated.process (1000);
    auto second = repeated.process (1000);  // the host hands out 4.0 again
    auto third = repeated.process (1000);

    EXPECT_EQ (pulseStarts (second), (std::vector<int> { 0, 838 }));   // 0: the pulse from 919 goes on
    EXPECT_EQ (pulseStarts (third), (std::vector<int> { 757 }));

    first.insert (first.end(), second.begin(), second.end());
    EXPECT_EQ (pulseStarts (first), pulseStarts (expected));
}

TEST (ProcessorSignal, LoopJumpKeepsTheGridAndTheNextBlockRecoversFromAStaleBarLine)
{
    ProcessorFixture f;
    f.play (4.0, 4.0, 120.0, true);
    f.process (22050);                                  // running, ends at 5.0

    // Jump back to mid-tick; ticks count from the last whole quarter note.
    f.play (2.0 + 0.5 * tick, 4.0, 120.0, true);
    auto s = f.process (1000);
    expectWellFormed (s);
    EXPECT_EQ (pulseStarts (s), (std::vector<int> { 460 }));

    // Bar-relative start is negative: the clock runs on the fractional position.
    f.play (2.0 + 0.5 * tick + 1000.0 / 22050.0, 4.0, 120.0, true);
    s = f.process (1000);
    expectWellFormed (s);
    EXPECT_EQ (pulseStarts (s), (std::vector<int> { 379 }));

    // Cleared after one use: the same stale bar line now idles.
    f.play (2.0 + 0.5 * tick + 2000.0 / 22050.0, 4.0, 120.0, true);
    s = f.process (1000);
    EXPECT_TRUE (pulseStarts (s).empty());
}

TEST (ProcessorSignal, LoopJumpToANegativePositionIdles)
{
    ProcessorFixture f;
    f.play (4.0, 4.0, 120.0, true);
    f.process (1000);

    f.play (-1.0, 0.0, 120.0, true);
    const auto s = f.process (1000);
    expectWellFormed (s);
    EXPECT_TRUE (pulseStarts (s).empty());
}

TEST (ProcessorSignal, EmptyBlockAndMissingOutputsStillAdvanceTheClock)
{
    ProcessorFixture f;
    f.play (0.0);
    EXPECT_TRUE (f.process (0).empty());

    // The buses off: nothing to copy into, but the pulse started here...
    juce::AudioProcessor::BusesLayout none;
    none.inputBuses.add (juce::AudioChannelSet::disabled());
    none.outputBuses.add (juce::AudioChannelSet::disabled());
    ASSERT_TRUE (f.processor.setBusesLayout (none));
    EXPECT_EQ (f.process (50), std::vector<float> (50, 0.0f));

    // ...goes on at its 51st sample once there are outputs again.
    f.processor.enableAllBuses();
    f.play (50.0 / 22050.0);
    const auto s = f.process (60);
    EXPECT_EQ (s[0], (float) (0.9358 * (double) 0.95f));
    EXPECT_EQ (s[46], 0.0f);
    EXPECT_TRUE (isIdle (s[47]));
}

TEST (ProcessorSignal, BlocksLongerThanPreparedAreBuiltInPieces)
{
    ProcessorFixture big (44100.0, 5000), small (44100.0, 333);

    for (auto* f : { &big, &small })
        f->play (2.5 * tick);

    const auto expected = big.process (5000);
    EXPECT_EQ (small.process (5000), expected);

    for (auto* f : { &big, &small })
        f->stop();

    EXPECT_EQ (small.process (5000), big.process (5000));
}

TEST (ProcessorSignal, AllOutputChannelsCarryTheSignalAndExtraChannelsAreSilent)
{
    ProcessorFixture f;
    f.play (0.0);

    juce::AudioBuffer<float> buffer (4, 200);
    for (int ch = 0; ch < 4; ++ch)
        juce::FloatVectorOperations::fill (buffer.getWritePointer (ch), 0.3f, 200);

    juce::MidiBuffer midi;
    midi.addEvent (juce::MidiMessage::noteOn (1, 60, 0.5f), 3);
    f.processor.processBlock (buffer, midi);

    for (int i = 0; i < 200; ++i)
    {
        EXPECT_EQ (buffer.getSample (1, i), buffer.getSample (0, i));
        EXPECT_EQ (buffer.getSample (2, i), 0.0f);
        EXPECT_EQ (buffer.getSample (3, i), 0.0f);
    }

    EXPECT_EQ (buffer.getSample (0, 0), pulseFirst);
    EXPECT_EQ (midi.getNumEvents(), 1);
}

//==============================================================================
TEST (ProcessorHostTime, WithoutTimeTheBlockIsStopped)
{
    const std::vector<float> stopped { -idle, idle, -idle, idle };

    ProcessorFixture noPosition;
    EXPECT_EQ (noPosition.process (4), stopped);

    ProcessorFixture noPlayHead;
    noPlayHead.processor.setPlayHead (nullptr);
    EXPECT_EQ (noPlayHead.process (4), stopped);

    ProcessorFixture recording;
    juce::AudioPlayHead::PositionInfo info;
    info.setBpm (120.0);
    info.setPpqPosition (0.0);
    info.setPpqPositionOfLastBarStart (0.0);
    info.setIsRecording (true);
    recording.playHead.position = info;
    EXPECT_EQ (recording.process (4)[0], pulseFirst);
}

TEST (ProcessorHostTime, UnsetFieldsReadAsZero)
{
    // No tempo: the position stands still at 0, on a tick, so pulses repeat.
    ProcessorFixture f;
    juce::AudioPlayHead::PositionInfo info;
    info.setIsPlaying (true);
    f.playHead.position = info;

    EXPECT_EQ (pulseStarts (f.process (200)), (std::vector<int> { 0, 98, 196 }));
}

TEST (ProcessorHostTime, UnpreparedProcessorWritesSilence)
{
    QuernelAudioProcessor p;
    p.enableAllBuses();
    juce::AudioBuffer<float> buffer (2, 16);
    juce::FloatVectorOperations::fill (buffer.getWritePointer (0), 0.5f, 16);
    juce::MidiBuffer midi;
    p.processBlock (buffer, midi);
    EXPECT_EQ (buffer.getMagnitude (0, 16), 0.0f);
}

//==============================================================================
struct HostileCase
{
    const char* name;
    double sampleRate, bpm, ppq, barStart;
    float parameter;
};

class HostileHostTime  : public ::testing::TestWithParam<HostileCase> {};

TEST_P (HostileHostTime, WritesOnlyClockSamples)
{
    const auto& c = GetParam();
    ProcessorFixture f (c.sampleRate, 256);
    f.processor.setParameter (0, c.parameter);

    for (int block = 0; block < 4; ++block)
    {
        f.play (c.ppq + block, c.barStart, c.bpm, block % 2 == 1);

        for (auto x : f.process (block == 3 ? 1000 : 256))
            ASSERT_TRUE (isIdle (x) || (std::isfinite (x) && x >= 0.0f && x <= pulsePeak)) << x;
    }
}

constexpr auto notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr auto infinity = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P (Processor, HostileHostTime, ::testing::Values (
    HostileCase { "NanTempo",          44100.0, notANumber,    0.0,     0.0,   0.2f },
    HostileCase { "InfiniteTempo",     44100.0, infinity,    0.0,     0.0,   0.2f },
    HostileCase { "NegativeTempo",     44100.0, -120.0, 1.0,     0.0,   0.2f },
    HostileCase { "HugeTempo",         44100.0, 1e300,  0.0,     0.0,   0.2f },
    HostileCase { "NanPosition",       44100.0, 120.0,  notANumber,     0.0,   0.2f },
    HostileCase { "InfinitePosition",  44100.0, 120.0,  infinity,     0.0,   0.2f },
    HostileCase { "MinusInfPosition",  44100.0, 120.0,  -infinity,    0.0,   0.2f },
    HostileCase { "HugePosition",      44100.0, 120.0,  1e300,   0.0,   0.2f },
    HostileCase { "BeyondIntPosition", 44100.0, 120.0,  3e9,     0.0,   0.2f },
    HostileCase { "NanBarStart",       44100.0, 120.0,  1.0,     notANumber,   0.2f },
    HostileCase { "HugeBarStart",      44100.0, 120.0,  1.0,     -1e300, 0.2f },
    HostileCase { "ZeroSampleRate",    0.0,     120.0,  0.0,     0.0,   0.2f },
    HostileCase { "NegativeSampleRate", -1.0,   120.0,  0.0,     0.0,   0.2f },
    HostileCase { "HugestIndex",       44100.0, 120.0,  0.0,     0.0,  -0.04f },
    HostileCase { "IndexAboveItems",   44100.0, 120.0,  0.0,     0.0,   10.0f }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (ProcessorHostTime, OddBlockSizesIncludingNoneAnnounced)
{
    for (int prepared : { 0, -5, 1, 7 })
    {
        ProcessorFixture f (44100.0, prepared);
        f.play (0.0);
        const auto s = f.process (1000);
        EXPECT_EQ (pulseStarts (s), (std::vector<int> { 0, 919 })) << "prepared " << prepared;
        expectWellFormed (s);
    }
}
