#include "EditorTestHelpers.h"

#include <gtest/gtest.h>

#include <map>
#include <typeinfo>

using namespace editor_test;

namespace
{
    struct DeletionLog  : juce::ComponentListener
    {
        void componentBeingDeleted (juce::Component& c) override    { order.push_back (&c); }

        std::vector<juce::Component*> order;
    };

    bool defaultLookAndFeelIsExactly (const std::type_info& type)
    {
        auto& current = juce::LookAndFeel::getDefaultLookAndFeel();
        return typeid (current) == type;
    }
}

//==============================================================================
TEST (EditorConstruction, ChildrenInOrderWithNamesTextsAndBounds)
{
    QuernelAudioProcessor processor;
    ScopedEditor e (processor);

    EXPECT_EQ (e.editor->getWidth(), 150);
    EXPECT_EQ (e.editor->getHeight(), 174);
    EXPECT_FALSE (e.editor->isResizable());
    ASSERT_EQ (e.editor->getNumChildComponents(), 3);

    // Child order is the z-order: box at the bottom, link button on top.
    auto& box = e.child<juce::ComboBox> (0);
    auto& label = e.child<juce::Label> (1);
    auto& link = e.child<juce::HyperlinkButton> (2);

    EXPECT_EQ (box.getName(), "Time Signature");
    EXPECT_FALSE (box.isTextEditable());
    EXPECT_EQ (box.getJustificationType().getFlags(), juce::Justification::centredLeft);
    EXPECT_EQ (box.getTextWhenNoChoicesAvailable(), "(no choices)");

    EXPECT_EQ (label.getName(), "tSig Label");
    EXPECT_EQ (label.getText(), "Time Signature");
    EXPECT_EQ (label.getFont().getHeight(), 15.0f);
    EXPECT_EQ (label.getJustificationType().getFlags(), juce::Justification::centredLeft);
    EXPECT_FALSE (label.isEditableOnSingleClick());
    EXPECT_FALSE (label.isEditableOnDoubleClick());
    EXPECT_EQ (label.findColour (juce::TextEditor::textColourId), juce::Colours::red);
    EXPECT_EQ (label.findColour (juce::TextEditor::backgroundColourId), juce::Colours::transparentBlack);

    EXPECT_EQ (link.getButtonText(), "K-VN Halbrandwerkhof");
    EXPECT_TRUE (link.getURL().isWellFormed());
    EXPECT_EQ (link.getURL().getDomain(), "k-vn.invalid");
    EXPECT_EQ (link.getJustificationType().getFlags(), juce::Justification::bottomLeft);

    // The layout is fixed: another editor size moves nothing.
    for (auto size : { juce::Point<int> (150, 174), juce::Point<int> (300, 90) })
    {
        e.editor->setSize (size.x, size.y);
        SCOPED_TRACE (size.toString());

        EXPECT_EQ (box.getBounds(), juce::Rectangle<int> (39, 120, 75, 24));
        EXPECT_EQ (label.getBounds(), juce::Rectangle<int> (23, 96, 150, 24));
        EXPECT_EQ (link.getBounds(), juce::Rectangle<int> (10, 155, 105, 20));
    }

    for (auto* c : e.editor->getChildren())
        EXPECT_TRUE (c->isVisible()) << c->getName();
}

TEST (EditorConstruction, ThirtyBarLengthsFromThreeToThirtyTwoEighths)
{
    QuernelAudioProcessor processor;
    ScopedEditor e (processor);
    auto& box = e.box();

    ASSERT_EQ (box.getNumItems(), 30);

    for (int i = 0; i < 30; ++i)
    {
        const auto id = i + 1;
        EXPECT_EQ (box.getItemId (i), id);
        EXPECT_EQ (box.getItemText (i), juce::String::formatted ("%2d/8", id + 2)) << "id " << id;
    }

    EXPECT_EQ (box.getItemText (0), " 3/8");
    EXPECT_EQ (box.getItemText (29), "32/8");
}

//==============================================================================
TEST (EditorConstruction, EachEditorInstallsItsLookAndFeelAndNeverWithdrawsIt)
{
    QuernelAudioProcessor first, second;
    auto e1 = std::make_unique<ScopedEditor> (first);

    auto* firstDefault = &juce::LookAndFeel::getDefaultLookAndFeel();
    EXPECT_TRUE (defaultLookAndFeelIsExactly (typeid (juce::LookAndFeel_V3)));
    EXPECT_EQ (&e1->box().getLookAndFeel(), firstDefault);

    auto e2 = std::make_unique<ScopedEditor> (second);
    auto* secondDefault = &juce::LookAndFeel::getDefaultLookAndFeel();
    EXPECT_NE (secondDefault, firstDefault) << "the later editor supplies the default";
    EXPECT_TRUE (defaultLookAndFeelIsExactly (typeid (juce::LookAndFeel_V3)));

    // With the later editor gone the framework falls back to its own default, not
    // to the earlier editor's, which is still alive.
    e2.reset();
    EXPECT_TRUE (defaultLookAndFeelIsExactly (typeid (juce::LookAndFeel_V4)));
    EXPECT_NE (&juce::LookAndFeel::getDefaultLookAndFeel(), firstDefault);

    e1.reset();
    EXPECT_TRUE (defaultLookAndFeelIsExactly (typeid (juce::LookAndFeel_V4)));
}

TEST (EditorConstruction, DestroyingDeletesEachChildOnceInCreationOrder)
{
    QuernelAudioProcessor processor;
    ScopedEditor e (processor);
    DeletionLog log;

    std::vector<juce::Component*> children;

    for (auto* c : e.editor->getChildren())
    {
        c->addComponentListener (&log);
        children.push_back (c);
    }

    e.close();

    EXPECT_EQ (log.order, children);
}
