#pragma once

#include "PluginProcessor.h"
#include "TestPlayHead.h"

#include <gtest/gtest.h>

#include <vector>

//==============================================================================
// What the clock writes, as a receiving device sees it.
namespace output
{
    constexpr float idle = 0.0001f;
    constexpr float pulseFirst = 0.7491700053215027f;
    constexpr float pulsePeak = 0.9404999613761902f;
    constexpr int pulseLength = 97;

    inline bool isIdle (float x)  { return x == idle || x == -idle; }

    /** Indices where a pulse begins: a non-idle sample after an idle one. */
    inline std::vector<int> pulseStarts (const std::vector<float>& signal)
    {
        std::vector<int> starts;

        for (size_t i = 0; i < signal.size(); ++i)
            if (! isIdle (signal[i]) && (i == 0 || isIdle (signal[i - 1])))
                starts.push_back ((int) i);

        return starts;
    }

    /** Every pulse that begins inside the signal has the pulse's full shape and
        length, and the idle samples alternate from + across the pulses. */
    inline void expectWellFormed (const std::vector<float>& signal, float firstIdle = idle)
    {
        auto expectedIdle = firstIdle;

        for (size_t i = 0; i < signal.size();)
        {
            if (isIdle (signal[i]))
            {
                ASSERT_EQ (signal[i], expectedIdle) << "idle alternation broken at sample " << i;
                expectedIdle = -expectedIdle;
                ++i;
                continue;
            }

            const auto start = i;

            while (i < signal.size() && ! isIdle (signal[i]))
                ++i;

            const auto length = i - start;

            if (i < signal.size())
            {
                ASSERT_EQ (length, (size_t) pulseLength) << "pulse at sample " << start;
                ASSERT_EQ (signal[i - 1], 0.0f) << "pulse at sample " << start << " does not end at 0";
            }

            if (start > 0 && length == (size_t) pulseLength)
            {
                ASSERT_EQ (signal[start], pulseFirst) << "pulse at sample " << start;
                ASSERT_EQ (signal[start + 1], pulsePeak) << "pulse at sample " << start;
            }
        }
    }
}

//==============================================================================
/** A processor with stereo buses, prepared, and a play head the test steers. */
struct ProcessorFixture
{
    explicit ProcessorFixture (double sampleRate = 44100.0, int blockSize = 100000)
    {
        processor.enableAllBuses();
        processor.setPlayHead (&playHead);
        processor.prepareToPlay (sampleRate, blockSize);
    }

    void play (double ppq, double barStart = 0.0, double bpm = 120.0, bool looping = false)
    {
        juce::AudioPlayHead::PositionInfo info;
        info.setBpm (bpm);
        info.setPpqPosition (ppq);
        info.setPpqPositionOfLastBarStart (barStart);
        info.setIsPlaying (true);
        info.setIsLooping (looping);
        playHead.position = info;
    }

    void stop()
    {
        juce::AudioPlayHead::PositionInfo info;
        info.setBpm (120.0);
        playHead.position = info;
    }

    /** Runs one block over inputs full of noise and returns output channel 0,
        after checking that every output channel carries the same signal. */
    std::vector<float> process (int numSamples, int numChannels = 2)
    {
        juce::AudioBuffer<float> buffer (numChannels, numSamples);

        for (int ch = 0; ch < numChannels; ++ch)
            for (int i = 0; i < numSamples; ++i)
                buffer.setSample (ch, i, 0.5f);

        juce::MidiBuffer midi;
        processor.processBlock (buffer, midi);

        std::vector<float> out ((size_t) numSamples);

        if (numChannels > 0)
            std::copy (buffer.getReadPointer (0), buffer.getReadPointer (0) + numSamples, out.begin());

        for (int ch = 1; ch < numChannels; ++ch)
            for (int i = 0; i < numSamples; ++i)
                EXPECT_EQ (buffer.getSample (ch, i), out[(size_t) i]) << "channel " << ch << " sample " << i;

        return out;
    }

    TestPlayHead playHead;
    QuernelAudioProcessor processor;
};
