#pragma once

#include "PluginProcessor.h"

//==============================================================================
/** The plug-in's window. */
class QuernelEditor  : public juce::AudioProcessorEditor
{
public:
    explicit QuernelEditor (QuernelAudioProcessor&);
    ~QuernelEditor() override;

    void paint (juce::Graphics&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuernelEditor)
};
