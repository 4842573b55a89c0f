#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

/** What each fuzz target defines: libFuzzer, or the replaying driver, calls it once per input. */
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

//==============================================================================
/** Reads a fuzz input as a stream of choices. Past the end every read gives 0,
    so any input, even an empty one, is a valid sequence. Callers read into
    locals, one read a statement, so that an input means the same sequence
    whatever order a compiler evaluates arguments in.
*/
class FuzzInput
{
public:
    FuzzInput (const uint8_t* d, size_t n) noexcept  : data (d), size (n) {}

    bool isExhausted() const noexcept       { return position >= size; }

    uint8_t byte() noexcept                 { return position < size ? data[position++] : 0; }
    bool flag() noexcept                    { return (byte() & 1) != 0; }

    template <typename Int>
    Int raw() noexcept
    {
        Int value {};
        uint8_t bytes[sizeof (Int)] {};

        for (auto& b : bytes)
            b = byte();

        std::memcpy (&value, bytes, sizeof (Int));
        return value;
    }

    /** A whole number from lowest to highest, both included. */
    int64_t range (int64_t lowest, int64_t highest) noexcept
    {
        const auto span = (uint64_t) (highest - lowest) + 1;
        return span == 0 ? (int64_t) raw<uint64_t>()
                         : lowest + (int64_t) (raw<uint32_t>() % span);
    }

    template <typename T, size_t N>
    T pick (const T (&choices)[N]) noexcept            { return choices[byte() % N]; }

    /** Mostly values a host may send, often the hostile ones, sometimes any bits at all. */
    double hostileDouble() noexcept
    {
        static constexpr double specials[] =
        {
            0.0, -0.0, 1.0, -1.0, 0.5, 4.0, 120.0, 44100.0, 1.0e-300, -1.0e-300,
            std::numeric_limits<double>::denorm_min(), 1.0e300, -1.0e300,
            std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(),
            std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
            std::numeric_limits<double>::quiet_NaN(), 2147483648.0, -2147483649.0, 9.3e18
        };

        switch (byte() % 4)
        {
            case 0:  return pick (specials);
            case 1:  return raw<double>();
            case 2:  return (double) raw<int16_t>() / 16.0;
            default: return (double) raw<int32_t>() / 1024.0;
        }
    }

    float hostileFloat() noexcept
    {
        return byte() % 3 == 0 ? raw<float>() : (float) hostileDouble();
    }

    std::vector<uint8_t> bytes (size_t count)
    {
        std::vector<uint8_t> result (count);

        for (auto& b : result)
            b = byte();

        return result;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t position = 0;
};
