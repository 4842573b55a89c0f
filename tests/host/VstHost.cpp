#include "VstHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>
#include <set>
#include <stdexcept>
#include <utility>

namespace
{
    // The version question comes before the effect exists, so the host that is
    // loading is found through this pointer; loads are one at a time.
    std::mutex loadLock;
    std::atomic<VstHost*> hostBeingLoaded { nullptr };

    std::mutex seenLock;
    std::set<int32_t> seenOpcodes;

    constexpr size_t textBufferSize = 256;
    constexpr char textMarker = '\x7f';
}

//==============================================================================
VstHost::VstHost()
{
    time.sampleRate = 44100.0;
    time.tempo = 120.0;
    time.timeSigNumerator = 4;
    time.timeSigDenominator = 4;
}

VstHost::~VstHost()
{
    unload();
}

//==============================================================================
bool VstHost::load (const std::string& path, const std::string& entryName)
{
    unload();
    lastError.clear();

    library = dlopen (path.c_str(), RTLD_NOW | RTLD_LOCAL);

    if (library == nullptr)
    {
        lastError = dlerror();
        return false;
    }

    vst2::EntryPoint entry = nullptr;

    // A data pointer can't be cast to a function pointer in ISO C++; copying the bits is the usual way.
    const auto symbol = dlsym (library, entryName.c_str());
    static_assert (sizeof (symbol) == sizeof (entry));
    std::memcpy (&entry, &symbol, sizeof (entry));

    if (entry == nullptr)
    {
        lastError = "the library exports no " + entryName;
        return false;
    }

    {
        const std::lock_guard<std::mutex> lock (loadLock);
        hostBeingLoaded = this;
        effect = entry (hostCallback);

        if (effect != nullptr)
            effect->user = this;

        hostBeingLoaded = nullptr;
    }

    if (effect == nullptr)
    {
        lastError = entryName + " gave no effect";
        return false;
    }

    inputs.assign ((size_t) std::max (0, effect->numInputs), {});
    outputs.assign ((size_t) std::max (0, effect->numOutputs), {});

    dispatch (vst2::effOpen);
    return true;
}

void VstHost::unload()
{
    // effClose frees the effect record.
    if (auto* closing = std::exchange (effect, nullptr))
        closing->dispatcher (closing, vst2::effClose, 0, 0, nullptr, 0.0f);

    if (library != nullptr)
        dlclose (std::exchange (library, nullptr));

    inputs.clear();
    outputs.clear();
}

//==============================================================================
vst2::AEffect& VstHost::requireEffect() const
{
    if (effect == nullptr)
        throw std::logic_error ("no effect is loaded");

    return *effect;
}

intptr_t VstHost::dispatch (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    auto& e = requireEffect();
    return e.dispatcher (&e, opcode, index, value, ptr, opt);
}

VstHost::TextAnswer VstHost::dispatchForText (int32_t opcode, int32_t index, intptr_t value, float opt)
{
    std::vector<char> buffer (textBufferSize, textMarker);

    TextAnswer answer;
    answer.result = dispatch (opcode, index, value, buffer.data(), opt);
    answer.bufferUntouched = std::all_of (buffer.begin(), buffer.end(), [] (char c) { return c == textMarker; });

    if (! answer.bufferUntouched)
        answer.text.assign (buffer.begin(), std::find (buffer.begin(), buffer.end(), '\0'));

    return answer;
}

intptr_t VstHost::canDo (const std::string& capability)
{
    std::vector<char> text (capability.begin(), capability.end());
    text.push_back ('\0');
    return dispatch (vst2::effCanDo, 0, 0, text.data());
}

void VstHost::setParameter (int32_t index, float value)
{
    auto& e = requireEffect();
    e.setParameter (&e, index, value);
}

float VstHost::getParameter (int32_t index)
{
    auto& e = requireEffect();
    return e.getParameter (&e, index);
}

std::vector<uint8_t> VstHost::getChunk (bool onlyCurrentProgram)
{
    void* data = nullptr;
    const auto size = dispatch (vst2::effGetChunk, onlyCurrentProgram ? 1 : 0, 0, &data);

    if (data == nullptr || size <= 0)
        return {};

    const auto* bytes = static_cast<const uint8_t*> (data);
    return { bytes, bytes + size };
}

intptr_t VstHost::setChunk (const void* data, intptr_t size, bool onlyCurrentProgram)
{
    return dispatch (vst2::effSetChunk, onlyCurrentProgram ? 1 : 0, size, const_cast<void*> (data));
}

intptr_t VstHost::setChunk (const std::vector<uint8_t>& data, bool onlyCurrentProgram)
{
    return setChunk (data.data(), (intptr_t) data.size(), onlyCurrentProgram);
}

//==============================================================================
void VstHost::process (int numSamples)
{
    auto& e = requireEffect();
    const auto length = (size_t) std::max (0, numSamples);

    inputPointers.clear();
    outputPointers.clear();

    for (auto& input : inputs)
    {
        if (input.size() < length)
            input.resize (length, 0.0f);

        inputPointers.push_back (input.data());
    }

    for (auto& output : outputs)
    {
        output.assign (length, unwrittenSample);
        outputPointers.push_back (output.data());
    }

    e.processReplacing (&e, inputPointers.data(), outputPointers.data(), numSamples);
}

//==============================================================================
void VstHost::advanceTime (int numSamples)
{
    time.samplePos += numSamples;

    const bool running = (time.flags & (vst2::kVstTransportPlaying | vst2::kVstTransportRecording)) != 0;

    if (running && time.sampleRate > 0.0)
        time.ppqPos += numSamples * time.tempo / (60.0 * time.sampleRate);
}

//==============================================================================
std::vector<VstHost::HostCall> VstHost::getHostCalls() const
{
    const std::lock_guard<std::mutex> lock (callsLock);
    return calls;
}

std::vector<VstHost::HostCall> VstHost::getHostCalls (int32_t opcode) const
{
    const std::lock_guard<std::mutex> lock (callsLock);

    std::vector<HostCall> matching;
    std::copy_if (calls.begin(), calls.end(), std::back_inserter (matching),
                  [opcode] (const HostCall& call) { return call.opcode == opcode; });
    return matching;
}

void VstHost::clearHostCalls()
{
    const std::lock_guard<std::mutex> lock (callsLock);
    calls.clear();
}

std::vector<int32_t> VstHost::getOpcodesSeenByAnyHost()
{
    const std::lock_guard<std::mutex> lock (seenLock);
    return { seenOpcodes.begin(), seenOpcodes.end() };
}

//==============================================================================
intptr_t VstHost::hostCallback (vst2::AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    auto* host = (e != nullptr && e->user != nullptr) ? static_cast<VstHost*> (e->user)
                                                      : hostBeingLoaded.load();

    if (host == nullptr)
        return 0;

    return host->answer ({ e, opcode, index, value, opt }, ptr);
}

intptr_t VstHost::answer (const HostCall& call, void* ptr)
{
    {
        const std::lock_guard<std::mutex> lock (callsLock);
        calls.push_back (call);
    }

    {
        const std::lock_guard<std::mutex> lock (seenLock);
        seenOpcodes.insert (call.opcode);
    }

    if (handler != nullptr)
        if (const auto handled = handler (call, ptr))
            return *handled;

    switch (call.opcode)
    {
        case vst2::audioMasterVersion:  return versionAnswer;
        case vst2::audioMasterGetTime:  return servesTimeInfo ? reinterpret_cast<intptr_t> (&time) : 0;
        default:                        return 0;
    }
}
