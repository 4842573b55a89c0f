#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

//==============================================================================
/** Numbers and byte offsets of the VST 2.4 interface as hosts use it on x86-64,
    written out here instead of taken from the header the plug-in is built with,
    so that a wrong value there fails the tests that use these.
*/
namespace wire
{
    namespace effect
    {
        constexpr int32_t setSampleRate = 10, setBlockSize = 11, mainsChanged = 12,
                          getInputProperties = 33, getOutputProperties = 34, getPlugCategory = 35,
                          setSpeakerArrangement = 42, setBypass = 44, getTailSize = 52,
                          keysRequired = 57, getVstVersion = 58, getSpeakerArrangement = 69,
                          getNumMidiInputChannels = 78, getNumMidiOutputChannels = 79;
    }

    namespace host
    {
        constexpr int32_t getTime = 7;

        /** Every opcode hosts know a plug-in to send. */
        constexpr int32_t knownOpcodes[] = { 0, 1, 2, 3, 6, 7, 8, 13, 15, 16, 17, 23, 24, 32, 33, 34, 35, 37, 42, 43, 44 };
    }

    /** The host's time record, 88 bytes. */
    namespace time
    {
        constexpr size_t size = 88;
        constexpr size_t samplePos = 0, sampleRate = 8, ppqPos = 24, tempo = 32, barStartPos = 40,
                         timeSigNumerator = 64, timeSigDenominator = 68, smpteOffset = 72, smpteFrameRate = 76,
                         flags = 84;

        constexpr int32_t playing = 2, ppqPosValid = 512, tempoValid = 1024, barsValid = 2048,
                          timeSigValid = 8192, smpteValid = 16384;

        constexpr int32_t frameRates[] = { 0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13 };
    }

    /** A pin's properties, 128 bytes written by the plug-in into the host's record. */
    namespace pin
    {
        constexpr size_t size = 128;
        constexpr size_t label = 0, labelLength = 64, flags = 64, arrangementType = 68, shortLabel = 72, shortLabelLength = 8;

        constexpr int32_t isActive = 1, isStereo = 2, useSpeaker = 4;
    }

    /** A speaker arrangement: a head of 8 bytes, then one 112-byte record per speaker. */
    namespace speakers
    {
        constexpr size_t type = 0, numChannels = 4, first = 8, speakerSize = 112, speakerType = 80;
        constexpr size_t sizeWithEight = first + 8 * speakerSize;

        constexpr int32_t arrUserDefined = -2, arrEmpty = -1, arrMono = 0, arrStereo = 1, arr51 = 15;
        constexpr int32_t L = 1, R = 2, C = 3, Lfe = 4, Ls = 5, Rs = 6;
    }

    //==============================================================================
    template <typename Value>
    Value read (const void* record, size_t offset) noexcept
    {
        Value value;
        std::memcpy (&value, static_cast<const unsigned char*> (record) + offset, sizeof (Value));
        return value;
    }

    template <typename Value>
    void write (void* record, size_t offset, Value value) noexcept
    {
        std::memcpy (static_cast<unsigned char*> (record) + offset, &value, sizeof (Value));
    }
}
