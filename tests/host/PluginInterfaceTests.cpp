#include "PluginFixture.h"

#include <limits>

using namespace vst2;

namespace
{
    constexpr float valueForIndex (int index) noexcept   { return (float) index / 30.0f; }
}

//==============================================================================
class EntryName  : public ::testing::TestWithParam<const char*> {};

TEST_P (EntryName, GivesNoEffectToAHostThatAnswersVersionZero)
{
    VstHost host;
    host.setVersionAnswer (0);

    EXPECT_FALSE (host.load (TESSARAVON_PLUGIN_PATH, GetParam()));
    EXPECT_EQ (host.getEffect(), nullptr);

    const auto calls = host.getHostCalls();
    ASSERT_FALSE (calls.empty());
    EXPECT_EQ (calls.front().opcode, audioMasterVersion);
    EXPECT_EQ (calls.front().effect, nullptr);
}

TEST_P (EntryName, EffectRecordDescribesThePlugin)
{
    VstHost host;
    ASSERT_TRUE (host.load (TESSARAVON_PLUGIN_PATH, GetParam())) << host.getLastError();

    // The version question comes first, before there is an effect to name.
    const auto calls = host.getHostCalls();
    ASSERT_FALSE (calls.empty());
    EXPECT_EQ (calls.front().opcode, audioMasterVersion);
    EXPECT_EQ (calls.front().effect, nullptr);

    const auto& effect = *host.getEffect();
    EXPECT_EQ (effect.magic, effectMagic);
    EXPECT_EQ (effect.flags, effFlagsHasEditor | effFlagsCanReplacing | effFlagsProgramChunks | effFlagsIsSynth);
    EXPECT_EQ (effect.numPrograms, 1);
    EXPECT_EQ (effect.numParams, 1);
    EXPECT_EQ (effect.numInputs, 64);
    EXPECT_EQ (effect.numOutputs, 64);
    EXPECT_EQ (effect.initialDelay, 0);
    EXPECT_EQ (effect.uniqueID, fourCharCode ("tsvn"));
    EXPECT_EQ (effect.version, 0x00010009);
    EXPECT_NE (effect.dispatcher, nullptr);
    EXPECT_NE (effect.setParameter, nullptr);
    EXPECT_NE (effect.getParameter, nullptr);
    EXPECT_NE (effect.processReplacing, nullptr);
}

INSTANTIATE_TEST_SUITE_P (ExportedNames, EntryName, ::testing::Values ("VSTPluginMain", "main"),
                          [] (const auto& testInfo) { return std::string (testInfo.param); });

//==============================================================================
using PluginInterface = LoadedPlugin;

TEST_F (PluginInterface, AnswersTextQueries)
{
    struct Case { const char* name; int32_t opcode; intptr_t expectedResult; const char* expectedText; };

    const Case cases[] =
    {
        { "effGetEffectName",            45, 1, "tessaravon" },
        { "effGetProductString",         48, 1, "tessaravon" },
        { "effGetVendorString",          47, 1, "K-VN" },
        { "effGetProgramName",            5, 0, "tessaravon" },
        { "effGetParamName of 0",         8, 0, "Time Signature" },
        { "effGetParamDisplay of 0",      7, 0, "" },
    };

    for (const auto& c : cases)
    {
        const auto answer = host.dispatchForText (c.opcode);
        EXPECT_TRUE (answer.result == c.expectedResult && ! answer.bufferUntouched && answer.text == c.expectedText)
            << c.name << ": answered " << answer.result << " with \"" << answer.text << "\""
            << (answer.bufferUntouched ? " (buffer untouched)" : "");
    }
}

TEST_F (PluginInterface, AnswersNumberQueries)
{
    // The opcodes and answers go as the numbers hosts use.
    struct Case { const char* name; int32_t opcode; intptr_t expected; };

    const Case cases[] =
    {
        { "effGetVendorVersion",         49, 0x00010009 },
        { "effGetPlugCategory",          35, 11 },
        { "effGetVstVersion",            58, 2400 },
        { "effIdentify",                 22, fourCharCode ("NvEf") },
        { "effGetNumMidiInputChannels",  78, 16 },
        { "effGetNumMidiOutputChannels", 79, 0 },
        { "effKeysRequired",             57, 0 },
        { "effGetTailSize",              52, 0 },
    };

    for (const auto& c : cases)
        EXPECT_EQ (host.dispatch (c.opcode), c.expected) << c.name << " (" << c.opcode << ")";
}

TEST_F (PluginInterface, HasNoTailAtAnyRate)
{
    for (const auto rate : { 44100.0f, 96000.0f, 192000.0f })
    {
        host.dispatch (effSetSampleRate, 0, 0, nullptr, rate);
        EXPECT_EQ (host.dispatch (52), 0) << "effGetTailSize at " << rate << " Hz";
    }
}

TEST_F (PluginInterface, AnswersCapabilities)
{
    struct Case { const char* capability; int32_t expected; };

    const Case cases[] =
    {
        { "receiveVstEvents",       1 },
        { "receiveVstMidiEvent",    1 },
        { "receiveVstMidiEvents",   1 },
        { "sendVstEvents",         -1 },
        { "sendVstMidiEvent",      -1 },
        { "sendVstMidiEvents",     -1 },
        { "receiveVstTimeInfo",     1 },
        { "conformsToWindowRules",  1 },
        { "supportsViewDpiScaling", 1 },
        { "bypass",                 1 },
        { "openCloseAnyThread",    -1 },
        { "MPE",                    0 },
        { "hasCockosViewAsConfig",  0 },    // the framework answers this one on macOS only
        { "hasCockosExtensions",    (int32_t) 0xbeef0000 },
        { "noSuchCapability",       0 },
    };

    // The answer is a 32-bit value widened to the pointer size.
    for (const auto& c : cases)
        EXPECT_EQ ((int32_t) host.canDo (c.capability), c.expected) << "canDo \"" << c.capability << "\"";
}

//==============================================================================
TEST_F (PluginInterface, HasOneFixedProgram)
{
    EXPECT_EQ (host.dispatch (effGetProgram), 0);

    host.dispatch (effSetProgram, 0, 5);
    EXPECT_EQ (host.dispatch (effGetProgram), 0) << "after effSetProgram 5";

    char newName[] = "renamed";
    host.dispatch (effSetProgramName, 0, 0, newName);
    EXPECT_EQ (host.dispatchForText (effGetProgramName).text, "tessaravon") << "after effSetProgramName";

    struct Case { int32_t index; intptr_t expectedResult; bool expectedUntouched; const char* expectedText; };

    const Case cases[] = { { 0, 1, false, "tessaravon" }, { 1, 0, true, "" }, { -1, 0, true, "" } };

    for (const auto& c : cases)
    {
        const auto answer = host.dispatchForText (effGetProgramNameIndexed, c.index);
        EXPECT_TRUE (answer.result == c.expectedResult && answer.bufferUntouched == c.expectedUntouched
                       && answer.text == c.expectedText)
            << "effGetProgramNameIndexed " << c.index << ": answered " << answer.result << " with \"" << answer.text
            << "\"" << (answer.bufferUntouched ? " (buffer untouched)" : "");
    }
}

//==============================================================================
using Parameter = LoadedPlugin;

TEST_F (Parameter, StartsAtSixAndRoundTripsHostValues)
{
    EXPECT_EQ (host.getParameter (0), 0.2f);
    EXPECT_EQ (host.getChunk(), std::vector<uint8_t> { 6 });

    struct Case { float written; float expectedValue; uint8_t expectedIndex; };

    const Case cases[] =
    {
        { 0.5f,              0.5f,              15 },
        { valueForIndex (1), valueForIndex (1),  1 },
        { 1.0f,              1.0f,              30 },
        { 0.0f,              0.0f,               0 },
        { 0.51f,             0.5f,              15 },   // between two steps: the nearer one
        { 2.0f,              2.0f,              60 },   // above the range
        { std::numeric_limits<float>::quiet_NaN(), 0.0f, 0 },
        { std::numeric_limits<float>::infinity(),  0.0f, 0 },
    };

    for (const auto& c : cases)
    {
        host.setParameter (0, 0.25f);
        host.setParameter (0, c.written);

        const auto value = host.getParameter (0);
        const auto chunk = host.getChunk();
        EXPECT_TRUE (value == c.expectedValue && chunk == std::vector<uint8_t> { c.expectedIndex })
            << "writing " << c.written << " gave " << value << " and a chunk of " << chunk.size()
            << " bytes starting " << (chunk.empty() ? -1 : (int) chunk[0]);
    }

    // Host writes are the host's own: none comes back as automation.
    EXPECT_TRUE (host.getHostCalls (audioMasterAutomate).empty());
}

TEST_F (Parameter, HostWriteOfTheReportedValueIsDropped)
{
    // -0.04 stores the index 2^32 - 1. Its reported value, written back, would
    // store 0 (the float product rounds to 2^32), so only a dropped write keeps it.
    host.setParameter (0, -0.04f);
    ASSERT_EQ (host.getChunk(), std::vector<uint8_t> { 255 });

    host.setParameter (0, host.getParameter (0));

    EXPECT_EQ (host.getChunk(), std::vector<uint8_t> { 255 });
    EXPECT_TRUE (host.getHostCalls (audioMasterAutomate).empty());
}

//==============================================================================
using Chunk = LoadedPlugin;

TEST_F (Chunk, RestoresTheIndexFromItsFirstByte)
{
    EXPECT_EQ (host.getChunk (true), std::vector<uint8_t> { 6 }) << "program chunk";

    struct Case { const char* name; std::vector<uint8_t> bytes; intptr_t size; bool nullPointer; bool onlyProgram; int expectedIndex; };

    // Every case starts from index 15, so that "unchanged" can't pass for a reset to the default.
    const Case cases[] =
    {
        { "one byte 20",     { 20 },     1, false, false, 20 },
        { "bytes 31, 85",    { 31, 85 }, 2, false, false, 31 },
        { "byte 255",        { 255 },    1, false, false, 255 },
        { "program chunk 9", { 9 },      1, false, true,   9 },
        { "size 0",          { 20 },     0, false, false, 15 },
        { "null pointer",    {},         1, true,  false, 15 },
    };

    for (const auto& c : cases)
    {
        host.setParameter (0, 0.5f);

        host.setChunk (c.nullPointer ? nullptr : c.bytes.data(), c.size, c.onlyProgram);

        const auto value = host.getParameter (0);
        const auto chunk = host.getChunk();
        EXPECT_TRUE (value == valueForIndex (c.expectedIndex) && chunk == std::vector<uint8_t> { (uint8_t) c.expectedIndex })
            << c.name << ": the parameter reads " << value << ", the chunk has " << chunk.size() << " bytes starting "
            << (chunk.empty() ? -1 : (int) chunk[0]);
    }

    EXPECT_TRUE (host.getHostCalls (audioMasterAutomate).empty());
}
