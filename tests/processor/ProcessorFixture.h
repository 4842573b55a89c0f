#pragma once

#include "ClockSignal.h"
#include "PluginProcessor.h"
#include "TestPlayHead.h"

#include <gtest/gtest.h>

#include <vector>

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
