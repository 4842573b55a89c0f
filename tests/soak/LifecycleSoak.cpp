// A host's whole use of the plug-in, hundreds of times over in one process:
// load, open, switch on, process, size and close the editor, switch off, close,
// unload. Each life must work as the first did and leave nothing behind: no
// thread still running in an unloaded library, no open file, and, in the
// AddressSanitizer build, no leaked memory when the process ends.

#include "VstHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>

namespace
{
    constexpr int lives = 300;
    constexpr int blockSize = 256;

    // The record offers 64 outputs; the processor's stereo layout writes the first two.
    constexpr int clockOutputs = 2;

    size_t countEntries (const char* folder)
    {
        const std::filesystem::directory_iterator entries (folder);
        return (size_t) std::distance (begin (entries), end (entries));
    }

    /** The thread count once the threads that were asked to end have gone; a joined
        thread can linger in /proc for a moment. */
    size_t settledThreadCount (size_t expected)
    {
        auto count = countEntries ("/proc/self/task");

        for (int i = 0; i < 100 && count != expected; ++i)
        {
            std::this_thread::sleep_for (std::chrono::milliseconds (10));
            count = countEntries ("/proc/self/task");
        }

        return count;
    }

    void live (VstHost& host)
    {
        host.dispatch (vst2::effSetSampleRate, 0, 0, nullptr, 48000.0f);
        host.dispatch (vst2::effSetBlockSize, 0, blockSize);
        host.dispatch (vst2::effMainsChanged, 0, 1);

        // Playing from a bar line: the first block starts with a pulse.
        auto& time = host.getTimeInfo();
        time.sampleRate = 48000.0;
        time.flags = vst2::kVstTransportPlaying | vst2::kVstPpqPosValid | vst2::kVstTempoValid | vst2::kVstBarsValid;

        for (int block = 0; block < 8; ++block)
        {
            host.process (blockSize);

            for (int ch = 0; ch < clockOutputs; ++ch)
                for (auto x : host.getOutput (ch))
                    ASSERT_TRUE (std::abs (x) <= 1.0f) << "channel " << ch << " of block " << block << ": " << x;

            if (block == 0)
            {
                ASSERT_GT (host.getOutput (0).front(), 0.5f);
            }

            host.advanceTime (blockSize);
        }

        // Sizing the window builds the editor headless; idle runs its pending work.
        vst2::ERect* rect = nullptr;
        ASSERT_NE (host.dispatch (vst2::effEditGetRect, 0, 0, &rect), 0);
        ASSERT_NE (rect, nullptr);
        EXPECT_EQ (rect->right - rect->left, 150);
        EXPECT_EQ (rect->bottom - rect->top, 174);

        host.dispatch (vst2::effEditIdle);
        host.dispatch (vst2::effEditClose);
        host.dispatch (vst2::effMainsChanged, 0, 0);
    }
}

TEST (Lifecycle, HundredsOfLivesInOneProcessLeaveNothingBehind)
{
    const auto threadsBefore = countEntries ("/proc/self/task");
    const auto filesBefore = countEntries ("/proc/self/fd");

    for (int i = 0; i < lives; ++i)
    {
        SCOPED_TRACE ("life " + std::to_string (i));

        {
            VstHost host;
            ASSERT_TRUE (host.load (TESSARAVON_PLUGIN_PATH)) << host.getLastError();
            live (host);
            ASSERT_FALSE (HasFatalFailure());
        }

        // The framework's message thread must end before the library goes.
        ASSERT_EQ (settledThreadCount (threadsBefore), threadsBefore);
    }

    EXPECT_EQ (countEntries ("/proc/self/fd"), filesBefore);
}
