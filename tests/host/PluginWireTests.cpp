#include "PluginFixture.h"
#include "VstWire.h"
#include "../processor/ClockSignal.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>

// Every number and offset here comes from VstWire.h, never from the header the
// plug-in is built with.

namespace
{
    constexpr int blockLength = 512;

    /** Fills the host's time record for a transport that plays from the bar line
        at 120 bpm and 44100 Hz and has reached the given sample.
    */
    void writePlayingTime (void* record, int64_t sample, int32_t extraFlags)
    {
        namespace time = wire::time;

        wire::write (record, time::samplePos, (double) sample);
        wire::write (record, time::sampleRate, 44100.0);
        wire::write (record, time::ppqPos, (double) sample * 120.0 / (60.0 * 44100.0));
        wire::write (record, time::tempo, 120.0);
        wire::write (record, time::barStartPos, 0.0);
        wire::write (record, time::timeSigNumerator, (int32_t) 4);
        wire::write (record, time::timeSigDenominator, (int32_t) 4);
        wire::write (record, time::flags, time::playing | time::tempoValid | time::ppqPosValid | time::barsValid | extraFlags);
    }

    /** Answers the time question with the given record. */
    void serveTime (VstHost& host, void* record)
    {
        host.setCallbackHandler ([record] (const VstHost::HostCall& call, void*) -> std::optional<intptr_t>
        {
            if (call.opcode == wire::host::getTime)
                return reinterpret_cast<intptr_t> (record);

            return std::nullopt;
        });
    }

    /** One block per real frame-rate code, the record rewritten before each; gives output 1 end to end. */
    std::vector<float> playOneBlockPerFrameRate (VstHost& host, void* record, int32_t extraFlags)
    {
        std::vector<float> signal;
        int64_t sample = 0;

        for (const auto frameRate : wire::time::frameRates)
        {
            writePlayingTime (record, sample, extraFlags);
            wire::write (record, wire::time::smpteFrameRate, frameRate);
            wire::write (record, wire::time::smpteOffset, (int32_t) 80 * 25);

            host.process (blockLength);
            signal.insert (signal.end(), host.getOutput (0).begin(), host.getOutput (0).end());
            sample += blockLength;
        }

        return signal;
    }

    bool switchOn (VstHost& host)
    {
        if (! host.load (TESSARAVON_PLUGIN_PATH))
            return false;

        host.dispatch (wire::effect::setSampleRate, 0, 0, nullptr, 44100.0f);
        host.dispatch (wire::effect::setBlockSize, 0, blockLength);
        host.dispatch (wire::effect::mainsChanged, 0, 1);
        return true;
    }

    /** Runs in a process of its own: plays against a time record that ends where
        readable memory ends, and compares with a run against an ordinary record
        without SMPTE. Exits 0 if all went as it should, else 1 with the reasons.
    */
    [[noreturn]] void playAgainstRecordAtPageEnd()
    {
        const auto pageSize = (size_t) sysconf (_SC_PAGESIZE);
        auto* pages = static_cast<unsigned char*> (mmap (nullptr, 2 * pageSize, PROT_READ | PROT_WRITE,
                                                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));

        if (pages == MAP_FAILED || mprotect (pages + pageSize, pageSize, PROT_NONE) != 0)
        {
            std::cerr << "no guarded page";
            std::_Exit (1);
        }

        auto* recordAtPageEnd = pages + pageSize - wire::time::size;

        VstHost host, reference;

        if (! switchOn (host) || ! switchOn (reference))
        {
            std::cerr << "not loaded: " << host.getLastError() << reference.getLastError();
            std::_Exit (1);
        }

        serveTime (host, recordAtPageEnd);
        const auto signal = playOneBlockPerFrameRate (host, recordAtPageEnd, wire::time::smpteValid);

        alignas (8) std::array<unsigned char, wire::time::size> ordinaryRecord {};
        serveTime (reference, ordinaryRecord.data());
        const auto expected = playOneBlockPerFrameRate (reference, ordinaryRecord.data(), 0);

        bool ok = true;
        const auto numBlocks = std::size (wire::time::frameRates);

        if (const auto asked = host.getHostCalls (wire::host::getTime).size(); asked != numBlocks)
        {
            std::cerr << "time asked " << asked << " times in " << numBlocks << " blocks\n";
            ok = false;
        }

        // Seven ticks of 918.75 samples fit in the twelve blocks.
        if (const auto pulses = output::pulseStarts (expected).size(); pulses != 7)
        {
            std::cerr << "the ordinary run has " << pulses << " pulses\n";
            ok = false;
        }

        if (signal != expected)
        {
            std::cerr << "the clock differs from the run without SMPTE\n";
            ok = false;
        }

        std::_Exit (ok ? 0 : 1);
    }
}

//==============================================================================
TEST (TimeRecord, EndingAtUnreadableMemoryIsReadWithinItsBytes)
{
    // A fault reading past the record ends the child process, not the test program.
    GTEST_FLAG_SET (death_test_style, "threadsafe");
    EXPECT_EXIT (playAgainstRecordAtPageEnd(), ::testing::ExitedWithCode (0), "");
}

//==============================================================================
TEST (Bypass, PassesTheInputsAndKeepsTheRunningClock)
{
    // Bypass and its end fall between pulses: at samples 1024 and 3072, ticks being 918.75 samples.
    constexpr int blocksBefore = 2, blocksBypassed = 4, blocksAfter = 4;

    VstHost host, reference;
    ASSERT_TRUE (switchOn (host) && switchOn (reference));

    EXPECT_EQ (host.canDo ("bypass"), 1);

    for (int channel = 0; channel < host.getEffect()->numInputs; ++channel)
    {
        auto& input = host.getInput (channel);
        input.resize (blockLength);

        for (size_t i = 0; i < input.size(); ++i)
            input[i] = 0.001f * (float) (channel + 1) + 0.0001f * (float) i;
    }

    alignas (8) std::array<unsigned char, wire::time::size> record {}, referenceRecord {};
    serveTime (host, record.data());
    serveTime (reference, referenceRecord.data());

    std::vector<float> afterBypass;

    for (int block = 0; block < blocksBefore + blocksBypassed + blocksAfter; ++block)
    {
        const auto sample = (int64_t) block * blockLength;
        writePlayingTime (record.data(), sample, 0);
        writePlayingTime (referenceRecord.data(), sample, 0);

        if (block == blocksBefore)
        {
            EXPECT_EQ (host.dispatch (wire::effect::setBypass, 0, 1), 1) << "bypass on";
        }

        if (block == blocksBefore + blocksBypassed)
        {
            EXPECT_EQ (host.dispatch (wire::effect::setBypass, 0, 0), 1) << "bypass off";
        }

        host.process (blockLength);
        reference.process (blockLength);

        const bool bypassed = block >= blocksBefore && block < blocksBefore + blocksBypassed;

        // The processor's stereo layout: the outputs it is handed are the first two.
        for (int channel = 0; channel < 2; ++channel)
        {
            const auto& expected = bypassed ? host.getInput (channel) : reference.getOutput (channel);
            EXPECT_EQ (host.getOutput (channel), expected)
                << "output " << channel + 1 << " in block " << block << (bypassed ? " (bypassed)" : "");
        }

        if (block >= blocksBefore + blocksBypassed)
            afterBypass.insert (afterBypass.end(), host.getOutput (0).begin(), host.getOutput (0).end());
    }

    // Ticks 4 and 5 of the bar, at samples 3676 and 4594: no wait for the next bar line or sixteenth.
    EXPECT_EQ (output::pulseStarts (afterBypass), (std::vector<int> { 3676 - 3072, 4594 - 3072 }));
}

//==============================================================================
namespace
{
    /** A host's arrangement record with room for eight speakers or more. */
    namespace arr = wire::speakers;

    std::vector<unsigned char> makeArrangement (int32_t type, const std::vector<int32_t>& speakerTypes)
    {
        std::vector<unsigned char> record (std::max (arr::sizeWithEight, arr::first + speakerTypes.size() * arr::speakerSize), 0);
        wire::write (record.data(), arr::type, type);
        wire::write (record.data(), arr::numChannels, (int32_t) speakerTypes.size());

        for (size_t i = 0; i < speakerTypes.size(); ++i)
            wire::write (record.data(), arr::first + i * arr::speakerSize + arr::speakerType, speakerTypes[i]);

        return record;
    }

    struct Arrangement
    {
        int32_t type = 0;
        std::vector<int32_t> speakerTypes;

        bool operator== (const Arrangement& other) const  { return type == other.type && speakerTypes == other.speakerTypes; }
    };

    std::ostream& operator<< (std::ostream& stream, const Arrangement& arrangement)
    {
        return stream << "type " << arrangement.type << " speakers " << ::testing::PrintToString (arrangement.speakerTypes);
    }

    Arrangement readArrangement (const void* record)
    {
        Arrangement arrangement { wire::read<int32_t> (record, arr::type), {} };
        const auto count = wire::read<int32_t> (record, arr::numChannels);

        for (int32_t i = 0; i < count; ++i)
            arrangement.speakerTypes.push_back (wire::read<int32_t> (record, arr::first + (size_t) i * arr::speakerSize + arr::speakerType));

        return arrangement;
    }

    struct Pin
    {
        intptr_t answer = 0;
        std::string label, shortLabel;
        int32_t flags = 0, arrangementType = 0;
        bool tailUntouched = true;

        bool operator== (const Pin& other) const
        {
            return answer == other.answer && label == other.label && shortLabel == other.shortLabel
                && flags == other.flags && arrangementType == other.arrangementType && tailUntouched == other.tailUntouched;
        }
    };

    std::ostream& operator<< (std::ostream& stream, const Pin& pin)
    {
        return stream << "answer " << pin.answer << " label \"" << pin.label << "\" short \"" << pin.shortLabel
                      << "\" flags " << pin.flags << " arrangement " << pin.arrangementType
                      << (pin.tailUntouched ? "" : ", written past the record");
    }

    /** Asks a pin's properties into a record followed by a marked tail. */
    Pin readPin (VstHost& host, bool isInput, int32_t index)
    {
        namespace pinRecord = wire::pin;

        constexpr unsigned char marker = 0x7f;
        std::vector<unsigned char> record (2 * pinRecord::size, marker);

        Pin pin;
        pin.answer = host.dispatch (isInput ? wire::effect::getInputProperties : wire::effect::getOutputProperties,
                                    index, 0, record.data());

        const auto text = [&] (size_t offset, size_t length)
        {
            const auto* start = reinterpret_cast<const char*> (record.data() + offset);
            return std::string (start, strnlen (start, length + 1));
        };

        pin.label = text (pinRecord::label, pinRecord::labelLength);
        pin.shortLabel = text (pinRecord::shortLabel, pinRecord::shortLabelLength);
        pin.flags = wire::read<int32_t> (record.data(), pinRecord::flags);
        pin.arrangementType = wire::read<int32_t> (record.data(), pinRecord::arrangementType);
        pin.tailUntouched = std::all_of (record.begin() + (ptrdiff_t) pinRecord::size, record.end(),
                                         [] (unsigned char byte) { return byte == marker; });
        return pin;
    }
}

//==============================================================================
using SpeakerArrangement = LoadedPlugin;

TEST_F (SpeakerArrangement, SetAndReadBackInTheRealNumbering)
{
    using namespace wire::speakers;
    using wire::pin::isActive, wire::pin::isStereo, wire::pin::useSpeaker;

    constexpr int32_t leftFlags = isActive | useSpeaker | isStereo, otherFlags = isActive | useSpeaker;

    const Arrangement stereo { arrStereo, { L, R } }, mono { arrMono, { C } },
                      surround { arr51, { L, R, C, Lfe, Ls, Rs } }, surroundOfTwo { arr51, { L, R } };

    const std::vector<Pin> stereoInputPins { { 1, "Input L", "Input L", leftFlags,  arrStereo, true },
                                             { 1, "Input R", "Input R", otherFlags, arrStereo, true } };
    const std::vector<Pin> stereoOutputPins { { 1, "Output L", "Output L", leftFlags,  arrStereo, true },
                                              { 1, "Output R", "Output R", otherFlags, arrStereo, true } };
    const std::vector<Pin> monoInputPins { { 1, "Input", "Input", otherFlags, arrMono, true } };
    const std::vector<Pin> surroundOutputPins { { 1, "Output L",   "Output L", leftFlags,  arr51, true },
                                                { 1, "Output R",   "Output R", otherFlags, arr51, true },
                                                { 1, "Output C",   "Output C", otherFlags, arr51, true },
                                                { 1, "Output Lfe", "Output L", otherFlags, arr51, true },
                                                { 1, "Output Ls",  "Output L", leftFlags,  arr51, true },
                                                { 1, "Output Rs",  "Output R", otherFlags, arr51, true } };

    struct Case
    {
        const char* name;
        const Arrangement* setIn;   // null: nothing set, the default
        const Arrangement* setOut;
        intptr_t expectedAnswer;
        const Arrangement* expectedIn;
        const Arrangement* expectedOut;
        const std::vector<Pin>* expectedInputPins;
        const std::vector<Pin>* expectedOutputPins;
    };

    const Case cases[] =
    {
        { "default stereo",      nullptr, nullptr,   1, &stereo, &stereo,   &stereoInputPins, &stereoOutputPins },
        { "mono in, stereo out", &mono,   &stereo,   1, &mono,   &stereo,   &monoInputPins,   &stereoOutputPins },
        { "5.1 out",             &stereo, &surround, 1, &stereo, &surround, &stereoInputPins, &surroundOutputPins },
        // Refused: the 5.1 outputs set before stay.
        { "5.1 type with two channels", &stereo, &surroundOfTwo, 0, &stereo, &surround, &stereoInputPins, &surroundOutputPins },
    };

    for (const auto& c : cases)
    {
        if (c.setIn != nullptr)
        {
            auto inputs = makeArrangement (c.setIn->type, c.setIn->speakerTypes);
            auto outputs = makeArrangement (c.setOut->type, c.setOut->speakerTypes);
            EXPECT_EQ (host.dispatch (wire::effect::setSpeakerArrangement, 0, reinterpret_cast<intptr_t> (inputs.data()),
                                      outputs.data()),
                       c.expectedAnswer) << c.name;
        }

        void* inputs = nullptr;
        void* outputs = nullptr;
        const auto answer = host.dispatch (wire::effect::getSpeakerArrangement, 0, reinterpret_cast<intptr_t> (&inputs), &outputs);

        if (answer != 1 || inputs == nullptr || outputs == nullptr)
        {
            ADD_FAILURE() << c.name << ": reading the arrangements answered " << answer;
            continue;
        }

        EXPECT_EQ (readArrangement (inputs), *c.expectedIn) << c.name << ", inputs";
        EXPECT_EQ (readArrangement (outputs), *c.expectedOut) << c.name << ", outputs";

        for (const auto isInput : { true, false })
        {
            const auto& expectedPins = isInput ? *c.expectedInputPins : *c.expectedOutputPins;

            for (size_t i = 0; i < expectedPins.size(); ++i)
                EXPECT_EQ (readPin (host, isInput, (int32_t) i), expectedPins[i])
                    << c.name << ", " << (isInput ? "input" : "output") << " pin " << i;

            // A pin beyond the layout: refused, with the defaults written.
            EXPECT_EQ (readPin (host, isInput, (int32_t) expectedPins.size()), (Pin { 0, "", "", 0, arrEmpty, true }))
                << c.name << ", " << (isInput ? "input" : "output") << " pin past the layout";
        }
    }
}
