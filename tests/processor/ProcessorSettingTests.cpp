#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
    juce::MemoryBlock chunkOf (QuernelAudioProcessor& p)
    {
        juce::MemoryBlock block ("previous contents", 17);
        p.getStateInformation (block);
        return block;
    }
}

//==============================================================================
TEST (ProcessorSetting, FreshProcessor)
{
    QuernelAudioProcessor p;

    EXPECT_EQ (p.getNumParameters(), 1);
    EXPECT_EQ (p.getParameterName (0), "Time Signature");
    EXPECT_EQ (p.getParameter (0), 6.0f / 30.0f);
    EXPECT_EQ (p.getParameter (5), p.getParameter (0));
    EXPECT_TRUE (p.getParameterText (0).isEmpty());
    EXPECT_EQ (p.getTimeSignatureIndex(), 6u);
    EXPECT_FALSE (p.takeTimeSignatureChange());

    const auto chunk = chunkOf (p);
    ASSERT_EQ (chunk.getSize(), 1u);
    EXPECT_EQ ((uint8_t) chunk[0], 6);
}

TEST (ProcessorSetting, OnlyParameterZeroExists)
{
    QuernelAudioProcessor p;

    for (int other : { 1, -1, 1000 })
    {
        EXPECT_TRUE (p.getParameterName (other).isEmpty()) << other;
        p.setParameter (other, 0.9f);
        EXPECT_EQ (p.getTimeSignatureIndex(), 6u) << other;
        EXPECT_FALSE (p.takeTimeSignatureChange()) << other;
    }
}

struct ValueCase
{
    float value;
    uint32_t index;
};

TEST (ProcessorSetting, HostValueMapsToTheNearestIndex)
{
    const auto inf = std::numeric_limits<float>::infinity();

    const ValueCase cases[] =
    {
        { 0.2f, 6 },   { 0.0f, 0 },     { 0.0166f, 0 },  { 0.0167f, 1 },
        { 0.05f, 2 },  { 0.25f, 8 },    { 1.0f, 30 },    { 1.02f, 31 },
        { 2.0f, 60 },  { 10.0f, 300 },  { -0.01f, 0 },   { -0.04f, 0xffffffffu },
        { -1.0f, 0xffffffe2u },
        { std::numeric_limits<float>::quiet_NaN(), 0 }, { inf, 0 }, { -inf, 0 },
        { 1e30f, 0 },  { -1e30f, 0 },
        { 1073741824.0f, 0x80000000u },   // 15 * 2^31: only the low 32 bits stay
    };

    for (const auto& c : cases)
    {
        QuernelAudioProcessor p;
        p.setParameter (0, c.value);
        EXPECT_EQ (p.getTimeSignatureIndex(), c.index) << "value " << c.value;
        EXPECT_TRUE (p.takeTimeSignatureChange()) << "value " << c.value;
    }
}

TEST (ProcessorSetting, ReportedValueIsIndexOverThirty)
{
    QuernelAudioProcessor p;

    for (auto [value, expected] : { std::pair { 0.0f, 0.0f }, { 1.0f, 1.0f }, { 2.0f, 2.0f }, { 0.5f, 0.5f } })
    {
        p.setParameter (0, value);
        EXPECT_EQ (p.getParameter (0), expected) << value;
    }
}

TEST (ProcessorSetting, SettingTheSameValueStillRaisesTheFlag)
{
    QuernelAudioProcessor p;
    p.setParameter (0, 0.2f);
    EXPECT_EQ (p.getTimeSignatureIndex(), 6u);
    EXPECT_TRUE (p.takeTimeSignatureChange());
    EXPECT_FALSE (p.takeTimeSignatureChange());
}

TEST (ProcessorSetting, EveryChunkableIndexSurvivesBothRoundTrips)
{
    for (uint32_t k = 0; k < 256; ++k)
    {
        QuernelAudioProcessor p;
        const auto byte = (uint8_t) k;
        p.setStateInformation (&byte, 1);
        ASSERT_EQ (p.getTimeSignatureIndex(), k);

        p.setParameter (0, p.getParameter (0));
        ASSERT_EQ (p.getTimeSignatureIndex(), k) << "parameter round trip";

        const auto chunk = chunkOf (p);
        ASSERT_EQ (chunk.getSize(), 1u);
        ASSERT_EQ ((uint8_t) chunk[0], byte) << "chunk round trip";
    }
}

//==============================================================================
TEST (ProcessorState, ChunkKeepsTheLowEightBits)
{
    QuernelAudioProcessor p;
    p.setParameter (0, 10.0f);
    const auto chunk = chunkOf (p);
    ASSERT_EQ (chunk.getSize(), 1u);
    EXPECT_EQ ((uint8_t) chunk[0], 44);

    QuernelAudioProcessor restored;
    restored.setStateInformation (chunk.getData(), (int) chunk.getSize());
    EXPECT_EQ (restored.getTimeSignatureIndex(), 44u);
}

TEST (ProcessorState, ChunkIsReadByItsFirstByte)
{
    struct Case { std::vector<uint8_t> bytes; uint32_t index; };

    const Case cases[] = { { { 31, 85 }, 31 }, { { 255 }, 255 }, { { 0 }, 0 },
                           { std::vector<uint8_t> (100000, 17), 17 } };

    for (const auto& c : cases)
    {
        QuernelAudioProcessor p;
        p.setStateInformation (c.bytes.data(), (int) c.bytes.size());
        EXPECT_EQ (p.getTimeSignatureIndex(), c.index) << "chunk of " << c.bytes.size();
        EXPECT_TRUE (p.takeTimeSignatureChange());
    }
}

TEST (ProcessorState, EmptyOrMissingChunkChangesNothing)
{
    const uint8_t byte = 20;

    struct Case { const void* data; int size; };

    for (const auto& c : { Case { &byte, 0 }, Case { &byte, -1 }, Case { nullptr, 1 },
                           Case { &byte, std::numeric_limits<int>::min() } })
    {
        QuernelAudioProcessor p;
        p.setStateInformation (c.data, c.size);
        EXPECT_EQ (p.getTimeSignatureIndex(), 6u) << "size " << c.size;
        EXPECT_FALSE (p.takeTimeSignatureChange()) << "size " << c.size;
    }
}

//==============================================================================
TEST (ProcessorAnswers, OneFixedProgram)
{
    QuernelAudioProcessor p;
    EXPECT_EQ (p.getNumPrograms(), 1);

    p.setCurrentProgram (3);
    p.changeProgramName (0, "renamed");
    EXPECT_EQ (p.getCurrentProgram(), 0);

    for (int index : { 0, 1, -1, 1000 })
        EXPECT_EQ (p.getProgramName (index), "tessaravon") << index;

    EXPECT_EQ ((uint8_t) chunkOf (p)[0], 6);
}

TEST (ProcessorAnswers, ChannelsAreNamedByNumberFromOne)
{
    QuernelAudioProcessor p;

    const std::pair<int, const char*> cases[] =
    {
        { 0, "1" }, { 1, "2" }, { 9, "10" }, { 63, "64" }, { -1, "0" }, { -2, "-1" },
        { std::numeric_limits<int>::max(), "2147483648" },
        { std::numeric_limits<int>::min(), "-2147483647" },
    };

    for (const auto& [index, name] : cases)
    {
        EXPECT_EQ (p.getInputChannelName (index), name) << index;
        EXPECT_EQ (p.getOutputChannelName (index), name) << index;
        EXPECT_TRUE (p.isInputChannelStereoPair (index)) << index;
        EXPECT_TRUE (p.isOutputChannelStereoPair (index)) << index;
    }
}

TEST (ProcessorAnswers, ClockGeneratorCapabilities)
{
    QuernelAudioProcessor p;
    EXPECT_EQ (p.getName(), "tessaravon");
    EXPECT_EQ (p.getTailLengthSeconds(), 0.0);
    EXPECT_TRUE (p.acceptsMidi());
    EXPECT_FALSE (p.producesMidi());
    EXPECT_TRUE (p.hasEditor());
    EXPECT_FALSE (p.silenceInProducesSilenceOut());
    EXPECT_FALSE (p.supportsDoublePrecisionProcessing());
    EXPECT_EQ (p.getBypassParameter(), nullptr);

    // Two stereo buses, off until a host switches them on.
    ASSERT_EQ (p.getBusCount (true), 1);
    ASSERT_EQ (p.getBusCount (false), 1);
    EXPECT_EQ (p.getTotalNumOutputChannels(), 0);
    EXPECT_EQ (p.getBus (false, 0)->getLastEnabledLayout(), juce::AudioChannelSet::stereo());
}
