#include "VstHost.h"
#include "../processor/ClockSignal.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>

using namespace vst2;

namespace
{
    constexpr float inputLevel = 0.25f;

    // The record offers 64 outputs, but the processor runs its stereo layout: the
    // wrapper hands it the first two and leaves the rest to the host.
    constexpr int clockOutputs = 2;

    //==============================================================================
    /** Loads a fresh instance whose inputs all carry a level that must not reach the outputs. */
    ::testing::AssertionResult loadWithInputs (VstHost& host)
    {
        if (! host.load (TESSARAVON_PLUGIN_PATH))
            return ::testing::AssertionFailure() << host.getLastError();

        for (int channel = 0; channel < host.getEffect()->numInputs; ++channel)
            host.getInput (channel).assign (4096, inputLevel);

        return ::testing::AssertionSuccess();
    }

    void playFromBarLine (VstHost& host, double bpm, double rate)
    {
        auto& time = host.getTimeInfo();
        time.flags = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid | kVstBarsValid;
        time.tempo = bpm;
        time.sampleRate = rate;
        time.samplePos = 0.0;
        time.ppqPos = 0.0;
        time.barStartPos = 0.0;
    }

    /** Processes blocks with the transport moving on, checks that all outputs of a
        block carry one signal, and gives that signal for all blocks end to end.
    */
    std::vector<float> render (VstHost& host, int numBlocks, int blockLength)
    {
        std::vector<float> signal;
        bool outputsAgree = true;

        for (int block = 0; block < numBlocks; ++block)
        {
            host.process (blockLength);

            const auto& first = host.getOutput (0);

            for (int channel = 1; channel < clockOutputs && outputsAgree; ++channel)
            {
                if (host.getOutput (channel) != first)
                {
                    ADD_FAILURE() << "output " << channel + 1 << " differs from output 1 in block " << block
                                  << ", starting " << host.getOutput (channel).front();
                    outputsAgree = false;
                }
            }

            signal.insert (signal.end(), first.begin(), first.end());
            host.advanceTime (blockLength);
        }

        return signal;
    }

    //==============================================================================
    struct Clock
    {
        std::vector<int> onsets;
        std::string fault;
    };

    /** Reads a running clock: pulses of 97 samples that start 0.74917, 0.9405 and
        end at 0, and between them the idle level alternating, from + at the start
        of every block. The fault names the first sample that is neither.
    */
    Clock readClock (const std::vector<float>& signal, int blockLength)
    {
        Clock clock;
        int pulseSample = output::pulseLength;
        bool nextIdleIsNegative = false;

        const auto describe = [&] (size_t i, const char* expectation)
        {
            std::ostringstream text;
            text << std::setprecision (9) << "sample " << i << " is " << signal[i] << ", expected " << expectation;
            clock.fault = text.str();
        };

        for (size_t i = 0; i < signal.size() && clock.fault.empty(); ++i)
        {
            const auto sample = signal[i];

            if (i % (size_t) blockLength == 0)
                nextIdleIsNegative = false;

            if (pulseSample < output::pulseLength)
            {
                if (pulseSample == 1 && sample != output::pulsePeak)
                    describe (i, "the second pulse sample");
                else if (pulseSample == output::pulseLength - 1 && sample != 0.0f)
                    describe (i, "the pulse's last sample, 0");
                else if (pulseSample < output::pulseLength - 1 && ! (sample > 0.0f && sample < 1.0f && sample != output::idle))
                    describe (i, "a pulse sample");

                ++pulseSample;
                continue;
            }

            if (sample == output::pulseFirst)
            {
                clock.onsets.push_back ((int) i);
                pulseSample = 1;
                continue;
            }

            if (sample != (nextIdleIsNegative ? -output::idle : output::idle))
                describe (i, nextIdleIsNegative ? "-idle" : "+idle");

            nextIdleIsNegative = ! nextIdleIsNegative;
        }

        return clock;
    }

    /** The signal while stopped: -idle, +idle... from the start of the block. */
    ::testing::AssertionResult isStoppedPattern (const std::vector<float>& block)
    {
        for (size_t i = 0; i < block.size(); ++i)
        {
            const auto expected = (i % 2 == 0) ? -output::idle : output::idle;

            if (block[i] != expected)
                return ::testing::AssertionFailure() << std::setprecision (9) << "sample " << i << " is " << block[i]
                                                     << " instead of " << expected;
        }

        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult allOutputsStopped (const VstHost& host)
    {
        for (int channel = 0; channel < clockOutputs; ++channel)
            if (const auto result = isStoppedPattern (host.getOutput (channel)); ! result)
                return ::testing::AssertionFailure() << "output " << channel + 1 << ": " << result.message();

        return ::testing::AssertionSuccess();
    }
}

//==============================================================================
TEST (Signal, SwitchOnWithoutRateOrBlockSizeRunsAt44100)
{
    VstHost host;
    ASSERT_TRUE (loadWithInputs (host));
    playFromBarLine (host, 120.0, 44100.0);

    host.dispatch (effMainsChanged, 0, 1);

    const auto wantMidi = host.getHostCalls (audioMasterWantMidi);
    ASSERT_EQ (wantMidi.size(), 1u);
    EXPECT_EQ (wantMidi.front().value, 1);

    // One block longer than the 1024 samples the effect is prepared for.
    const auto clock = readClock (render (host, 1, 3000), 3000);
    EXPECT_EQ (clock.fault, "");
    EXPECT_EQ (clock.onsets, (std::vector<int> { 0, 919, 1838, 2757 }));
}

TEST (Signal, TickSpacingFollowsTheHostSampleRate)
{
    struct Case { double rate; std::vector<int> expectedOnsets; };

    // A tick is a hair longer than 1/24 of a quarter note, so a tick that falls on
    // a whole sample starts one sample later.
    const Case cases[] =
    {
        { 22050.0, { 0,  460,  919, 1379 } },
        { 48000.0, { 0, 1001, 2001, 3001 } },
        { 96000.0, { 0, 2001, 4001, 6001 } },
    };

    for (const auto& c : cases)
    {
        VstHost host;
        ASSERT_TRUE (loadWithInputs (host));
        playFromBarLine (host, 120.0, c.rate);

        host.dispatch (effSetSampleRate, 0, 0, nullptr, (float) c.rate);
        host.dispatch (effMainsChanged, 0, 1);

        const auto length = c.expectedOnsets.back() + output::pulseLength + 10;
        const auto clock = readClock (render (host, 1, length), length);
        EXPECT_TRUE (clock.fault.empty() && clock.onsets == c.expectedOnsets)
            << c.rate << " Hz: " << clock.fault << " onsets " << ::testing::PrintToString (clock.onsets);
    }
}

TEST (Signal, StartedTransportRunsOnAcrossBlocks)
{
    // 500 and 64 split pulses across blocks.
    for (const auto blockLength : { 512, 500, 64 })
    {
        VstHost host;
        ASSERT_TRUE (loadWithInputs (host));
        playFromBarLine (host, 120.0, 44100.0);
        host.dispatch (effMainsChanged, 0, 1);

        const auto numBlocks = 3000 / blockLength + 1;
        const auto clock = readClock (render (host, numBlocks, blockLength), blockLength);
        EXPECT_TRUE (clock.fault.empty() && clock.onsets == (std::vector<int> { 0, 919, 1838, 2757 }))
            << "blocks of " << blockLength << ": " << clock.fault << " onsets " << ::testing::PrintToString (clock.onsets);
    }
}

//==============================================================================
TEST (Signal, FirstProcessWithoutSwitchOnPreparesTheEffect)
{
    {
        VstHost host;
        ASSERT_TRUE (loadWithInputs (host));

        host.process (600);
        EXPECT_TRUE (allOutputsStopped (host)) << "stopped transport";
        EXPECT_EQ (host.getHostCalls (audioMasterWantMidi).size(), 1u);
    }

    {
        VstHost host;
        ASSERT_TRUE (loadWithInputs (host));
        playFromBarLine (host, 120.0, 44100.0);

        const auto clock = readClock (render (host, 1, 1200), 1200);
        EXPECT_TRUE (clock.fault.empty() && clock.onsets == (std::vector<int> { 0, 919 }))
            << "playing transport: " << clock.fault << " onsets " << ::testing::PrintToString (clock.onsets);
    }
}

TEST (Signal, IdlesWhileStoppedOrWithoutUsableTime)
{
    struct Case { const char* name; bool playing; bool servesTime; double rate; };

    const Case cases[] =
    {
        { "stopped transport",   false, true,   44100.0 },
        { "no time info",        true,  false,  44100.0 },
        { "time info rate 0",    true,  true,       0.0 },
        { "time info rate < 0",  true,  true,  -44100.0 },
    };

    VstHost host;
    ASSERT_TRUE (loadWithInputs (host));
    host.dispatch (effMainsChanged, 0, 1);

    for (const auto& c : cases)
    {
        playFromBarLine (host, 120.0, c.rate);

        if (! c.playing)
            host.getTimeInfo().flags &= ~kVstTransportPlaying;

        host.setServesTimeInfo (c.servesTime);

        // Odd lengths, so that a pattern carried over from the last block would show.
        for (const auto length : { 301, 301 })
        {
            host.process (length);
            EXPECT_TRUE (allOutputsStopped (host)) << c.name;
        }
    }
}
