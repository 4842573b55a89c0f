#pragma once

#include <cstddef>
#include <cstdint>

//==============================================================================
/** The VST 2.4 records that carry pointer arguments of the dispatcher, laid out
    as hosts build them, so that the fuzzing host can hand every opcode a valid
    buffer of the size it expects. (The host harness defines the rest.)
*/
namespace vst2records
{
    struct ERect
    {
        int16_t top, left, bottom, right;
    };

    struct MidiEvent
    {
        int32_t type;             // 1
        int32_t byteSize;
        int32_t deltaFrames;
        int32_t flags;
        int32_t noteLength;
        int32_t noteOffset;
        uint8_t midiData[4];
        int8_t detune;
        uint8_t noteOffVelocity;
        uint8_t reserved1, reserved2;
    };

    struct SysexEvent
    {
        int32_t type;             // 6
        int32_t byteSize;
        int32_t deltaFrames;
        int32_t flags;
        int32_t dumpBytes;
        intptr_t reserved1;
        char* sysexDump;
        intptr_t reserved2;
    };

    /** The event list: a count, a reserved word, then as many event pointers as counted. */
    struct EventsHeader
    {
        int32_t numEvents;
        intptr_t reserved;
    };

    struct PinProperties
    {
        char label[64];
        int32_t flags;
        int32_t arrangementType;
        char shortLabel[8];
        char future[48];
    };

    struct SpeakerProperties
    {
        float azimuth, elevation, radius, reserved;
        char name[64];
        int32_t type;
        char future[28];
    };

    /** A type and a count, followed by as many speakers as counted. */
    struct SpeakerArrangementHeader
    {
        int32_t type;
        int32_t numChannels;
    };

    constexpr int32_t midiEventType = 1;
    constexpr int32_t sysexEventType = 6;

    static_assert (sizeof (MidiEvent) == 32 && sizeof (PinProperties) == 128
                    && sizeof (SpeakerProperties) == 112 && sizeof (SpeakerArrangementHeader) == 8);
   #if INTPTR_MAX == INT64_MAX
    static_assert (sizeof (SysexEvent) == 48 && sizeof (EventsHeader) == 16);
   #endif
}
