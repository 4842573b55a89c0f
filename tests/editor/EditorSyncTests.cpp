#include "EditorTestHelpers.h"

#include <gtest/gtest.h>

#include <limits>

using namespace editor_test;

namespace
{
    constexpr int tickMs = 200;

    // A tick comes 200 ms after the last; this covers its scheduling jitter.
    constexpr int withinOneTickMs = tickMs + 100;

    // A posted notification is delivered on the next pass of the loop, well before a tick.
    constexpr int deliveryMs = 150;

    // Long enough for the longest path (three ticks) to come to rest.
    constexpr int settleMs = 3 * tickMs + 100;

    float itemValue (int id)    { return (float) id / 30.0f; }

    struct EditorSync  : ::testing::Test
    {
        QuernelAudioProcessor processor;
        HostRecorder host { processor };

        /** Opens at an index from 1 to 30, lets the opening's write-back through
            and takes the flag it raised, as the first tick would.
        */
        std::unique_ptr<ScopedEditor> openSettled (uint8_t index)
        {
            host.values.clear();
            setIndexFromState (processor, index);
            auto e = std::make_unique<ScopedEditor> (processor);

            EXPECT_TRUE (pumpUntil ([this] { return ! host.values.empty(); }, deliveryMs));
            e->tick();
            host.values.clear();
            return e;
        }
    };
}

//==============================================================================
TEST_F (EditorSync, EachPickSendsItsValueOnce)
{
    auto e = openSettled (6);

    for (int id = 1; id <= 30; ++id)
    {
        SCOPED_TRACE ("id " + std::to_string (id));

        // Selecting with an asynchronous notification is what a pick from the list does.
        e->box().setSelectedId (id, juce::sendNotificationAsync);
        ASSERT_TRUE (pumpUntil ([&] { return host.values.size() == (size_t) id; }, deliveryMs));

        EXPECT_EQ (host.values.back(), itemValue (id));
        EXPECT_EQ (processor.getTimeSignatureIndex(), (uint32_t) id);
    }

    pumpFor (withinOneTickMs);
    EXPECT_EQ (host.values.size(), 30u);
    EXPECT_EQ (e->box().getText(), "32/8");

    for (auto index : host.indices)
        EXPECT_EQ (index, 0);
}

TEST_F (EditorSync, PickingTheSelectedItemSendsNothing)
{
    auto e = openSettled (12);

    e->box().setSelectedId (12, juce::sendNotificationAsync);
    pumpFor (withinOneTickMs);

    EXPECT_TRUE (host.values.empty());
    EXPECT_EQ (processor.getTimeSignatureIndex(), 12u);
}

// A tick that finds no change leaves the box alone, so a pick whose notification
// is still on its way is not replaced by the processor's older value.
TEST_F (EditorSync, ATickWithoutAChangeKeepsAPendingPick)
{
    auto e = openSettled (4);

    e->box().setSelectedId (20, juce::sendNotificationAsync);
    e->tick();
    pumpFor (withinOneTickMs);

    EXPECT_EQ (e->box().getText(), "22/8");
    EXPECT_EQ (processor.getTimeSignatureIndex(), 20u);
    EXPECT_EQ (host.values, std::vector<float> { itemValue (20) });
}

//==============================================================================
// Host automation reaches the processor's setParameter without being reported;
// the box follows on a tick and writes the shown item's value back.
TEST_F (EditorSync, HostAutomationEndsOnAnItemTheHostIsToldOf)
{
    struct Case
    {
        const char* what;
        uint8_t openIndex;
        float hostValue;
        int ticksToShow;
        const char* shown;
        uint32_t finalIndex;
        std::vector<float> sent;
    };

    const Case cases[] =
    {
        { "to another item",            7, 0.21f,  1, " 8/8", 6,  { itemValue (6) } },
        { "to the shown item",          6, 0.205f, 0, " 8/8", 6,  {} },
        { "to the last item",           6, 1.0f,   1, "32/8", 30, { 1.0f } },
        { "below 1/60, 3/8 not shown",  6, 0.01f,  1, " 3/8", 1,  { itemValue (1) } },
        { "below 1/60, 3/8 shown",      1, 0.01f,  0, " 3/8", 0,  {} },
        { "above 1, no item",           6, 1.5f,   2, " 3/8", 1,  { 0.0f, itemValue (1) } },
        { "negative, huge index",       6, -0.1f,  2, " 3/8", 1,  { 0.0f, itemValue (1) } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        auto e = openSettled (c.openIndex);

        processor.setParameter (0, c.hostValue);

        const auto start = juce::Time::getMillisecondCounterHiRes();
        EXPECT_TRUE (pumpUntil ([&] { return e->box().getText() == c.shown; }, c.ticksToShow * tickMs + 100));
        EXPECT_LE (juce::Time::getMillisecondCounterHiRes() - start, c.ticksToShow * tickMs + 100);

        pumpFor (settleMs);

        EXPECT_EQ (e->box().getText(), c.shown);
        EXPECT_EQ (processor.getTimeSignatureIndex(), c.finalIndex);
        EXPECT_EQ (host.values, c.sent);
    }
}

TEST_F (EditorSync, StateBeyondTheItemsGoesThroughNoItemToThreeEighths)
{
    auto e = openSettled (9);
    setIndexFromState (processor, 40);

    // First tick: id 40 has no item, so the box shows nothing and writes 0.0.
    ASSERT_TRUE (pumpUntil ([&] { return host.values.size() == 1; }, withinOneTickMs));
    EXPECT_EQ (e->box().getText(), "");
    EXPECT_EQ (host.values[0], 0.0f);
    EXPECT_EQ (processor.getTimeSignatureIndex(), 0u);

    // Second tick: index 0 is shown as the first item.
    ASSERT_TRUE (pumpUntil ([&] { return host.values.size() == 2; }, withinOneTickMs));
    EXPECT_EQ (e->box().getText(), " 3/8");
    EXPECT_EQ (host.values[1], itemValue (1));
    EXPECT_EQ (processor.getTimeSignatureIndex(), 1u);

    pumpFor (withinOneTickMs);
    EXPECT_EQ (host.values.size(), 2u);
}

//==============================================================================
TEST_F (EditorSync, EveryOpeningSendsTheShownItemOnce)
{
    struct Case
    {
        uint8_t index;
        const char* shownAtOpening;
        const char* shownAtRest;
        uint32_t finalIndex;
        std::vector<float> sent;
    };

    const Case cases[] =
    {
        { 0,  " 8/8", " 8/8", 6,  { itemValue (6) } },
        { 1,  " 3/8", " 3/8", 1,  { itemValue (1) } },
        { 7,  " 9/8", " 9/8", 7,  { itemValue (7) } },
        { 30, "32/8", "32/8", 30, { 1.0f } },
        { 40, "",     " 3/8", 1,  { 0.0f, itemValue (1) } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("index " + std::to_string (c.index));
        host.values.clear();
        setIndexFromState (processor, c.index);

        ScopedEditor e (processor);
        EXPECT_EQ (e.box().getText(), c.shownAtOpening);

        // The opening's write-back is delivered at once, before the first tick.
        ASSERT_TRUE (pumpUntil ([&] { return ! host.values.empty(); }, deliveryMs));
        EXPECT_EQ (host.values[0], c.sent[0]);

        pumpFor (settleMs);
        EXPECT_EQ (e.box().getText(), c.shownAtRest);
        EXPECT_EQ (processor.getTimeSignatureIndex(), c.finalIndex);
        EXPECT_EQ (host.values, c.sent);
    }
}

TEST_F (EditorSync, ClosingDropsThePendingWriteBack)
{
    setIndexFromState (processor, 0);

    ScopedEditor (processor).close();
    pumpFor (deliveryMs);

    EXPECT_TRUE (host.values.empty());
    EXPECT_EQ (processor.getTimeSignatureIndex(), 0u);

    // The next window posts and sends its own.
    ScopedEditor e (processor);
    pumpFor (withinOneTickMs);
    EXPECT_EQ (host.values, std::vector<float> { itemValue (6) });
}

// A host change that lands between a tick's selection and its write-back gives
// way to the shown item, and the host is told so: box, processor and host agree.
TEST_F (EditorSync, AChangeCrossingAWriteBackGivesWayToTheShownItem)
{
    auto e = openSettled (6);

    processor.setParameter (0, itemValue (15));
    e->tick();
    ASSERT_EQ (e->box().getText(), "17/8");

    processor.setParameter (0, 1.0f);
    pumpFor (settleMs);

    EXPECT_EQ (e->box().getText(), "17/8");
    EXPECT_EQ (processor.getTimeSignatureIndex(), 15u);
    EXPECT_EQ (host.values, std::vector<float> { itemValue (15) });
}

//==============================================================================
// The id the editor hands its box, when opening and on a tick, for every index
// the state chunk can hold; no item has the ids beyond 30.
TEST (EditorMapping, EveryIndexGivesItsOwnId)
{
    QuernelAudioProcessor opening, ticking;
    ScopedEditor tickingEditor (ticking);

    for (int index = 0; index <= 255; ++index)
    {
        SCOPED_TRACE ("index " + std::to_string (index));

        setIndexFromState (opening, (uint8_t) index);
        EXPECT_EQ (ScopedEditor (opening).requestedId(), index == 0 ? 6 : index);

        setIndexFromState (ticking, (uint8_t) index);
        tickingEditor.tick();
        EXPECT_EQ (tickingEditor.requestedId(), index == 0 ? 1 : index);
    }

    // A negative host value wraps to an index whose id overflows an int.
    ticking.setParameter (0, -0.1f);
    tickingEditor.tick();
    EXPECT_EQ (tickingEditor.requestedId(), std::numeric_limits<int>::min());
}
