// Hosts call the parameter and chunk operations on threads of their own while
// the audio thread renders and the message thread runs the open editor, whose
// timer and write-backs touch the same setting. Under ThreadSanitizer this shows
// the run is free of data races; in every build it shows that no reader ever
// sees an index, a parameter value or a chunk that no writer stored.

#include "../editor/EditorTestHelpers.h"
#include "../processor/ProcessorFixture.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <set>
#include <thread>
#include <vector>

namespace
{
    // The writers' values give indices apart from one another and from the
    // editor's write-backs (0 to 30): 45, 90, 300 and 2^32 - 1 from the host
    // values, and the chunk bytes 40, 77, 200 and 255.
    constexpr float hostValues[] = { 0.2f, 1.5f, 3.0f, 10.0f, -0.04f };
    constexpr uint8_t chunkBytes[] = { 40, 77, 200, 255 };
    constexpr int editorIndices = 30;

    constexpr int runMilliseconds = 2000;

    std::set<uint32_t> storedIndices()
    {
        std::set<uint32_t> indices { 6 };   // the processor's own, from construction

        for (uint32_t k = 0; k <= editorIndices; ++k)
            indices.insert (k);

        for (auto v : hostValues)
            indices.insert (QuernelAudioProcessor::indexForValue (v));

        for (auto b : chunkBytes)
            indices.insert (b);

        return indices;
    }

    /** A thread that repeats its body until told to stop, and counts the values it saw that no writer stored. */
    struct Worker
    {
        explicit Worker (std::function<bool()> bodyToRepeat)
            : body (std::move (bodyToRepeat)),
              thread ([this]
              {
                  while (! stop.load())
                  {
                      if (! body())
                          ++invented;

                      ++rounds;
                  }
              })
        {}

        void join()
        {
            stop = true;
            thread.join();
        }

        std::function<bool()> body;
        std::atomic<bool> stop { false };
        std::atomic<int> invented { 0 }, rounds { 0 };
        std::thread thread;
    };
}

TEST (Concurrency, EveryThreadSeesOnlyStoredSettings)
{
    juce::ScopedJuceInitialiser_GUI gui;

    QuernelAudioProcessor processor;
    TestPlayHead playHead;

    constexpr double sampleRate = 48000.0;
    constexpr int blockSize = 256;

    processor.enableAllBuses();
    processor.setPlayHead (&playHead);
    processor.prepareToPlay (sampleRate, blockSize);
    editor_test::HostRecorder host (processor);

    const auto indices = storedIndices();
    std::set<float> values;
    std::set<uint8_t> chunks;

    for (auto k : indices)
    {
        values.insert (QuernelAudioProcessor::valueForIndex (k));
        chunks.insert ((uint8_t) k);
    }

    auto readParameter = [&]
    {
        return values.count (processor.getParameter (0)) == 1;
    };

    auto readChunk = [&]
    {
        juce::MemoryBlock chunk;
        processor.getStateInformation (chunk);
        return chunk.getSize() == 1 && chunks.count ((uint8_t) chunk[0]) == 1;
    };

    std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditorIfNeeded());
    ASSERT_NE (editor, nullptr);

    // The audio thread: a transport that plays, jumps back as a loop does and stops now and then.
    std::atomic<int> badSamples { 0 };
    double ppq = 0.0;
    int block = 0;

    Worker audio ([&]
    {
        const bool playing = block % 50 < 45;
        const auto bpm = 90.0 + (block % 7) * 10.0;

        juce::AudioPlayHead::PositionInfo time;
        time.setIsPlaying (playing);
        time.setIsLooping (true);
        time.setBpm (bpm);
        time.setPpqPosition (ppq);
        time.setPpqPositionOfLastBarStart (std::floor (ppq / 4.0) * 4.0);
        playHead.position = time;

        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::MidiBuffer midi;
        processor.processBlock (buffer, midi);

        for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
            for (int i = 0; i < blockSize; ++i)
                if (! (std::abs (buffer.getSample (ch, i)) <= 1.0f))
                    ++badSamples;

        ppq = (++block % 64 == 0) ? std::fmod (ppq, 4.0)
                                  : ppq + (playing ? blockSize * bpm / (60.0 * sampleRate) : 0.0);

        // The index is read once per block; any value it had must be a stored one.
        return indices.count (processor.getTimeSignatureIndex()) == 1;
    });

    int automationRound = 0, chunkRound = 0;

    Worker automation ([&]
    {
        processor.setParameter (0, hostValues[(size_t) automationRound++ % std::size (hostValues)]);
        return readParameter() && readChunk();
    });

    Worker chunkWriter ([&]
    {
        const auto byte = chunkBytes[(size_t) chunkRound++ % std::size (chunkBytes)];
        processor.setStateInformation (&byte, 1);
        return readChunk() && readParameter();
    });

    Worker reader ([&] { return readParameter() && readChunk(); });

    // The message thread: the editor's timer ticks and write-backs run only while this pumps.
    editor_test::pumpFor (runMilliseconds);

    for (auto* worker : { &audio, &automation, &chunkWriter, &reader })
    {
        worker->join();
        EXPECT_EQ (worker->invented.load(), 0) << "after " << worker->rounds.load() << " rounds";
        EXPECT_GT (worker->rounds.load(), 0);
    }

    processor.editorBeingDeleted (editor.get());
    editor.reset();

    EXPECT_EQ (badSamples.load(), 0);
    EXPECT_EQ (indices.count (processor.getTimeSignatureIndex()), 1u) << processor.getTimeSignatureIndex();

    // The opening's write-back and at least one tick's, from the changes the writers made.
    EXPECT_GE (host.values.size(), 2u);
}

int main (int argc, char** argv)
{
    // Headless whatever the machine has: only a display that doesn't exist guarantees it.
    setenv ("DISPLAY", ":99999", 1);

    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
