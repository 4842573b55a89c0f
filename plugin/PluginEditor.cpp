#include "PluginEditor.h"

#include <cmath>
#include <limits>

// The logo, a 150 x 150 JPEG; the build lists the bytes of resources/plugin_logo.jpg.
static const unsigned char resource_QuernelEditor_plugin_logo_jpg[] =
{
   #include "plugin_logo_jpg.inc"
};

namespace
{
    constexpr const char* versionText = "1.0.9";

    constexpr int timerIntervalMs = 200;

    // Index 0 (a 2/8 bar) has no item: a new window opens on the processor's
    // default 8/8, a tick falls back to the shortest bar offered, 3/8.
    constexpr int idWhenOpeningOnIndexZero = 6;
    constexpr int idWhenTickFindsIndexZero = 1;

    QuernelAudioProcessor& getQuernelProcessor (juce::AudioProcessorEditor& editor) noexcept
    {
        // Only QuernelAudioProcessor::createEditor makes this editor, for itself.
        return static_cast<QuernelAudioProcessor&> (editor.processor);
    }

    // Single precision throughout, so that every index 0..255 maps to its own id
    // and every item's value maps back to its index in the processor.
    int idForValue (float value, int numItems) noexcept
    {
        const auto rounded = std::roundf (value * (float) numItems);

        // Only a huge index (after a negative host value) gets here; no item has this id.
        if (! (rounded >= -0x1p31f && rounded < 0x1p31f))
            return std::numeric_limits<int>::min();

        return (int) rounded;
    }

    float valueForId (int id, int numItems) noexcept
    {
        return (float) id / (float) numItems;
    }
}

//==============================================================================
QuernelEditor::QuernelEditor (QuernelAudioProcessor& p)
    : juce::AudioProcessorEditor (p)
{
    // First, so that every child is made with it.
    juce::LookAndFeel::setDefaultLookAndFeel (&lookAndFeel);

    timeSignatureBox.reset (new juce::ComboBox ("Time Signature"));
    addAndMakeVisible (timeSignatureBox.get());
    timeSignatureBox->setEditableText (false);
    timeSignatureBox->setJustificationType (juce::Justification::centredLeft);
    timeSignatureBox->setTextWhenNoChoicesAvailable (TRANS ("(no choices)"));

    // Item k is a bar of k + 2 eighth notes, the processor's index k.
    for (int id = 1; id <= 30; ++id)
        timeSignatureBox->addItem (juce::translate (juce::String (id + 2).paddedLeft (' ', 2) + "/8"), id);

    timeSignatureBox->addListener (this);

    timeSignatureLabel.reset (new juce::Label ("tSig Label", TRANS ("Time Signature")));
    addAndMakeVisible (timeSignatureLabel.get());
    timeSignatureLabel->setFont (juce::Font (15.0f, juce::Font::plain));
    timeSignatureLabel->setJustificationType (juce::Justification::centredLeft);
    timeSignatureLabel->setEditable (false, false, false);

    // These reach only the text editor of an edit, which this label never opens.
    timeSignatureLabel->setColour (juce::TextEditor::textColourId, juce::Colours::red);
    timeSignatureLabel->setColour (juce::TextEditor::backgroundColourId, juce::Colours::transparentBlack);

    makerLink.reset (new juce::HyperlinkButton ("K-VN Halbrandwerkhof", juce::URL ("https://k-vn.invalid/")));
    addAndMakeVisible (makerLink.get());
    makerLink->changeWidthToFitText();
    makerLink->setFont (juce::Font (10.0f, juce::Font::plain), false, juce::Justification::bottomLeft);

    // Shared through the image cache while any other window still holds it.
    logoImage = juce::ImageCache::getFromMemory (resource_QuernelEditor_plugin_logo_jpg,
                                                 (int) sizeof (resource_QuernelEditor_plugin_logo_jpg));

    setSize (150, 174);

    startTimer (timerIntervalMs);

    // A new box has nothing selected, so this always posts one notification,
    // which writes the shown item back to the processor and the host.
    auto id = idForValue (p.getParameter (0), timeSignatureBox->getNumItems());

    if (id == 0)
        id = idWhenOpeningOnIndexZero;

    timeSignatureBox->setSelectedId (id, juce::sendNotificationAsync);
}

QuernelEditor::~QuernelEditor()
{
    // Deleting the box also ends the editor's listener registration and drops a
    // notification that has not been delivered yet.
    timeSignatureBox.reset();
    timeSignatureLabel.reset();
    makerLink.reset();
}

//==============================================================================
void QuernelEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::white);

    if (logoImage.isValid())
        g.drawImage (logoImage, 0, 0, 150, 150, 0, 0, logoImage.getWidth(), logoImage.getHeight(), false);

    g.setColour (juce::Colours::lightgrey);
    g.fillRect (0, 96, 150, 58);

    g.setColour (juce::Colours::black);
    g.setFont (10.0f);
    g.drawText ('v' + juce::String (versionText), juce::Rectangle<float> (114.0f, 140.0f, 150.0f, 50.0f),
                juce::Justification::left, true);
}

void QuernelEditor::resized()
{
    timeSignatureBox->setBounds (39, 120, 75, 24);
    timeSignatureLabel->setBounds (23, 96, 150, 24);
    makerLink->setBounds (10, 155, 105, 20);
}

//==============================================================================
void QuernelEditor::timerCallback()
{
    auto& p = getQuernelProcessor (*this);

    // Taking the flag before reading the value means a change landing after this
    // raises it again and is shown on the next tick.
    if (! p.takeTimeSignatureChange())
        return;

    auto id = idForValue (p.getParameter (0), timeSignatureBox->getNumItems());

    if (id == 0)
        id = idWhenTickFindsIndexZero;

    timeSignatureBox->setSelectedId (id, juce::sendNotificationAsync);
}

void QuernelEditor::comboBoxChanged (juce::ComboBox* box)
{
    if (box != timeSignatureBox.get())
        return;

    // An id without an item reads as 0 and writes 0.0; the next tick then shows 3/8.
    const auto value = valueForId (box->getSelectedId(), timeSignatureBox->getNumItems());

    // The one parameter is a legacy, indexed parameter.
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    processor.setParameterNotifyingHost (0, value);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}
