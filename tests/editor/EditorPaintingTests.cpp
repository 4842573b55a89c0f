#include "EditorTestHelpers.h"

#include <gtest/gtest.h>

using namespace editor_test;

namespace
{
    constexpr juce::uint32 white = 0xffffffff;
    constexpr juce::uint32 band  = 0xffd3d3d3;

    juce::Image snapshot (juce::Component& c)
    {
        return c.createComponentSnapshot (c.getLocalBounds(), true, 1.0f);
    }

    bool isDark (juce::Colour c)
    {
        return c.getBrightness() < 0.6f;
    }

    // Where a row of the band is left bare by the label (which draws no
    // background) and the combo box.
    bool bandIsBare (int x, int y)
    {
        const bool underLabel = y <= 119 && x >= 23;
        const bool underBox = y >= 120 && y <= 143 && x >= 39 && x <= 113;
        return ! underLabel && ! underBox;
    }
}

//==============================================================================
TEST (EditorPainting, LogoBandStripAndVersionText)
{
    QuernelAudioProcessor processor;
    ScopedEditor e (processor);
    const auto image = snapshot (*e.editor);
    ASSERT_EQ (image.getBounds(), juce::Rectangle<int> (0, 0, 150, 174));

    // The logo lands pixel for pixel on the rows the band leaves visible.
    const auto logo = juce::ImageFileFormat::loadFrom (juce::File (TESSARAVON_LOGO_JPEG));
    ASSERT_EQ (logo.getBounds(), juce::Rectangle<int> (0, 0, 150, 150));

    int logoMismatches = 0;

    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 150; ++x)
            logoMismatches += image.getPixelAt (x, y).getARGB() != logo.getPixelAt (x, y).getARGB() ? 1 : 0;

    EXPECT_EQ (logoMismatches, 0);
    EXPECT_NE (image.getPixelAt (2, 2).getARGB(), white);

    int bandMismatches = 0;

    for (int y = 96; y <= 153; ++y)
        for (int x = 0; x < 150; ++x)
            if (bandIsBare (x, y))
                bandMismatches += image.getPixelAt (x, y).getARGB() != band ? 1 : 0;

    EXPECT_EQ (bandMismatches, 0);

    for (int x = 0; x < 150; ++x)
        EXPECT_EQ (image.getPixelAt (x, 154).getARGB(), white) << "x " << x;

    // Right of the link button only the version text draws: a 10-pixel line
    // from column 114, centred on row 165.
    juce::Rectangle<int> text;

    for (int y = 154; y < 174; ++y)
        for (int x = 114; x < 150; ++x)
            if (isDark (image.getPixelAt (x, y)))
                text = text.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1)
                                      : text.getUnion ({ x, y, 1, 1 });

    // DejaVu Sans at 10 pixels: digits 6 rows high, the six characters 26 wide.
    EXPECT_EQ (text.getX(), 114);
    EXPECT_GE (text.getY(), 161);
    EXPECT_LE (text.getBottom() - 1, 168);
    EXPECT_NEAR (text.getWidth(), 26, 2);
    EXPECT_NEAR (text.getHeight(), 6, 1);
}

TEST (EditorPainting, ALargerEditorKeepsEveryPosition)
{
    QuernelAudioProcessor processor;
    ScopedEditor e (processor);
    const auto fixed = snapshot (*e.editor);

    e.editor->setSize (220, 200);
    const auto larger = snapshot (*e.editor);

    int mismatches = 0;

    for (int y = 0; y < 174; ++y)
        for (int x = 0; x < 150; ++x)
            mismatches += fixed.getPixelAt (x, y) != larger.getPixelAt (x, y) ? 1 : 0;

    EXPECT_EQ (mismatches, 0);

    // Beyond the 150 x 174 area: white, apart from the rest of the version text.
    int nonWhite = 0;

    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 220; ++x)
            if (x >= 150 || y >= 174)
                nonWhite += larger.getPixelAt (x, y).getARGB() != white && ! (y >= 158 && y <= 171) ? 1 : 0;

    EXPECT_EQ (nonWhite, 0);
}
