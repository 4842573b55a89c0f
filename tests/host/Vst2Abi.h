#pragma once

#include <cstddef>
#include <cstdint>

//==============================================================================
/** The VST 2 interface as the plug-in is built against it, the project's own
    header. Tests of the wire use literal numbers and byte offsets instead, so
    that a wrong value in that header can't agree with itself.
*/
namespace vst2
{
   #include "pluginterfaces/vst2.x/aeffectx.h"

    using HostCallback = audioMasterCallback;
    using EntryPoint   = AEffect* (*) (HostCallback);

    constexpr int32_t effectMagic = kEffectMagic;

    constexpr int32_t fourCharCode (const char (&code)[5]) noexcept
    {
        return (int32_t) (((uint32_t) (uint8_t) code[0] << 24) | ((uint32_t) (uint8_t) code[1] << 16)
                        | ((uint32_t) (uint8_t) code[2] << 8)  |  (uint32_t) (uint8_t) code[3]);
    }
}
