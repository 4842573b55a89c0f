#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

//==============================================================================
/** A play head that gives whatever position the test (or fuzzer) put in it. */
struct TestPlayHead  : public juce::AudioPlayHead
{
    juce::Optional<PositionInfo> getPosition() const override   { return position; }

    juce::Optional<PositionInfo> position;
};
