// The VST 2.4 binary interface as hosts use it, limited to the names that the
// framework's VST 2 wrapper and this project's own test hosts need. Records are
// laid out as on x86-64 (natural alignment, pointers of 8 bytes).
//
// The wrapper includes this inside its own namespace, so it declares plain
// names only and includes nothing: <cstdint> comes from the includer, and so
// does <cstddef> for the layout checks at the end.
#pragma once

// The wrapper names it outside the namespace it includes this in.
#define kVstVersion 2400

typedef int32_t  VstInt32;
typedef intptr_t VstIntPtr;

struct AEffect;

typedef VstIntPtr (*audioMasterCallback)   (AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
typedef VstIntPtr (*AEffectDispatcherProc) (AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
typedef void  (*AEffectProcessProc)        (AEffect*, float** inputs, float** outputs, VstInt32 sampleFrames);
typedef void  (*AEffectProcessDoubleProc)  (AEffect*, double** inputs, double** outputs, VstInt32 sampleFrames);
typedef void  (*AEffectSetParameterProc)   (AEffect*, VstInt32 index, float value);
typedef float (*AEffectGetParameterProc)   (AEffect*, VstInt32 index);

//==============================================================================
enum
{
    kEffectMagic = 0x56737450   // 'VstP'
};

// Host to plug-in, through AEffect::dispatcher.
enum EffectOpcodes
{
    effOpen                     = 0,
    effClose                    = 1,
    effSetProgram               = 2,
    effGetProgram               = 3,
    effSetProgramName           = 4,
    effGetProgramName           = 5,
    effGetParamLabel            = 6,
    effGetParamDisplay          = 7,
    effGetParamName             = 8,
    effSetSampleRate            = 10,
    effSetBlockSize             = 11,
    effMainsChanged             = 12,
    effEditGetRect              = 13,
    effEditOpen                 = 14,
    effEditClose                = 15,
    effEditIdle                 = 19,
    effIdentify                 = 22,
    effGetChunk                 = 23,
    effSetChunk                 = 24,
    effProcessEvents            = 25,
    effCanBeAutomated           = 26,
    effString2Parameter         = 27,
    effGetProgramNameIndexed    = 29,
    effGetInputProperties       = 33,
    effGetOutputProperties      = 34,
    effGetPlugCategory          = 35,
    effSetSpeakerArrangement    = 42,
    effSetBypass                = 44,
    effGetEffectName            = 45,
    effGetVendorString          = 47,
    effGetProductString         = 48,
    effGetVendorVersion         = 49,
    effVendorSpecific           = 50,
    effCanDo                    = 51,
    effGetTailSize              = 52,
    effKeysRequired             = 57,
    effGetVstVersion            = 58,
    effGetCurrentMidiProgram    = 63,
    effGetSpeakerArrangement    = 69,
    effStartProcess             = 71,
    effStopProcess              = 72,
    effSetTotalSampleToProcess  = 73,
    effSetProcessPrecision      = 77,
    effGetNumMidiInputChannels  = 78,
    effGetNumMidiOutputChannels = 79
};

// Plug-in to host, through the host callback.
enum AudioMasterOpcodesX
{
    audioMasterAutomate                 = 0,
    audioMasterVersion                  = 1,
    audioMasterWantMidi                 = 6,
    audioMasterGetTime                  = 7,
    audioMasterProcessEvents            = 8,
    audioMasterIOChanged                = 13,
    audioMasterSizeWindow               = 15,
    audioMasterGetCurrentProcessLevel   = 23,
    audioMasterVendorSpecific           = 35,
    audioMasterCanDo                    = 37,
    audioMasterUpdateDisplay            = 42,
    audioMasterBeginEdit                = 43,
    audioMasterEndEdit                  = 44
};

// AEffect::flags
enum
{
    effFlagsHasEditor           = 1,
    effFlagsCanReplacing        = 16,
    effFlagsProgramChunks       = 32,
    effFlagsIsSynth             = 256,
    effFlagsNoSoundInStop       = 512,
    effFlagsCanDoubleReplacing  = 4096
};

// The answer to effGetPlugCategory; the build picks one by name.
enum VstPlugCategory
{
    kPlugCategUnknown           = 0,
    kPlugCategEffect            = 1,
    kPlugCategSynth             = 2,
    kPlugCategAnalysis          = 3,
    kPlugCategMastering         = 4,
    kPlugCategSpacializer       = 5,
    kPlugCategRoomFx            = 6,
    kPlugSurroundFx             = 7,
    kPlugCategRestoration       = 8,
    kPlugCategOfflineProcess    = 9,
    kPlugCategShell             = 10,
    kPlugCategGenerator         = 11,
    kPlugCategMaxCount          = 12
};

// VstTimeInfo::flags, and the mask asked for with audioMasterGetTime.
enum
{
    kVstTransportPlaying        = 2,
    kVstTransportCycleActive    = 4,
    kVstTransportRecording      = 8,
    kVstNanosValid              = 256,
    kVstPpqPosValid             = 512,
    kVstTempoValid              = 1024,
    kVstBarsValid               = 2048,
    kVstCyclePosValid           = 4096,
    kVstTimeSigValid            = 8192,
    kVstSmpteValid              = 16384,
    kVstClockValid              = 32768
};

// VstTimeInfo::smpteFrameRate; 8 and 9 are unused.
enum
{
    kVstSmpte24fps              = 0,
    kVstSmpte25fps              = 1,
    kVstSmpte2997fps            = 2,
    kVstSmpte30fps              = 3,
    kVstSmpte2997dfps           = 4,
    kVstSmpte30dfps             = 5,
    kVstSmpteFilm16mm           = 6,
    kVstSmpteFilm35mm           = 7,
    kVstSmpte239fps             = 10,
    kVstSmpte249fps             = 11,
    kVstSmpte599fps             = 12,
    kVstSmpte60fps              = 13
};

// VstPinProperties::flags
enum
{
    kVstPinIsActive             = 1,
    kVstPinIsStereo             = 2,
    kVstPinUseSpeaker           = 4
};

// VstSpeakerArrangement::type and VstPinProperties::arrangementType
enum
{
    kSpeakerArrUserDefined      = -2,
    kSpeakerArrEmpty            = -1,
    kSpeakerArrMono             = 0,
    kSpeakerArrStereo           = 1,
    kSpeakerArrStereoSurround   = 2,
    kSpeakerArrStereoCenter     = 3,
    kSpeakerArrStereoSide       = 4,
    kSpeakerArrStereoCLfe       = 5,
    kSpeakerArr30Cine           = 6,
    kSpeakerArr30Music          = 7,
    kSpeakerArr31Cine           = 8,
    kSpeakerArr31Music          = 9,
    kSpeakerArr40Cine           = 10,
    kSpeakerArr40Music          = 11,
    kSpeakerArr41Cine           = 12,
    kSpeakerArr41Music          = 13,
    kSpeakerArr50               = 14,
    kSpeakerArr51               = 15,
    kSpeakerArr60Cine           = 16,
    kSpeakerArr60Music          = 17,
    kSpeakerArr61Cine           = 18,
    kSpeakerArr61Music          = 19,
    kSpeakerArr70Cine           = 20,
    kSpeakerArr70Music          = 21,
    kSpeakerArr71Cine           = 22,
    kSpeakerArr71Music          = 23,
    kSpeakerArr80Cine           = 24,
    kSpeakerArr80Music          = 25,
    kSpeakerArr81Cine           = 26,
    kSpeakerArr81Music          = 27,
    kSpeakerArr102              = 28
};

// VstSpeakerProperties::type
enum
{
    kSpeakerL                   = 1,
    kSpeakerR                   = 2,
    kSpeakerC                   = 3,
    kSpeakerLfe                 = 4,
    kSpeakerLs                  = 5,
    kSpeakerRs                  = 6,
    kSpeakerLc                  = 7,
    kSpeakerRc                  = 8,
    kSpeakerS                   = 9,
    kSpeakerSl                  = 10,
    kSpeakerSr                  = 11,
    kSpeakerTm                  = 12,
    kSpeakerTfl                 = 13,
    kSpeakerTfc                 = 14,
    kSpeakerTfr                 = 15,
    kSpeakerTrl                 = 16,
    kSpeakerTrc                 = 17,
    kSpeakerTrr                 = 18,
    kSpeakerLfe2                = 19
};

// VstEvent::type, and effSetProcessPrecision's value for doubles.
enum
{
    kVstMidiType                = 1,
    kVstSysExType               = 6,
    kVstProcessPrecision64      = 1
};

// Text lengths without the terminating zero.
enum
{
    kVstMaxLabelLen             = 64,
    kVstMaxShortLabelLen        = 8
};

//==============================================================================
struct AEffect
{
    VstInt32 magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 numInputs;
    VstInt32 numOutputs;
    VstInt32 flags;
    VstIntPtr resvd1;
    VstIntPtr resvd2;
    VstInt32 initialDelay;
    VstInt32 realQualities;
    VstInt32 offQualities;
    float ioRatio;
    void* object;
    void* user;
    VstInt32 uniqueID;
    VstInt32 version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

struct VstTimeInfo
{
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    VstInt32 timeSigNumerator;
    VstInt32 timeSigDenominator;
    VstInt32 smpteOffset;       // in 1/80 of a frame
    VstInt32 smpteFrameRate;
    VstInt32 samplesToNextClock;
    VstInt32 flags;
};

struct VstEvent
{
    VstInt32 type;
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    char data[16];
};

// Allocated with room for numEvents pointers.
struct VstEvents
{
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[2];
};

struct VstMidiEvent
{
    VstInt32 type;
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 noteLength;
    VstInt32 noteOffset;
    unsigned char midiData[4];
    signed char detune;
    signed char noteOffVelocity;
    signed char reserved1;
    signed char reserved2;
};

struct VstMidiSysexEvent
{
    VstInt32 type;
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 dumpBytes;
    VstIntPtr resvd1;
    char* sysexDump;
    VstIntPtr resvd2;
};

struct VstPinProperties
{
    char label[kVstMaxLabelLen];
    VstInt32 flags;
    VstInt32 arrangementType;
    char shortLabel[kVstMaxShortLabelLen];
    char future[48];
};

struct VstSpeakerProperties
{
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];
    VstInt32 type;
    char future[28];
};

// Allocated with room for numChannels speakers, and never fewer than 8.
struct VstSpeakerArrangement
{
    VstInt32 type;
    VstInt32 numChannels;
    VstSpeakerProperties speakers[8];
};

struct ERect
{
    short top;
    short left;
    short bottom;
    short right;
};

//==============================================================================
// The layouts of 64-bit hosts.
#if INTPTR_MAX == INT64_MAX
static_assert (sizeof (AEffect) == 192 && offsetof (AEffect, flags) == 56 && offsetof (AEffect, initialDelay) == 80
                 && offsetof (AEffect, object) == 96 && offsetof (AEffect, uniqueID) == 112
                 && offsetof (AEffect, processReplacing) == 120 && offsetof (AEffect, future) == 136,
               "AEffect");
static_assert (sizeof (VstTimeInfo) == 88 && offsetof (VstTimeInfo, timeSigNumerator) == 64
                 && offsetof (VstTimeInfo, smpteOffset) == 72 && offsetof (VstTimeInfo, smpteFrameRate) == 76
                 && offsetof (VstTimeInfo, flags) == 84,
               "VstTimeInfo");
static_assert (offsetof (VstEvents, events) == 16, "VstEvents");
static_assert (sizeof (VstMidiEvent) == 32 && offsetof (VstMidiEvent, midiData) == 24
                 && offsetof (VstMidiEvent, noteOffVelocity) == 29,
               "VstMidiEvent");
static_assert (sizeof (VstMidiSysexEvent) == 48 && offsetof (VstMidiSysexEvent, dumpBytes) == 16
                 && offsetof (VstMidiSysexEvent, sysexDump) == 32,
               "VstMidiSysexEvent");
static_assert (sizeof (VstPinProperties) == 128 && offsetof (VstPinProperties, flags) == 64
                 && offsetof (VstPinProperties, arrangementType) == 68 && offsetof (VstPinProperties, shortLabel) == 72,
               "VstPinProperties");
static_assert (sizeof (VstSpeakerProperties) == 112 && offsetof (VstSpeakerProperties, name) == 16
                 && offsetof (VstSpeakerProperties, type) == 80,
               "VstSpeakerProperties");
static_assert (sizeof (VstSpeakerArrangement) == 904 && offsetof (VstSpeakerArrangement, speakers) == 8,
               "VstSpeakerArrangement");
static_assert (sizeof (ERect) == 8 && offsetof (ERect, right) == 6, "ERect");
#endif
