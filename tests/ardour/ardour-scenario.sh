#!/usr/bin/env bash
# Runs one scenario of the plug-in inside Ardour, headless, and checks the audio
# Ardour exports:
#   ardour-scenario.sh PLUGIN ANALYSIS WORKDIR SCENARIO [ARGS...]
#     signal RATE BPM BLOCK   the clock from the session start, 8 s
#     start INDEX             rolling from inside the first bar, bar length set
#                             through Ardour ("default" leaves it alone)
#     saved INDEX             bar length set and saved; a second Ardour process
#                             loads the session and plays it
#     loop START END          the clock recorded while Ardour loops START..END
# Every Ardour run gets a private folder under WORKDIR: its own copy of the
# plug-in, scan cache and settings, so nothing of the user's Ardour takes part.
set -euo pipefail

plugin="$1" analysis="$2" work="$3" scenario="$4"
shift 4
here="$(cd "$(dirname "$0")" && pwd)"

# Each Ardour process gets this long; a hung engine fails the step instead of the test.
ardour_seconds=60

fail() { echo "FAIL $1: $2" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/vst" "$work/cache" "$work/config/ardour7/export" "$work/home" "$work/wav"

export XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config" HOME="$work/home"
export LXVST_PATH="$work/vst"
unset VST_PATH VST3_PATH LXVST_PLUGINS

# Keeps the framework inside the plug-in headless.
export DISPLAY=:99999

# Ardour 7.3's AVX-512F mixing routine overruns the export buffer and aborts the
# process later; give it every other instruction set the CPU has.
if grep -qw avx /proc/cpuinfo && grep -qw fma /proc/cpuinfo; then
    export ARDOUR_FPU_FLAGS=95
else
    export ARDOUR_FPU_FLAGS=15
fi

cp "$here/export-float.format" "$here/export-float.preset" "$work/config/ardour7/export/"

# Ardour trusts a cache entry only when it is newer, in whole seconds, than the
# plug-in, and scans only files named *.so.
copy="$work/vst/tessaravon.so"
cp "$plugin" "$copy"
touch -d '-2 minutes' "$copy"

ardour_lua="${ARDOUR_LUA:-$(command -v ardour7-lua)}" || fail scan "ardour7-lua is not installed"
ardour_dll="$(sed -n 's/^export ARDOUR_DLL_PATH=//p' "$ardour_lua")"

LD_LIBRARY_PATH="$ardour_dll" timeout --kill-after=10 "$ardour_seconds" "$ardour_dll/ardour-vst-scanner" -f "$copy" \
    > "$work/scan.log" 2>&1 || { cat "$work/scan.log"; fail scan "ardour-vst-scanner failed on $copy"; }
ls "$work/cache/ardour7/vst/"*.v2i > /dev/null 2>&1 || { cat "$work/scan.log"; fail scan "no scan cache written"; }

# ardour RUN-NAME key=value...: one Ardour process running session.lua.
ardour() {
    local log="$work/$1.log"
    shift
    local status attempt
    for attempt in 1 2 3; do
        status=0
        timeout --kill-after=10 "$ardour_seconds" "$ardour_lua" "$here/session.lua" plugin="$copy" "$@" \
            > "$log" 2>&1 || status=$?

        # Ardour 7.3 under ardour7-lua now and then registers a new track's output
        # port twice and aborts, with its own synth on the track as well. That is
        # set-up, before the plug-in plays: make the session again.
        if [ "$status" -ne 0 ] && grep -q 'Port already exists' "$log" && [[ " $* " == *" mode=new "* ]]; then
            echo "Ardour aborted registering a port while making the session (try $attempt); again"
            local arg
            for arg in "$@"; do [[ "$arg" == dir=* ]] && rm -rf "${arg#dir=}"; done
            continue
        fi
        break
    done

    if [ "$status" -ne 0 ]; then
        cat "$log"
        local step
        step="$(sed -n 's/^FAIL \([^:]*\):.*/\1/p' "$log" | head -n 1)"
        # timeout ends a late run with 124, or with 137 when it has to kill it.
        { [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; } && fail "${step:-session}" "Ardour did not finish within $ardour_seconds s"
        [ -n "$step" ] && exit 1
        fail session "Ardour ended with status $status"
    fi
    grep -q '^done$' "$log" || { cat "$log"; fail session "Ardour ended early"; }
}

exported() {
    local wav
    wav="$(ls "$work/wav/"*.wav 2> /dev/null | head -n 1)"
    [ -n "$wav" ] || fail render "Ardour exported no file"
    echo "$wav"
}

analyse() {
    "$analysis" "$@" || fail analysis "the exported clock is wrong (see above)"
}

# Host value of a bar-length index, as Ardour is given it.
param_of() { awk -v i="$1" 'BEGIN { printf "%.9g", i / 30 }'; }

# play_saved RUN-NAME SESSION-DIR WHAT: a new Ardour process loads the saved
# session, must read back the parameter value saved in $set_value, and plays from
# 2.6 quarter notes with the bar length of $index.
play_saved() {
    ardour "$1" mode=load dir="$2" name=clock rate=48000 block=1024 \
        start=62400 length=240000 wav="$work/wav"
    local loaded_value wav
    loaded_value="$(grep '^param=' "$work/$1.log")"
    [ "$loaded_value" = "$set_value" ] \
        || fail session "$3 reads ${loaded_value#param=}, saved was ${set_value#param=}"
    wav="$(exported)"
    analyse wav="$wav" rate=48000 bpm=120 block=1024 start=62400 index="$index"
}

case "$scenario" in
    signal)
        rate="$1" bpm="$2" block="$3"
        ardour render mode=new dir="$work/session" name=clock rate="$rate" block="$block" bpm="$bpm" \
            start=0 length=$((rate * 8)) wav="$work/wav"
        wav="$(exported)"
        analyse wav="$wav" rate="$rate" bpm="$bpm" block="$block" start=0 index=6
        ;;
    start)
        # 120 bpm at 48 kHz; the roll begins 2.6 quarter notes into the first bar.
        index="$1"
        set_param=()
        if [ "$index" = default ]; then index=6; else set_param=(param="$(param_of "$index")"); fi
        ardour render mode=new dir="$work/session" name=clock rate=48000 block=1024 bpm=120 "${set_param[@]}" \
            start=62400 length=240000 wav="$work/wav"
        wav="$(exported)"
        analyse wav="$wav" rate=48000 bpm=120 block=1024 start=62400 index="$index"
        ;;
    saved)
        # Saved with a bar length, then played by new Ardour processes from 2.6
        # quarter notes: once as saved, once with Ardour's own copy of the
        # parameter value removed, so that only the plug-in's chunk can restore it.
        index="$1"
        ardour save mode=new dir="$work/session" name=clock rate=48000 block=1024 bpm=120 \
            param="$(param_of "$index")" save=1
        set_value="$(grep '^param=' "$work/save.log")"

        play_saved load "$work/session" "the loaded session"

        cp -r "$work/session" "$work/chunk-only"
        rm -f "$work/chunk-only/clock.ardour.bak" "$work/wav/"*
        grep -q '<chunk program="0">' "$work/chunk-only/clock.ardour" \
            || fail session "Ardour saved no chunk for the plug-in"
        sed -i '/<Controllable name="Time Signature"/d' "$work/chunk-only/clock.ardour"
        play_saved chunk "$work/chunk-only" "restored from the chunk alone, the session"
        ;;
    loop)
        # Ardour loops START..END (samples, at 120 bpm and 48 kHz), recording the
        # clock on a second track, until it has jumped back three times. Lua can
        # make a range marker but no loop range, so the saved session's marker
        # becomes the loop before a second process plays it.
        from="$1" to="$2"
        ardour make mode=new dir="$work/session" name=clock rate=48000 block=1024 bpm=120 \
            capture=1 range="$from:$to" save=1
        grep -q 'flags="IsRangeMarker"' "$work/session/clock.ardour" || fail session "Ardour saved no range marker"
        sed -i 's/flags="IsRangeMarker"/flags="IsAutoLoop"/' "$work/session/clock.ardour"
        ardour loop mode=load dir="$work/session" name=clock rate=48000 block=1024 loop=3
        take="$(sed -n 's/^take=//p' "$work/loop.log" | head -n 1)"
        wav="$(ls "$work/session/interchange/"*/audiofiles/"$take" 2> /dev/null | head -n 1)"
        [ -n "$take" ] && [ -f "$wav" ] || fail render "no recording of the loop"
        analyse wav="$wav" rate=48000 bpm=120 block=1024 start="$from" index=6 loop="$from:$to"
        ;;
    *)
        fail session "unknown scenario $scenario"
        ;;
esac
