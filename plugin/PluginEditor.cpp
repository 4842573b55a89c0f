#include "PluginEditor.h"

QuernelEditor::QuernelEditor (QuernelAudioProcessor& p)
    : juce::AudioProcessorEditor (p)
{
    setSize (150, 174);
}

QuernelEditor::~QuernelEditor() = default;

void QuernelEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::white);
}
