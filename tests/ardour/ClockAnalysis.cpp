// Checks a clock signal that Ardour exported against what the plug-in should
// have written for the session's tempo, start position and bar length.
//
//   clock_analysis wav=FILE rate=HZ bpm=TEMPO block=SAMPLES start=SAMPLE index=BAR
//                  [loop=START:END]
//
// start is the session sample at which the file begins; index is the plug-in's
// bar-length setting (a bar of index + 2 eighth notes). The session is 4/4 from
// sample 0. With loop, the file was recorded while Ardour looped the session
// range START..END (samples), starting the roll at START.
//
// Prints the figures measured, and every fault found; exits 1 on a fault.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace
{
    constexpr float idle = 0.0001f;
    constexpr float pulseFirst = 0.7491700053215027f;
    constexpr float pulsePeak = 0.9404999613761902f;
    constexpr int pulseLength = 97;

    constexpr double hostBarQuarters = 4.0;
    constexpr double ticksPerQuarter = 24.0;

    // Ardour hands out the block's position in whole 1/1920 quarter notes.
    constexpr double hostPositionResolution = 1.0 / 1920.0;

    bool isIdle (float x)  { return x == idle || x == -idle; }

    struct Wav
    {
        int rate = 0;
        std::vector<std::vector<float>> channels;
    };

    uint32_t readLe (const unsigned char* p, int bytes)
    {
        uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | p[i];
        return v;
    }

    // Ardour's 32-bit float WAV: a fmt chunk of IEEE floats (plain or extensible), then data.
    bool readWav (const std::string& path, Wav& wav, std::string& error)
    {
        std::ifstream in (path, std::ios::binary);
        std::vector<unsigned char> bytes ((std::istreambuf_iterator<char> (in)), std::istreambuf_iterator<char>());

        if (bytes.size() < 12 || std::memcmp (bytes.data(), "RIFF", 4) != 0 || std::memcmp (bytes.data() + 8, "WAVE", 4) != 0)
        {
            error = "not a WAV file";
            return false;
        }

        int channels = 0, bits = 0, format = 0;

        for (size_t pos = 12; pos + 8 <= bytes.size();)
        {
            const auto* chunk = bytes.data() + pos;
            const auto size = (size_t) readLe (chunk + 4, 4);
            const auto* body = chunk + 8;

            if (pos + 8 + size > bytes.size())
                break;

            if (std::memcmp (chunk, "fmt ", 4) == 0)
            {
                format = (int) readLe (body, 2);
                channels = (int) readLe (body + 2, 2);
                wav.rate = (int) readLe (body + 4, 4);
                bits = (int) readLe (body + 14, 2);

                if (format == 0xfffe && size >= 26)
                    format = (int) readLe (body + 24, 2);
            }
            else if (std::memcmp (chunk, "data", 4) == 0)
            {
                if (format != 3 || bits != 32 || channels < 1)
                {
                    error = "not 32-bit float samples";
                    return false;
                }

                const auto frames = size / (4 * (size_t) channels);
                wav.channels.assign ((size_t) channels, std::vector<float> (frames));

                for (size_t f = 0; f < frames; ++f)
                    for (int c = 0; c < channels; ++c)
                        std::memcpy (&wav.channels[(size_t) c][f], body + 4 * (f * (size_t) channels + (size_t) c), 4);

                return true;
            }

            pos += 8 + size + (size & 1);
        }

        error = "no sample data";
        return false;
    }

    //==============================================================================
    /** Session positions, in quarter notes, at which the clock should begin pulses
        when the transport rolls from `from` up to `to`.

        The clock waits for tick 0 or tick 6 of its own bar, counted from the host's
        last bar line; a start at tick 6 pulses every half tick until tick 12, and
        then, as after a start at tick 0, once per tick. */
    std::vector<double> expectedPulses (double from, double to, double barQuarters, std::string& error)
    {
        const double tick = 1.0 / ticksPerQuarter;
        double start = -1.0;
        bool startsAtTick6 = false;

        const double firstHostBar = std::floor (from / hostBarQuarters) * hostBarQuarters;

        for (double hostBar = firstHostBar; start < 0.0 && hostBar < to; hostBar += hostBarQuarters)
        {
            for (double bar = hostBar; start < 0.0 && bar < hostBar + hostBarQuarters; bar += barQuarters)
            {
                for (int startTick : { 0, 6 })
                {
                    const double at = bar + startTick * tick;

                    // A roll that begins inside a start tick starts the clock without
                    // a pulse there; the scenarios begin on or away from one.
                    if (from > at && from < at + tick)
                    {
                        error = "the roll begins inside a start tick";
                        return {};
                    }

                    if (at >= from && at < to && start < 0.0)
                    {
                        start = at;
                        startsAtTick6 = (startTick == 6);
                    }
                }
            }
        }

        std::vector<double> pulses;

        if (start < 0.0)
            return pulses;

        if (startsAtTick6)
            for (int i = 0; i < 12 && start + i * tick / 2.0 < to; ++i)
                pulses.push_back (start + i * tick / 2.0);

        const double single = startsAtTick6 ? start + 6 * tick : start;

        for (int i = 0; single + i * tick < to; ++i)
            pulses.push_back (single + i * tick);

        return pulses;
    }

    //==============================================================================
    struct Checker
    {
        int faults = 0;

        void fault (const std::string& what)
        {
            if (++faults <= 20)
                std::cout << "fault: " << what << "\n";
        }
    };

    struct Pulse
    {
        int start = 0;
        int length = 0;
    };

    /** Finds the pulses, checks their shape, and checks that every other sample is
        idle, alternating, the first idle sample of each call to the plug-in being +.
        Ardour calls it once per block, and once more where a loop pass begins. */
    std::vector<Pulse> readPulses (const std::vector<float>& signal, int block, int pass, Checker& check)
    {
        std::vector<Pulse> pulses;
        int lastIdle = -1;

        const auto callStartsBetween = [&] (int after, int at)
        {
            return after / block != at / block || (pass > 0 && after / pass != at / pass);
        };

        for (int i = 0; i < (int) signal.size();)
        {
            if (isIdle (signal[(size_t) i]))
            {
                const bool newBlock = lastIdle < 0 || callStartsBetween (lastIdle, i);
                const float expected = newBlock ? idle : -signal[(size_t) lastIdle];

                if (signal[(size_t) i] != expected)
                    check.fault ("idle sample " + std::to_string (i) + " is " + std::to_string (signal[(size_t) i])
                                 + ", the alternation expects " + std::to_string (expected));

                lastIdle = i++;
                continue;
            }

            Pulse pulse { i, 0 };

            while (i < (int) signal.size() && ! isIdle (signal[(size_t) i]))
                ++i;

            pulse.length = i - pulse.start;
            const bool complete = i < (int) signal.size();
            const auto* p = signal.data() + pulse.start;

            if (complete && pulse.length != pulseLength)
                check.fault ("pulse at sample " + std::to_string (pulse.start) + " lasts "
                             + std::to_string (pulse.length) + " samples");
            else if (pulse.length >= 2 && (p[0] != pulseFirst || p[1] != pulsePeak))
                check.fault ("pulse at sample " + std::to_string (pulse.start) + " starts "
                             + std::to_string (p[0]) + ", " + std::to_string (p[1]));
            else if (complete && p[pulseLength - 1] != 0.0f)
                check.fault ("pulse at sample " + std::to_string (pulse.start) + " does not end at 0");

            pulses.push_back (pulse);
        }

        return pulses;
    }

    /** Pairs each expected onset (in file samples) with a measured pulse. */
    void compareOnsets (const std::vector<Pulse>& pulses, const std::vector<double>& expected,
                        double tolerance, Checker& check, double& earliest, double& latest)
    {
        earliest = latest = 0.0;

        if (pulses.size() != expected.size())
            check.fault (std::to_string (pulses.size()) + " pulses, " + std::to_string (expected.size()) + " expected");

        for (size_t i = 0; i < std::min (pulses.size(), expected.size()); ++i)
        {
            const double offset = pulses[i].start - expected[i];
            earliest = std::min (earliest, offset);
            latest = std::max (latest, offset);

            if (std::abs (offset) > tolerance)
            {
                char text[160];
                std::snprintf (text, sizeof (text), "pulse %zu at sample %d, expected at %.2f (offset %.2f, tolerance %.2f)",
                               i, pulses[i].start, expected[i], offset, tolerance);
                check.fault (text);
            }
        }
    }
}

//==============================================================================
int main (int argc, char** argv)
{
    std::map<std::string, std::string> opt;

    for (int i = 1; i < argc; ++i)
    {
        const std::string a = argv[i];
        const auto eq = a.find ('=');

        if (eq != std::string::npos)
            opt[a.substr (0, eq)] = a.substr (eq + 1);
    }

    for (const char* key : { "wav", "rate", "bpm", "block", "start", "index" })
    {
        if (opt.count (key) == 0)
        {
            std::cerr << "usage: clock_analysis wav= rate= bpm= block= start= index= [loop=START:END]\n";
            return 2;
        }
    }

    const double rate = std::stod (opt["rate"]);
    const double bpm = std::stod (opt["bpm"]);
    const int block = std::stoi (opt["block"]);
    const double startSample = std::stod (opt["start"]);
    const double barQuarters = (std::stod (opt["index"]) + 2.0) / 2.0;
    const double samplesPerQuarter = rate * 60.0 / bpm;

    Wav wav;
    std::string error;

    if (! readWav (opt["wav"], wav, error))
    {
        std::cout << "fault: " << opt["wav"] << ": " << error << "\n";
        return 1;
    }

    Checker check;

    if (wav.rate != (int) rate)
        check.fault ("the file runs at " + std::to_string (wav.rate) + " Hz");

    const auto& signal = wav.channels[0];

    for (size_t c = 1; c < wav.channels.size(); ++c)
        if (wav.channels[c] != signal)
            check.fault ("channel " + std::to_string (c) + " differs from channel 0");

    // A loop of START:END, in session samples; its passes follow each other in the file.
    double loopStart = 0.0, loopEnd = 0.0;

    if (opt.count ("loop") != 0)
    {
        const auto colon = opt["loop"].find (':');
        loopStart = std::stod (opt["loop"].substr (0, colon));
        loopEnd = std::stod (opt["loop"].substr (colon + 1));
    }

    const int passLength = (int) (loopEnd - loopStart);
    const auto pulses = readPulses (signal, block, passLength, check);

    // Each block starts from Ardour's position, off the exact one by up to half of
    // its resolution; the samples of the block then step exactly. A pulse begins on
    // the first sample at or after its tick, which adds up to one sample more.
    const double tolerance = samplesPerQuarter * hostPositionResolution / 2.0 + 1.0;

    std::vector<double> expected;
    const double fileQuarters = (double) signal.size() / samplesPerQuarter;

    if (opt.count ("loop") == 0)
    {
        const double from = startSample / samplesPerQuarter;

        // Only pulses that fit the file whole, wherever within the tolerance they fall.
        for (double at : expectedPulses (from, from + fileQuarters, barQuarters, error))
        {
            const double sample = (at - from) * samplesPerQuarter;

            if (sample + pulseLength + tolerance < (double) signal.size())
                expected.push_back (sample);
        }
    }

    else
    {
        const double from = loopStart / samplesPerQuarter, to = loopEnd / samplesPerQuarter;
        const auto firstPass = expectedPulses (from, to, barQuarters, error);

        // After a jump back, a running clock goes on pulsing on every tick of the
        // loop. A waiting one counts the jump's block from the last whole quarter
        // note, so a loop that starts on one starts the clock there, at tick 0.
        const bool runsAfterJump = ! firstPass.empty() || from == std::floor (from);

        for (int pass = 0; pass * passLength < (int) signal.size(); ++pass)
        {
            std::vector<double> inPass = firstPass;

            if (pass > 0)
            {
                inPass.clear();

                for (int tick = 0; runsAfterJump && from + tick / ticksPerQuarter < to; ++tick)
                    inPass.push_back (from + tick / ticksPerQuarter);
            }

            for (double at : inPass)
            {
                const double sample = pass * passLength + (at - from) * samplesPerQuarter;

                if (sample + pulseLength + tolerance < (double) signal.size())
                    expected.push_back (sample);
            }
        }
    }

    if (! error.empty())
    {
        std::cout << "fault: " << error << "\n";
        return 1;
    }

    double earliest = 0.0, latest = 0.0;
    std::vector<Pulse> whole (pulses.begin(), pulses.end());

    while (! whole.empty() && whole.back().start + pulseLength + tolerance >= (double) signal.size())
        whole.pop_back();

    compareOnsets (whole, expected, tolerance, check, earliest, latest);

    std::printf ("%zu samples at %d Hz, %zu pulses, first at sample %d, offsets from the grid %.2f to %.2f samples"
                 " (tolerance %.2f)\n",
                 signal.size(), wav.rate, whole.size(), whole.empty() ? -1 : whole.front().start,
                 earliest, latest, tolerance);

    if (check.faults > 0)
        std::cout << check.faults << " faults\n";

    return check.faults == 0 ? 0 : 1;
}
