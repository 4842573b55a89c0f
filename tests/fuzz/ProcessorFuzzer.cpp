// Feeds the processor arbitrary sequences of host time records, block sizes,
// sample rates, parameter writes and chunks. Whatever comes, it must not crash,
// must stay inside every buffer (the sanitizers watch that) and must write only
// finite samples of at most full scale, which this checks after every block.

#include "FuzzInput.h"
#include "PluginProcessor.h"
#include "../processor/TestPlayHead.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace
{
    [[noreturn]] void fail (const char* what, int channel, int sample, float value)
    {
        std::fprintf (stderr, "%s: channel %d, sample %d: %g\n", what, channel, sample, (double) value);
        std::abort();
    }

    juce::AudioPlayHead::PositionInfo fuzzedPosition (FuzzInput& in)
    {
        juce::AudioPlayHead::PositionInfo info;
        const auto present = in.raw<uint16_t>();

        // Each field is set or left unset, independently.
        if (present & (1 << 0))  info.setBpm (in.hostileDouble());
        if (present & (1 << 1))  info.setPpqPosition (in.hostileDouble());
        if (present & (1 << 2))  info.setPpqPositionOfLastBarStart (in.hostileDouble());
        if (present & (1 << 3))  info.setTimeInSamples (in.raw<int64_t>());
        if (present & (1 << 4))  info.setTimeInSeconds (in.hostileDouble());
        if (present & (1 << 5))  info.setEditOriginTime (in.hostileDouble());
        if (present & (1 << 6))  info.setBarCount (in.raw<int64_t>());
        if (present & (1 << 7))  info.setHostTimeNs (in.raw<uint64_t>());
        if (present & (1 << 8))  info.setTimeSignature (juce::AudioPlayHead::TimeSignature { in.raw<int32_t>(), in.raw<int32_t>() });
        if (present & (1 << 9))  info.setLoopPoints (juce::AudioPlayHead::LoopPoints { in.hostileDouble(), in.hostileDouble() });
        if (present & (1 << 10)) info.setFrameRate (juce::AudioPlayHead::FrameRate().withBaseRate (in.byte()));

        const auto flags = in.byte();
        info.setIsPlaying   ((flags & 1) != 0);
        info.setIsRecording ((flags & 2) != 0);
        info.setIsLooping   ((flags & 4) != 0);
        return info;
    }

    struct Session
    {
        static constexpr int maxChannels = 3;

        Session()
        {
            processor.enableAllBuses();
            processor.setPlayHead (&playHead);
            prepare (44100.0, 512);
        }

        void prepare (double sampleRate, int blockSize)
        {
            preparedSize = blockSize;
            processor.prepareToPlay (sampleRate, blockSize);
        }

        int fuzzedBlockSize (FuzzInput& in)
        {
            const auto prepared = juce::jmax (1, preparedSize);

            switch (in.byte() % 6)
            {
                case 0:  return 0;
                case 1:  return 1;
                case 2:  return prepared;
                case 3:  return prepared + 1;
                case 4:  return juce::jmin (4 * prepared + 3, 16384);
                default: return (int) in.range (0, 4096);
            }
        }

        /** One block into channels of exactly the block's length, so that a write
            past the end of one lands outside the heap block the sanitizer guards. */
        void process (int numChannels, int numSamples)
        {
            std::unique_ptr<float[]> channels[maxChannels];
            float* pointers[maxChannels] {};

            for (int ch = 0; ch < numChannels; ++ch)
            {
                channels[ch].reset (new float[(size_t) juce::jmax (1, numSamples)]);
                std::fill (channels[ch].get(), channels[ch].get() + numSamples, 0.5f);
                pointers[ch] = channels[ch].get();
            }

            juce::AudioBuffer<float> buffer (pointers, numChannels, numSamples);
            processor.processBlock (buffer, midi);

            for (int ch = 0; ch < numChannels; ++ch)
            {
                for (int i = 0; i < numSamples; ++i)
                {
                    const auto x = pointers[ch][i];

                    if (! std::isfinite (x))
                        fail ("a sample is not finite", ch, i, x);

                    if (std::abs (x) > 1.0f)
                        fail ("a sample is beyond full scale", ch, i, x);
                }
            }
        }

        void checkSetting()
        {
            // The chunk's one byte and the parameter must report the same index.
            juce::MemoryBlock chunk;
            processor.getStateInformation (chunk);
            const auto index = processor.getTimeSignatureIndex();

            if (chunk.getSize() != 1 || (uint8_t) chunk[0] != (uint8_t) index)
                fail ("the chunk does not carry the index", 0, 0, (float) index);

            if (processor.getParameter (0) != QuernelAudioProcessor::valueForIndex (index))
                fail ("the parameter does not report the index", 0, 0, (float) index);
        }

        void run (FuzzInput& in)
        {
            for (int step = 0; step < 64 && ! in.isExhausted(); ++step)
            {
                switch (in.byte() % 9)
                {
                    case 0:  playHead.position = fuzzedPosition (in); break;
                    case 1:  playHead.position = {}; break;
                    case 2:  processor.setPlayHead (in.flag() ? &playHead : nullptr); break;
                    case 3:
                    {
                        const auto sampleRate = in.hostileDouble();
                        prepare (sampleRate, (int) in.range (-8, 4096));
                        break;
                    }

                    case 4:
                    {
                        const auto index = (int) in.range (-2, 2);
                        processor.setParameter (index, in.hostileFloat());
                        break;
                    }

                    case 5:
                    {
                        const auto chunk = in.bytes ((size_t) in.range (0, 4));
                        const auto claimed = (int) in.range (-2, (int64_t) chunk.size());
                        const auto* pointer = in.flag() ? nullptr : chunk.data();
                        processor.setStateInformation (pointer, claimed);
                        break;
                    }

                    case 6:  processor.releaseResources(); break;
                    case 7:  checkSetting(); break;
                    default:
                    {
                        const auto numChannels = (int) in.range (0, maxChannels);
                        process (numChannels, fuzzedBlockSize (in));
                        break;
                    }
                }
            }

            checkSetting();
        }

        TestPlayHead playHead;
        QuernelAudioProcessor processor;
        juce::MidiBuffer midi;
        int preparedSize = 0;
    };
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    FuzzInput in (data, size);
    Session session;
    session.run (in);
    return 0;
}
