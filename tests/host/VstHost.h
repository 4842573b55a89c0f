#pragma once

#include "Vst2Abi.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

//==============================================================================
/** A small VST 2 host for tests: opens a plug-in's shared object with dlopen and
    drives it through the binary interface only, as a host does.

    Every call the plug-in makes to the host is recorded. The host answers the
    version question (2400 unless told otherwise), serves the time record that the
    test fills in, and answers everything else with 0, unless a handler set with
    setCallbackHandler answers first.

    A host serves one effect at a time; several hosts may live side by side.
*/
class VstHost
{
public:
    VstHost();
    ~VstHost();

    VstHost (const VstHost&) = delete;
    VstHost& operator= (const VstHost&) = delete;

    //==============================================================================
    /** Opens the library, calls the named entry point ("VSTPluginMain" or "main")
        and, when that gives an effect, sends effOpen. False, with the reason in
        getLastError(), if the library, the entry point or the effect is missing.
        The library stays open until unload() either way.
    */
    bool load (const std::string& path, const std::string& entryName = "VSTPluginMain");

    /** Sends effClose to the effect, if there is one, and closes the library. */
    void unload();

    vst2::AEffect* getEffect() const noexcept               { return effect; }
    const std::string& getLastError() const noexcept        { return lastError; }

    /** The answer to audioMasterVersion; 0 tells a plug-in that the host is too old to run it. */
    void setVersionAnswer (intptr_t answer) noexcept        { versionAnswer = answer; }

    struct HostCall
    {
        const vst2::AEffect* effect;
        int32_t opcode;
        int32_t index;
        intptr_t value;
        float opt;
    };

    /** Gets each host call before the host answers it; a value it returns is the answer. */
    using CallbackHandler = std::function<std::optional<intptr_t> (const HostCall&, void* ptr)>;

    /** Set it while no effect is running: it is read from whichever thread calls the host. */
    void setCallbackHandler (CallbackHandler newHandler)    { handler = std::move (newHandler); }

    //==============================================================================
    /** Calls the effect's dispatcher; throws std::logic_error when no effect is loaded. */
    intptr_t dispatch (int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);

    struct TextAnswer
    {
        intptr_t result = 0;
        std::string text;               // up to the first terminator, or the whole buffer if none was written
        bool bufferUntouched = true;
    };

    /** Dispatches an opcode that writes text (effGetEffectName, effGetProgramNameIndexed...)
        into a buffer that is filled with a marker beforehand, so that a missing or
        partial write shows.
    */
    TextAnswer dispatchForText (int32_t opcode, int32_t index = 0, intptr_t value = 0, float opt = 0.0f);

    intptr_t canDo (const std::string& capability);

    void setParameter (int32_t index, float value);
    float getParameter (int32_t index);

    /** effGetChunk for the whole bank, or for the current program; empty if the effect gives no data. */
    std::vector<uint8_t> getChunk (bool onlyCurrentProgram = false);

    /** effSetChunk with the given pointer and size as they are, null and 0 included. */
    intptr_t setChunk (const void* data, intptr_t size, bool onlyCurrentProgram = false);
    intptr_t setChunk (const std::vector<uint8_t>& data, bool onlyCurrentProgram = false);

    //==============================================================================
    /** Calls processReplacing for numSamples with one buffer of the host's own per
        input and per output. The outputs are filled with unwrittenSample first, so
        that samples the effect leaves alone show.
    */
    void process (int numSamples);

    static constexpr float unwrittenSample = 1000.0f;

    /** Input buffers keep their content between calls; those shorter than a block are padded with silence. */
    std::vector<float>& getInput (int channel)              { return inputs.at ((size_t) channel); }
    const std::vector<float>& getOutput (int channel) const { return outputs.at ((size_t) channel); }
    int getNumOutputs() const noexcept                      { return (int) outputs.size(); }

    //==============================================================================
    /** The record served for audioMasterGetTime: 120 bpm at 44100 Hz, stopped, nothing flagged valid. */
    vst2::VstTimeInfo& getTimeInfo() noexcept               { return time; }

    /** False makes audioMasterGetTime answer null. */
    void setServesTimeInfo (bool shouldServe) noexcept      { servesTimeInfo = shouldServe; }

    /** Moves the served transport on by numSamples: the sample position always, the
        ppq position while playing or recording at the record's tempo and rate. The
        bar start stays where the test put it.
    */
    void advanceTime (int numSamples);

    //==============================================================================
    std::vector<HostCall> getHostCalls() const;
    std::vector<HostCall> getHostCalls (int32_t opcode) const;
    void clearHostCalls();

    /** Every opcode that any host of this program was called with, each once, in ascending order. */
    static std::vector<int32_t> getOpcodesSeenByAnyHost();

private:
    //==============================================================================
    static intptr_t hostCallback (vst2::AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    intptr_t answer (const HostCall&, void* ptr);
    vst2::AEffect& requireEffect() const;

    //==============================================================================
    void* library = nullptr;
    vst2::AEffect* effect = nullptr;
    std::string lastError;
    intptr_t versionAnswer = kVstVersion;
    CallbackHandler handler;

    vst2::VstTimeInfo time {};
    bool servesTimeInfo = true;

    std::vector<std::vector<float>> inputs, outputs;
    std::vector<float*> inputPointers, outputPointers;

    mutable std::mutex callsLock;
    std::vector<HostCall> calls;
};
