// Drives the built plug-in through its binary interface only, as a host does:
// arbitrary sequences of dispatcher opcodes, parameter calls, process calls and
// time records. Every pointer argument is a valid buffer of the size its opcode
// expects, and process calls get as many channels as the effect currently
// reports, so whatever goes wrong is the plug-in's. Opening the editor needs a
// window and a display, so of the editor opcodes only the headless ones (size,
// close, idle) are sent; DISPLAY names a display that doesn't exist.

#include "FuzzInput.h"
#include "VstHost.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace
{
    /** One instance that stays open for the whole run, as in a host with the
        plug-in on a track: the library and the framework stay up (the fuzzer's
        coverage counters live in the library), and only each input's own
        instance comes and goes. */
    VstHost* openKeeper()
    {
        setenv ("DISPLAY", ":99999", 1);

        auto* keeper = new VstHost();
        return keeper->load (TESSARAVON_PLUGIN_PATH) ? keeper : nullptr;
    }

    [[noreturn]] void fail (const char* what, int channel, int sample, float value)
    {
        std::fprintf (stderr, "%s: channel %d, sample %d: %g\n", what, channel, sample, (double) value);
        std::abort();
    }

    constexpr int32_t fourChar (const char (&code)[5]) noexcept   { return vst2::fourCharCode (code); }

    // Opcodes outside the 2.4 list of the host harness.
    constexpr int32_t effGetCurrentMidiProgram = 63, effStartProcess = 71, effStopProcess = 72,
                      effSetTotalSampleToProcess = 73;

    // The longest text the framework writes for each text opcode (its limit plus
    // the terminator): what a host's buffer must hold at least.
    constexpr size_t programNameSize = 25, parameterTextSize = 25, parameterNameSize = 33, productTextSize = 65;

    /** Opcodes the plug-in reads a pointer from; a random opcode number never
        gets one of these with a null pointer. */
    bool takesPointer (int32_t opcode) noexcept
    {
        using namespace vst2;
        constexpr int32_t withPointer[] =
        {
            effClose, effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay,
            effGetParamName, effEditGetRect, effEditOpen, effEditClose, effEditIdle, effGetChunk, effSetChunk,
            effProcessEvents, effString2Parameter, effGetProgramNameIndexed, effGetInputProperties,
            effGetOutputProperties, effSetSpeakerArrangement, effGetEffectName, effGetVendorString,
            effGetProductString, effVendorSpecific, effCanDo, effGetSpeakerArrangement
        };

        return std::find (std::begin (withPointer), std::end (withPointer), opcode) != std::end (withPointer);
    }

    std::string fuzzedText (FuzzInput& in, size_t maxLength)
    {
        std::string text;
        const auto length = (size_t) in.range (0, (int64_t) maxLength);

        for (size_t i = 0; i < length; ++i)
            text += (char) std::max<uint8_t> (1, in.byte());

        return text;
    }

    class FuzzingHost
    {
    public:
        bool load()     { return host.load (TESSARAVON_PLUGIN_PATH); }

        void run (FuzzInput& in)
        {
            for (int step = 0; step < 48 && ! in.isExhausted(); ++step)
            {
                switch (in.byte() % 8)
                {
                    case 4:
                    {
                        const auto index = (int32_t) in.range (-2, 3);
                        host.setParameter (index, in.hostileFloat());
                        break;
                    }

                    case 5:  host.getParameter ((int32_t) in.range (-2, 3)); break;
                    case 6:  process (in); break;
                    case 7:  fuzzTime (in); break;
                    default: dispatch (in); break;
                }
            }
        }

    private:
        //==============================================================================
        intptr_t send (int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
        {
            return host.dispatch (opcode, index, value, ptr, opt);
        }

        template <typename Record>
        static intptr_t address (Record* record) noexcept   { return reinterpret_cast<intptr_t> (record); }

        void sendForText (FuzzInput& in, int32_t opcode, size_t size)
        {
            std::vector<char> text (size, '\x7f');
            send (opcode, (int32_t) in.range (-2, 3), 0, text.data());
        }

        void dispatch (FuzzInput& in)
        {
            using namespace vst2;

            switch (in.byte() % 30)
            {
                case 0:  sendForText (in, effGetProgramName, programNameSize); break;
                case 1:  sendForText (in, effGetParamLabel, parameterTextSize); break;
                case 2:  sendForText (in, effGetParamDisplay, parameterTextSize); break;
                case 3:  sendForText (in, effGetParamName, parameterNameSize); break;
                case 4:  sendForText (in, effGetProgramNameIndexed, programNameSize); break;
                case 5:
                {
                    const auto opcode = in.pick ({ effGetEffectName, effGetVendorString, effGetProductString });
                    sendForText (in, opcode, productTextSize);
                    break;
                }

                case 6:
                {
                    auto name = fuzzedText (in, programNameSize - 1);
                    send (effSetProgramName, 0, 0, name.data());
                    break;
                }

                case 7:
                {
                    auto text = fuzzedText (in, 32);
                    send (effString2Parameter, (int32_t) in.range (-2, 3), 0, text.data());
                    break;
                }

                case 8:
                {
                    static const char* const known[] = { "receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
                                                         "receiveVstTimeInfo", "bypass", "hasCockosExtensions",
                                                         "hasCockosViewAsConfig", "supportsViewDpiScaling", "" };
                    std::string capability = in.flag() ? in.pick (known) : fuzzedText (in, 40);
                    send (effCanDo, 0, 0, capability.data());
                    break;
                }

                case 9:
                {
                    // Any finite rate, 0 and negative ones included: the framework multiplies
                    // the tail by it and converts the product to an integer unchecked.
                    auto rate = in.hostileFloat();

                    if (! std::isfinite (rate))
                        rate = 0.0f;

                    send (effSetSampleRate, 0, 0, nullptr, rate);
                    break;
                }


                case 10:
                    blockSize = (int) in.range (-16, 2048);
                    send (effSetBlockSize, 0, blockSize);
                    break;

                case 11:
                    // Hosts process only while the plug-in is on (or before it was ever switched).
                    switchedOff = ! in.flag();
                    send (effMainsChanged, 0, switchedOff ? 0 : 1);
                    break;

                case 12:
                {
                    // Each of these hands the message thread over and back, which is
                    // slow, so they share one choice.
                    const auto opcode = in.pick ({ effEditGetRect, effEditIdle, effEditClose });
                    vst2::ERect* rect = nullptr;

                    if (send (opcode, 0, 0, &rect) != 0 && opcode == effEditGetRect && rect == nullptr)
                        fail ("effEditGetRect answered without a rectangle", 0, 0, 0.0f);

                    break;
                }

                case 15:
                {
                    void* data = nullptr;
                    const auto size = send (effGetChunk, in.flag() ? 1 : 0, 0, &data);

                    // Every byte the plug-in hands out must be readable.
                    if (size > 0)
                        lastChunk.assign (static_cast<const uint8_t*> (data), static_cast<const uint8_t*> (data) + size);

                    break;
                }

                case 16:
                {
                    auto chunk = in.flag() ? lastChunk : in.bytes ((size_t) in.range (0, 8));
                    const auto claimed = in.flag() ? (intptr_t) chunk.size() : (intptr_t) in.range (-2, (int64_t) chunk.size());
                    const auto index = in.flag() ? 1 : 0;
                    chunk.resize (std::max<size_t> (1, chunk.size()));
                    send (effSetChunk, index, claimed, chunk.data());
                    break;
                }

                case 17: sendEvents (in); break;

                case 18:
                case 19:
                {
                    // The whole record, reserved tail included: the framework's short
                    // label runs one byte into that tail.
                    vst2::VstPinProperties properties {};

                    const auto opcode = in.flag() ? effGetInputProperties : effGetOutputProperties;
                    send (opcode, (int32_t) in.range (-2, 70), 0, &properties);
                    break;
                }

                case 20: setSpeakers (in); break;

                case 21:
                {
                    vst2::VstSpeakerArrangement* inputs = nullptr;
                    vst2::VstSpeakerArrangement* outputs = nullptr;

                    if (send (effGetSpeakerArrangement, 0, address (&inputs), &outputs) != 0)
                        for (auto* arrangement : { inputs, outputs })
                            readSpeakers (arrangement);

                    break;
                }

                case 22:
                {
                    static constexpr int32_t indices[] = { fourChar ("PreS"), effGetParamDisplay, fourChar ("stCA"), fourChar ("stCa") };
                    static constexpr intptr_t values[] = { fourChar ("AeCs"), fourChar ("FUID"), 0, 1 };

                    std::vector<char> buffer (1024, 0);
                    const auto index = in.flag() ? in.pick (indices) : in.raw<int32_t>();
                    const auto value = in.flag() ? in.pick (values) : in.raw<intptr_t>();
                    auto opt = in.hostileFloat();

                    // The display's scale, which the framework applies to the editor unchecked.
                    if (index == fourChar ("PreS") && value == fourChar ("AeCs"))
                        opt = 0.5f + (float) in.range (0, 14) * 0.25f;

                    send (effVendorSpecific, index, value, buffer.data(), opt);
                    break;
                }

                case 23: send (effSetProcessPrecision, 0, in.range (0, 2)); break;
                case 24:
                {
                    const auto opcode = in.pick ({ (int32_t) effSetProgram, (int32_t) effSetBypass, effSetTotalSampleToProcess });
                    send (opcode, 0, in.raw<intptr_t>());
                    break;
                }

                case 25: send (effCanBeAutomated, (int32_t) in.range (-2, 3)); break;

                case 26:
                    send (in.pick ({ (int32_t) effGetProgram, (int32_t) effIdentify, (int32_t) effGetPlugCategory,
                                     (int32_t) effGetVendorVersion, (int32_t) effGetTailSize, (int32_t) effKeysRequired,
                                     (int32_t) effGetVstVersion, effGetCurrentMidiProgram,
                                     (int32_t) effGetNumMidiInputChannels, (int32_t) effGetNumMidiOutputChannels,
                                     effStartProcess, effStopProcess, (int32_t) effOpen }));
                    break;

                default:
                {
                    // Any other opcode number, with no pointer: the plug-in must ignore what it doesn't know.
                    const auto opcode = in.raw<int32_t>();
                    const auto index = in.raw<int32_t>();
                    const auto value = in.raw<intptr_t>();
                    const auto opt = in.hostileFloat();

                    if (! takesPointer (opcode))
                        send (opcode, index, value, nullptr, opt);

                    break;
                }
            }
        }

        //==============================================================================
        void sendEvents (FuzzInput& in)
        {
            const auto count = (size_t) in.range (0, 6);

            std::vector<vst2::VstMidiEvent> midi (count);
            std::vector<vst2::VstMidiSysexEvent> sysex (count);
            std::vector<std::vector<char>> dumps (count);

            // The list: its header, then one pointer per event.
            std::vector<unsigned char> list (sizeof (vst2::VstEvents) + std::max<size_t> (1, count) * sizeof (void*));
            auto* header = reinterpret_cast<vst2::VstEvents*> (list.data());
            header->numEvents = (int32_t) count;
            auto** events = header->events;

            for (size_t i = 0; i < count; ++i)
            {
                const auto deltaFrames = (int32_t) in.range (-4, 2048);

                if (in.flag())
                {
                    // A dump holds at least its status byte, which the framework reads first.
                    const auto dump = in.bytes ((size_t) in.range (1, 64));
                    dumps[i].assign (dump.begin(), dump.end());
                    auto& event = sysex[i];
                    event.type = vst2::kVstSysExType;
                    event.byteSize = (int) sizeof (event) - 8;
                    event.deltaFrames = deltaFrames;
                    event.dumpBytes = (int32_t) dumps[i].size();
                    event.sysexDump = dumps[i].data();
                    events[i] = reinterpret_cast<vst2::VstEvent*> (&event);
                }
                else
                {
                    auto& event = midi[i];
                    event.type = vst2::kVstMidiType;
                    event.byteSize = (int) sizeof (event) - 8;
                    event.deltaFrames = deltaFrames;

                    for (int b = 0; b < 3; ++b)
                        event.midiData[b] = in.byte();

                    events[i] = reinterpret_cast<vst2::VstEvent*> (&event);
                }
            }

            send (vst2::effProcessEvents, 0, 0, list.data());
        }

        /** An arrangement record with room for as many speakers as it counts. */
        static std::vector<unsigned char> makeArrangement (FuzzInput& in)
        {
            static constexpr int32_t types[] = { -2, -1, 0, 1, 2, 3, 4, 5, 8, 10, 13, 19, 26, 27, 28 };

            const auto type = in.flag() ? in.pick (types) : in.raw<int32_t>();
            const auto numChannels = (int32_t) in.range (-2, 70);

            std::vector<unsigned char> record (sizeof (vst2::VstSpeakerArrangement)
                                                + (size_t) std::max (8, numChannels) * sizeof (vst2::VstSpeakerProperties));
            auto* header = reinterpret_cast<vst2::VstSpeakerArrangement*> (record.data());
            header->type = type;
            header->numChannels = numChannels;
            return record;
        }

        void setSpeakers (FuzzInput& in)
        {
            auto inputs = makeArrangement (in);
            auto outputs = makeArrangement (in);
            const auto inputsValue = in.flag() ? address (inputs.data()) : 0;
            auto* outputsPointer = in.flag() ? outputs.data() : nullptr;
            send (vst2::effSetSpeakerArrangement, 0, inputsValue, outputsPointer);
        }

        static void readSpeakers (const vst2::VstSpeakerArrangement* arrangement)
        {
            if (arrangement == nullptr)
                fail ("effGetSpeakerArrangement answered without an arrangement", 0, 0, 0.0f);

            // Reading every speaker it counts must stay inside what the plug-in handed out.
            const auto* speakers = arrangement->speakers;
            volatile int32_t sum = 0;

            for (int32_t i = 0; i < arrangement->numChannels; ++i)
                sum = sum + speakers[i].type;
        }

        //==============================================================================
        void process (FuzzInput& in)
        {
            if (switchedOff)
                return;

            auto& effect = *host.getEffect();
            const auto prepared = std::max (1, blockSize);

            int numSamples = 0;

            switch (in.byte() % 5)
            {
                case 0:  numSamples = 0; break;
                case 1:  numSamples = 1; break;
                case 2:  numSamples = prepared; break;
                case 3:  numSamples = prepared + 1; break;
                default: numSamples = (int) in.range (0, 2 * prepared + 8); break;
            }

            // The channel counts can change with the speaker arrangement; a host reads them anew.
            const auto numInputs = std::max (0, effect.numInputs);
            const auto numOutputs = std::max (0, effect.numOutputs);
            const auto length = (size_t) std::max (1, numSamples);

            std::vector<std::unique_ptr<float[]>> channels;
            std::vector<float*> inputs, outputs;

            for (int i = 0; i < numInputs + numOutputs; ++i)
            {
                channels.emplace_back (new float[length]);
                std::fill (channels.back().get(), channels.back().get() + length, i < numInputs ? 0.25f : unwritten);
                (i < numInputs ? inputs : outputs).push_back (channels.back().get());
            }

            inputs.push_back (nullptr);
            outputs.push_back (nullptr);

            effect.processReplacing (&effect, inputs.data(), outputs.data(), numSamples);
            host.advanceTime (numSamples);

            for (int ch = 0; ch < numOutputs; ++ch)
            {
                for (int i = 0; i < numSamples; ++i)
                {
                    const auto x = outputs[(size_t) ch][i];

                    // Outputs beyond the processor's layout are the host's to fill.
                    if (x != unwritten && ! (std::abs (x) <= 1.0f))
                        fail ("an output sample is not finite or beyond full scale", ch, i, x);
                }
            }
        }

        void fuzzTime (FuzzInput& in)
        {
            if (in.byte() % 8 == 0)
            {
                host.setServesTimeInfo (in.flag());
                return;
            }

            auto& time = host.getTimeInfo();

            // The framework turns these two into integers unchecked, so they stay
            // in range, as a sample count and a system time are; every field that
            // reaches the processor is hostile.
            time.samplePos          = (double) in.raw<int32_t>() * 64.0;
            time.nanoSeconds        = (double) in.raw<uint32_t>() * 1.0e6;

            time.sampleRate         = in.hostileDouble();
            time.ppqPos             = in.hostileDouble();
            time.tempo              = in.hostileDouble();
            time.barStartPos        = in.hostileDouble();
            time.cycleStartPos      = in.hostileDouble();
            time.cycleEndPos        = in.hostileDouble();
            time.timeSigNumerator   = in.raw<int32_t>();
            time.timeSigDenominator = in.raw<int32_t>();
            time.smpteOffset        = in.raw<int32_t>();
            time.smpteFrameRate     = in.raw<int32_t>();
            time.samplesToNextClock = in.raw<int32_t>();
            time.flags              = in.raw<int32_t>();
        }

        static constexpr float unwritten = VstHost::unwrittenSample;

        VstHost host;
        int blockSize = 1024;
        bool switchedOff = false;
        std::vector<uint8_t> lastChunk;
    };
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static VstHost* const keeper = openKeeper();

    if (keeper == nullptr)
        fail ("the plug-in does not load", 0, 0, 0.0f);

    FuzzInput in (data, size);
    FuzzingHost host;

    if (! host.load())
        fail ("the plug-in gives no effect", 0, 0, 0.0f);

    host.run (in);
    return 0;
}
