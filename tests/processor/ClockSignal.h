#pragma once

#include <gtest/gtest.h>

#include <vector>

//==============================================================================
// What the clock writes, as a receiving device sees it.
namespace output
{
    constexpr float idle = 0.0001f;
    constexpr float pulseFirst = 0.7491700053215027f;
    constexpr float pulsePeak = 0.9404999613761902f;
    constexpr int pulseLength = 97;

    inline bool isIdle (float x)  { return x == idle || x == -idle; }

    /** Indices where a pulse begins: a non-idle sample after an idle one. */
    inline std::vector<int> pulseStarts (const std::vector<float>& signal)
    {
        std::vector<int> starts;

        for (size_t i = 0; i < signal.size(); ++i)
            if (! isIdle (signal[i]) && (i == 0 || isIdle (signal[i - 1])))
                starts.push_back ((int) i);

        return starts;
    }

    /** Every pulse that begins inside the signal has the pulse's full shape and
        length, and the idle samples alternate from + across the pulses. */
    inline void expectWellFormed (const std::vector<float>& signal, float firstIdle = idle)
    {
        auto expectedIdle = firstIdle;

        for (size_t i = 0; i < signal.size();)
        {
            if (isIdle (signal[i]))
            {
                ASSERT_EQ (signal[i], expectedIdle) << "idle alternation broken at sample " << i;
                expectedIdle = -expectedIdle;
                ++i;
                continue;
            }

            const auto start = i;

            while (i < signal.size() && ! isIdle (signal[i]))
                ++i;

            const auto length = i - start;

            if (i < signal.size())
            {
                ASSERT_EQ (length, (size_t) pulseLength) << "pulse at sample " << start;
                ASSERT_EQ (signal[i - 1], 0.0f) << "pulse at sample " << start << " does not end at 0";
            }

            if (start > 0 && length == (size_t) pulseLength)
            {
                ASSERT_EQ (signal[start], pulseFirst) << "pulse at sample " << start;
                ASSERT_EQ (signal[start + 1], pulsePeak) << "pulse at sample " << start;
            }
        }
    }
}
