// The VST 2 interface the plug-in is built against: Debian's fst header, with
// the opcodes fst still marks as unconfirmed given the numbers hosts send.
#pragma once

// fst declares these four with placeholder values; park its names so that the
// real numbers below can take them.
#define effGetTailSize              fst_placeholder_effGetTailSize
#define effKeysRequired             fst_placeholder_effKeysRequired
#define effGetNumMidiInputChannels  fst_placeholder_effGetNumMidiInputChannels
#define effGetNumMidiOutputChannels fst_placeholder_effGetNumMidiOutputChannels

// fst marks its unconfirmed names as deprecated; the framework's wrapper uses
// many of them, and that is nothing this project can act on.
#define FST2VST 1
#define FST_DONT_DEPRECATE_UNKNOWN 1
#include <fst.h>

#undef effGetTailSize
#undef effKeysRequired
#undef effGetNumMidiInputChannels
#undef effGetNumMidiOutputChannels

enum
{
    effGetTailSize              = 52,
    effKeysRequired             = 57,
    effGetNumMidiInputChannels  = 78,
    effGetNumMidiOutputChannels = 79
};
