// The processor's clock against a plain per-sample model of it, written with the
// library's fmod and floor, the position advanced by repeated addition of the
// step and the grid constants as floats widened to double. The processor finds
// the same values by cheaper, exact means; every output sample must match bit
// for bit, whatever the host sends.

#include "PluginProcessor.h"
#include "TestPlayHead.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace
{
    constexpr double tickLength = (double) (1.0f / 24.0f);
    constexpr double halfTickLength = (double) (1.0f / 48.0f);

    // About here the processor hands the tick phase over to the library's fmod.
    constexpr double handoverTick = 536870912.0;

    struct HostTime
    {
        double bpm = 120.0, ppq = 0.0, barStart = 0.0;
        bool playing = true, looping = false;
    };

    std::string describe (const std::optional<HostTime>& t)
    {
        std::ostringstream s;
        s.precision (17);

        if (! t)
            s << "no host time";
        else
            s << "bpm " << t->bpm << " ppq " << t->ppq << " bar " << t->barStart
              << (t->playing ? " playing" : " stopped") << (t->looping ? " looping" : "");

        return s.str();
    }

    //==============================================================================
    /** The clock, one sample at a time, with the library's functions. */
    class ReferenceClock
    {
    public:
        void prepare (double rate)
        {
            sampleRate = rate;
            lastBlockStart = -DBL_MAX;
        }

        void process (const std::optional<HostTime>& time, uint32_t index, float* out, int numSamples)
        {
            if (! time || ! time->playing)
            {
                lastBlockStart = -DBL_MAX;
                clockRunning = false;

                for (int j = 0; j < numSamples; ++j)
                    out[j] = j % 2 == 0 ? -idleLevel : idleLevel;

                return;
            }

            auto position = startPosition (*time);

            const double step = time->bpm / (sampleRate * 60.0);
            const double barLength = ((double) index + 2.0) * 12.0 / 24.0;
            const double window = 20.0 * step;
            bool idleFlip = false;

            for (int i = 0; i < numSamples; ++i, position += step)
            {
                bool pulse = false;

                if (position >= 0.0)
                {
                    auto tickPhase = std::fmod (position, tickLength);
                    const auto tickInBar = toTick (std::floor (std::fmod (position, barLength) * 24.0));
                    bool counting = true;

                    if (clockRunning)
                    {
                        if (tickInBar >= 12)
                            doubleRate = false;
                    }
                    else if (tickInBar == 0 || tickInBar == 6)
                    {
                        pulseIndex = 0;
                        clockRunning = true;
                        doubleRate = tickInBar == 6;
                    }
                    else
                    {
                        counting = false;
                    }

                    if (counting)
                    {
                        if (doubleRate)
                            tickPhase = std::fmod (tickPhase, halfTickLength);

                        if (tickPhase <= window)
                            pulseActive = true;
                        else if (! pulseActive)
                            pulseIndex = 0;

                        if (pulseActive)
                        {
                            if (pulseIndex > 96)
                            {
                                pulseActive = false;
                                pulseIndex = 0;
                            }
                            else
                            {
                                out[i] = (float) (pulse44100[pulseIndex++] * pulseGain);
                                pulse = true;
                            }
                        }
                    }
                }

                if (! pulse)
                {
                    out[i] = idleFlip ? -idleLevel : idleLevel;
                    idleFlip = ! idleFlip;
                }
            }

            resumePosition = position;
        }

    private:
        // A repeated host position continues from the end of the last block; after
        // a loop jump, ticks count from the last whole quarter note.
        double startPosition (const HostTime& t)
        {
            const bool loopBack = lastBlockStart > t.ppq && t.looping;
            const bool repeated = t.ppq == lastBlockStart;
            lastBlockStart = t.ppq;

            if (loopBack)
            {
                if (t.ppq < 0.0)
                    return t.ppq;

                loopWrapped = true;
                return t.ppq - std::trunc (t.ppq);
            }

            auto position = repeated ? resumePosition : t.ppq - t.barStart;

            if (loopWrapped)
            {
                if (position < 0.0)
                    position = t.ppq - std::trunc (t.ppq);

                loopWrapped = false;
            }

            return position;
        }

        static int32_t toTick (double tick)
        {
            if (! (tick > (double) INT32_MIN))  return INT32_MIN;
            if (tick >= (double) INT32_MAX)     return INT32_MAX;
            return (int32_t) tick;
        }

        static constexpr double pulseGain = (double) 0.95f;
        static constexpr float idleLevel = 0.0001f;

        static constexpr double pulse44100[] =
        {
            0.7886, 0.99,   0.8993, 0.9624, 0.916,  0.9493, 0.9269, 0.9406, 0.9336, 0.9359,
            0.9365, 0.9345, 0.9368, 0.9347, 0.9364, 0.9351, 0.9358, 0.9358, 0.9358, 0.9358,
            0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9328, 0.9358,
            0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358,
            0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358,
            0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358,
            0.9358, 0.9358, 0.9358, 0.9358, 0.933,  0.9293, 0.9239, 0.9162, 0.9053, 0.8905,
            0.8709, 0.8462, 0.8161, 0.7803, 0.7391, 0.6928, 0.6422, 0.588,  0.5314, 0.4733,
            0.4152, 0.3582, 0.3035, 0.2521, 0.205,  0.1628, 0.126,  0.0948, 0.0691, 0.0486,
            0.0329, 0.0213, 0.0131, 0.0074, 0.0034, 0.0003, 0.0
        };

        double sampleRate = 1.0, resumePosition = 0.0, lastBlockStart = -DBL_MAX;
        bool loopWrapped = false, clockRunning = false, pulseActive = false, doubleRate = false;
        uint32_t pulseIndex = 0;
    };

    //==============================================================================
    /** The processor and the model, fed the same blocks. */
    class Lockstep
    {
    public:
        Lockstep()
        {
            processor.enableAllBuses();
            processor.setPlayHead (&playHead);
            prepare (44100.0, 4096);
        }

        void prepare (double rate, int blockSize)
        {
            processor.prepareToPlay (rate, blockSize);
            reference.prepare (rate);
        }

        void setIndex (uint8_t chunkByte)            { processor.setStateInformation (&chunkByte, 1); }
        void setParameter (float value)              { processor.setParameter (0, value); }

        /** Runs one block through both; the first sample that differs fails. */
        ::testing::AssertionResult block (const std::optional<HostTime>& time, int numSamples)
        {
            if (time)
            {
                juce::AudioPlayHead::PositionInfo info;
                info.setBpm (time->bpm);
                info.setPpqPosition (time->ppq);
                info.setPpqPositionOfLastBarStart (time->barStart);
                info.setIsPlaying (time->playing);
                info.setIsLooping (time->looping);
                playHead.position = info;
            }
            else
            {
                playHead.position = {};
            }

            buffer.setSize (2, numSamples, false, false, true);
            expected.resize ((size_t) numSamples);

            reference.process (time, processor.getTimeSignatureIndex(), expected.data(), numSamples);
            processor.processBlock (buffer, midi);
            samplesCompared += numSamples;

            for (int ch = 0; ch < 2; ++ch)
            {
                const auto* got = buffer.getReadPointer (ch);

                for (int i = 0; i < numSamples; ++i)
                    if (std::memcmp (got + i, &expected[(size_t) i], sizeof (float)) != 0)
                        return ::testing::AssertionFailure()
                            << "channel " << ch << " sample " << i << " of " << numSamples
                            << ": " << got[i] << " instead of " << expected[(size_t) i]
                            << " (" << describe (time) << ", index " << processor.getTimeSignatureIndex() << ")";
            }

            return ::testing::AssertionSuccess();
        }

        int64_t samplesCompared = 0;

    private:
        TestPlayHead playHead;
        QuernelAudioProcessor processor;
        ReferenceClock reference;
        juce::AudioBuffer<float> buffer;
        juce::MidiBuffer midi;
        std::vector<float> expected;
    };

    double ulpsAway (double x, int ulps)
    {
        for (; ulps > 0; --ulps)  x = std::nextafter (x, DBL_MAX);
        for (; ulps < 0; ++ulps)  x = std::nextafter (x, -DBL_MAX);
        return x;
    }

    //==============================================================================
    /** A host with a random transport: mostly plain playback, now and then a jump,
        a loop, a stop, a repeated position, a new tempo, bar length or sample rate. */
    class RandomHost
    {
    public:
        explicit RandomHost (uint64_t seed) : random (seed) { newRate(); }

        void run (Lockstep& clock, int64_t samples)
        {
            clock.prepare (sampleRate, prepared);

            for (int64_t blockNumber = 0; clock.samplesCompared < samples; ++blockNumber)
            {
                const auto n = blockLength();
                const auto time = nextTime();

                ASSERT_TRUE (clock.block (time, n)) << "block " << blockNumber;

                if (time && time->playing && std::isfinite (sampleRate) && sampleRate > 0.0)
                    host.ppq += n * host.bpm / (sampleRate * 60.0);

                if (followBars && std::isfinite (host.ppq))
                    host.barStart = hostBar * std::floor (host.ppq / hostBar);

                switch (pick (100))
                {
                    case 0: case 1:          newRate(); clock.prepare (sampleRate, prepared); break;
                    case 2: case 3:          clock.setIndex (barIndex()); break;
                    case 4:                  clock.setParameter (pick (2) == 0 ? -0.04f : 1e9f); break;
                    case 5: case 6: case 7:  host.bpm = tempo(); break;
                    case 8: case 9: case 10: jump(); break;
                    case 11: case 12:        loopBack(); break;
                    case 13: case 14:        stopFor = 1 + pick (3); break;
                    case 15: case 16:        repeat = true; break;
                    case 17:                 noTime = true; break;
                    case 18:                 host.looping = false; break;
                    default:                 break;
                }
            }
        }

    private:
        int pick (int n)                            { return (int) (random() % (uint64_t) n); }
        double uniform (double lo, double hi)       { return std::uniform_real_distribution<double> (lo, hi) (random); }

        std::optional<HostTime> nextTime()
        {
            if (noTime)
            {
                noTime = false;
                return std::nullopt;
            }

            auto t = host;

            if (stopFor > 0)
            {
                --stopFor;
                t.playing = false;
            }
            else if (repeat)
            {
                repeat = false;
                t.ppq = lastPpq;
            }

            lastPpq = t.ppq;
            return t;
        }

        void newRate()
        {
            constexpr double common[] = { 8000, 22050, 44100, 48000, 88200, 96000, 192000, 384000 };

            switch (pick (20))
            {
                case 0:  sampleRate = 0.0; break;
                case 1:  sampleRate = -48000.0; break;
                case 2: case 3: case 4: case 5:
                         sampleRate = uniform (8000.0, 384000.0); break;
                default: sampleRate = common[pick (8)]; break;
            }

            constexpr int sizes[] = { 1, 7, 32, 64, 256, 512, 1000, 1024, 2048, 4096 };
            prepared = sizes[pick (10)];
        }

        int blockLength()
        {
            switch (pick (20))
            {
                case 0:  return 0;
                case 1:  return 1;
                case 2:  return prepared + 1 + pick (2 * prepared + 1);
                default: return 1 + pick (prepared);
            }
        }

        uint8_t barIndex()
        {
            constexpr uint8_t notable[] = { 0, 1, 6, 30, 31, 255 };
            return pick (3) == 0 ? notable[pick (6)] : (uint8_t) pick (31);
        }

        double tempo()
        {
            constexpr double odd[] = { 0.0, -120.0, 1e-300, 1e300, 999.999, 120.0,
                                       std::numeric_limits<double>::quiet_NaN(),
                                       std::numeric_limits<double>::infinity() };

            return pick (10) == 0 ? odd[pick (8)] : uniform (1.0, 999.0);
        }

        // Positions on the grids' boundaries and a few ulps either side, near the
        // handover to the library, huge, negative or not numbers at all.
        void jump()
        {
            host.barStart = 0.0;
            followBars = false;
            const int ulps = pick (5) - 2;

            switch (pick (10))
            {
                case 0: case 1:
                    host.ppq = ulpsAway (pick (5000) * tickLength, ulps); break;
                case 2:
                    host.ppq = ulpsAway (pick (10000) * halfTickLength, ulps); break;
                case 3:
                    host.ppq = ulpsAway (pick (64) * 0.5 + pick (24) / 24.0, ulps); break;
                case 4:
                    host.ppq = ulpsAway ((handoverTick + pick (4001) - 2000) * tickLength, ulps); break;
                case 5:
                    host.ppq = std::pow (10.0, uniform (7.0, 300.0)); break;
                case 6:
                    host.ppq = uniform (-8.0, 0.0); break;
                case 7:
                {
                    constexpr double special[] = { std::numeric_limits<double>::quiet_NaN(),
                                                   std::numeric_limits<double>::infinity(),
                                                   -std::numeric_limits<double>::infinity(),
                                                   -0.0, -DBL_MAX, DBL_MAX };
                    host.ppq = special[pick (6)];
                    break;
                }
                default:
                    host.ppq = uniform (0.0, 200.0);
                    hostBar = 0.5 * (1 + pick (16));
                    followBars = pick (4) != 0;
                    host.barStart = followBars ? hostBar * std::floor (host.ppq / hostBar) : uniform (-4.0, 8.0);
                    break;
            }
        }

        void loopBack()
        {
            host.looping = true;
            host.ppq = pick (8) == 0 ? uniform (-2.0, 0.0) : host.ppq - uniform (0.0, 16.0);
        }

        std::mt19937_64 random;
        HostTime host;
        double sampleRate = 44100.0, hostBar = 4.0, lastPpq = 0.0;
        int prepared = 512, stopFor = 0;
        bool followBars = true, repeat = false, noTime = false;
    };
}

//==============================================================================
class RandomHostTime  : public ::testing::TestWithParam<uint64_t> {};

// Eight seeds of 12.5 million samples: 10^8 samples in all.
TEST_P (RandomHostTime, MatchesThePlainClockBitForBit)
{
    Lockstep clock;
    RandomHost (GetParam()).run (clock, 12'500'000);
}

INSTANTIATE_TEST_SUITE_P (ProcessorEquivalence, RandomHostTime, ::testing::Range<uint64_t> (1, 9));

//==============================================================================
// Blocks that begin exactly on a boundary of a grid or one ulp either side of it,
// at tempo 0 (every sample on that position), at a plain tempo and at the
// fastest; and blocks that arrive exactly on it by repeated addition of a step
// of 2^-15 quarter note. Each with the clock waiting, running, or catching up
// after a start at tick 6; a further block shows the state each one left.
TEST (ProcessorEquivalence, OnAndBesideTheGridBoundaries)
{
    std::vector<std::pair<uint8_t, double>> boundaries;

    // Past the handover come k whose products k * tickLength round.
    for (double k : { 1.0, 23.0, 24.0, 1000.0, 98765.0, handoverTick - 2.0, handoverTick - 1.0, handoverTick,
                      handoverTick + 1.0, 0x1p30 + 1.0, 0x1p31 + 1.0, 0x1p40 + 1.0 })
    {
        boundaries.push_back ({ 6, k * tickLength });
        boundaries.push_back ({ 6, k * tickLength + halfTickLength });
    }

    // Ticks 0, 6 and 12 of the bar; the last cells before the bar grid hands over,
    // and bar lines beyond, where k * barLength rounds for bars of an odd number of eighths.
    constexpr uint8_t indices[] = { 0, 1, 6, 255 };

    for (auto index : indices)
        for (double bar : { 0.0, 1.0, 37.0 })
            for (double tick : { 0.0, 6.0, 12.0 })
                boundaries.push_back ({ index, bar * (index + 2) * 0.5 + tick / 24.0 });

    for (auto index : indices)
    {
        const auto exactCells = std::floor (0x1p53 / (index + 2));

        for (double k : { exactCells - 2.0, exactCells - 1.0, exactCells, exactCells + 1.0,
                          2.0 * exactCells + 1.0, 3.0 * exactCells + 1.0 })
            boundaries.push_back ({ index, k * (index + 2) * 0.5 });
    }

    struct Approach { double sampleRate, bpm; int samplesBefore; };

    constexpr Approach approaches[] =
    {
        { 44100.0, 0.0, 0 }, { 44100.0, 120.0, 0 }, { 44100.0, 999.0, 0 },
        { 32768.0, 60.0, 100 },     // a step of 2^-15 quarter note
    };

    for (const auto& [index, boundary] : boundaries)
        for (int ulps = -1; ulps <= 1; ++ulps)
            for (const auto& approach : approaches)
                for (double startTick : { -1.0, 0.0, 6.0 })   // waiting, running, catching up
                {
                    Lockstep clock;
                    clock.prepare (approach.sampleRate, 512);
                    clock.setIndex (index);
                    const auto at = ulpsAway (boundary, ulps) - approach.samplesBefore * 0x1p-15;

                    if (startTick >= 0.0)
                    {
                        ASSERT_TRUE (clock.block (HostTime { 120.0, startTick / 24.0, 0.0 }, 5));
                    }

                    ASSERT_TRUE (clock.block (HostTime { approach.bpm, at, 0.0 }, 300))
                        << "boundary " << boundary << " ulps " << ulps << " start tick " << startTick;

                    // From tick 2.5 a waiting clock idles, a running one pulses at tick 3
                    // and a catching-up one at once: a start that wrote no pulse shows here.
                    ASSERT_TRUE (clock.block (HostTime { 120.0, 2.5 / 24.0, 0.0 }, 2000))
                        << "after boundary " << boundary << " ulps " << ulps << " start tick " << startTick;
                }
}

TEST (ProcessorEquivalence, PlayingAcrossTheHandoverToTheLibrary)
{
    for (double bpm : { 120.0, 999.0 })
    {
        Lockstep clock;
        ASSERT_TRUE (clock.block (HostTime { bpm, 0.0, 0.0 }, 64));

        // A forward jump keeps the clock running; a few ticks later it passes the last exact cell.
        const auto from = (handoverTick - 3.0) * tickLength;

        for (int b = 0; b < 40; ++b)
            ASSERT_TRUE (clock.block (HostTime { bpm, from + b * 512 * bpm / (44100.0 * 60.0), 0.0 }, 512)) << "block " << b;
    }
}
