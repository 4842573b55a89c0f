// This program builds the editor's unit once more, with logo bytes that no image
// format reads, in place of the shared code's own copy.

#include "EditorTestHelpers.h"

#include <gtest/gtest.h>

using namespace editor_test;

TEST (EditorWithoutLogo, PaintsWhiteWhereTheLogoWouldBeAndStillWorks)
{
    QuernelAudioProcessor processor;
    HostRecorder host (processor);
    ScopedEditor e (processor);

    ASSERT_EQ (e.editor->getNumChildComponents(), 3);
    EXPECT_EQ (e.editor->getBounds(), juce::Rectangle<int> (0, 0, 150, 174));

    const auto image = e.editor->createComponentSnapshot (e.editor->getLocalBounds(), true, 1.0f);

    int nonWhite = 0;

    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 150; ++x)
            nonWhite += image.getPixelAt (x, y).getARGB() != 0xffffffff ? 1 : 0;

    EXPECT_EQ (nonWhite, 0);
    EXPECT_EQ (image.getPixelAt (5, 100).getARGB(), 0xffd3d3d3u);

    // The opening's write-back, then a pick, reach the host as usual.
    pumpFor (20);
    e.box().setSelectedId (15, juce::sendNotificationAsync);
    pumpFor (20);
    EXPECT_EQ (host.values, (std::vector<float> { 0.2f, 0.5f }));
}
