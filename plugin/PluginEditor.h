#pragma once

#include "PluginProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

//==============================================================================
/** The plug-in's window: the logo and version over a fixed 150 x 174 area, and
    a combo box for the bar length that follows the processor's setting both ways.
    The processor never calls the editor: a timer polls its change flag, and the
    box's change notification writes the chosen length back through the host.
*/
class QuernelEditor  : public juce::AudioProcessorEditor,
                       public juce::Timer,
                       public juce::ComboBox::Listener
{
public:
    explicit QuernelEditor (QuernelAudioProcessor&);
    ~QuernelEditor() override;

    //==============================================================================
    void paint (juce::Graphics&) override;
    void resized() override;

private:
    //==============================================================================
    void timerCallback() override;
    void comboBoxChanged (juce::ComboBox*) override;

    //==============================================================================
    std::unique_ptr<juce::ComboBox> timeSignatureBox;
    std::unique_ptr<juce::Label> timeSignatureLabel;
    juce::Image logoImage;
    std::unique_ptr<juce::HyperlinkButton> makerLink;

    // Installed as the process-wide default, which the framework holds weakly:
    // destroying it, last, hands the default back to the framework's own.
    juce::LookAndFeel_V3 lookAndFeel;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuernelEditor)
};
