#include "PluginProcessor.h"
#include "PluginEditor.h"

#include <cmath>

namespace
{
    // One pulse, played one entry per output sample at every sample rate.
    constexpr double sample44100[] =
    {
        0.7886, 0.99,   0.8993, 0.9624, 0.916,  0.9493, 0.9269, 0.9406, 0.9336, 0.9359,
        0.9365, 0.9345, 0.9368, 0.9347, 0.9364, 0.9351, 0.9358, 0.9358, 0.9358, 0.9358,
        0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9328, 0.9358,
        0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358,
        0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358,
        0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358, 0.9358,
        0.9358, 0.9358, 0.9358, 0.9358, 0.933,  0.9293, 0.9239, 0.9162, 0.9053, 0.8905,
        0.8709, 0.8462, 0.8161, 0.7803, 0.7391, 0.6928, 0.6422, 0.588,  0.5314, 0.4733,
        0.4152, 0.3582, 0.3035, 0.2521, 0.205,  0.1628, 0.126,  0.0948, 0.0691, 0.0486,
        0.0329, 0.0213, 0.0131, 0.0074, 0.0034, 0.0003, 0.0
    };

    constexpr uint32_t lastPulseEntry = 96;
    static_assert (std::size (sample44100) == lastPulseEntry + 1);

    // The grid constants are single-precision values widened to double, so a tick
    // is a hair longer than 1/24 of a quarter note.
    constexpr double tickLength     = (double) (1.0f / 24.0f);
    constexpr double halfTickLength = (double) (1.0f / 48.0f);
    constexpr double pulseGain      = (double) 0.95f;
    constexpr float  idleLevel      = 0.0001f;

    constexpr double ticksPerQuarterNote = 24.0;
    constexpr double detectionWindowSamples = 20.0;
    constexpr int32_t doubleRateEndTick = 12;

    constexpr double noBlockYet = -std::numeric_limits<double>::max();

    constexpr float parameterSteps = 30.0f;

    // floor() results can be NaN or far outside 32 bits with hostile host values;
    // those become a tick that is neither a start tick nor before the catch-up end.
    int32_t toTick (double tick) noexcept
    {
        if (! (tick > (double) std::numeric_limits<int32_t>::min()))
            return std::numeric_limits<int32_t>::min();

        if (tick >= (double) std::numeric_limits<int32_t>::max())
            return std::numeric_limits<int32_t>::max();

        return (int32_t) tick;
    }

    // toTick (floor (ticks)) without the call to floor: toTick truncates, which is
    // floor for every ticks >= 0, and a floor >= INT32_MAX means ticks >= INT32_MAX.
    // Only NaN is left for the library.
    int32_t tickOf (double ticks) noexcept
    {
        return ticks >= 0.0 ? toTick (ticks) : toTick (std::floor (ticks));
    }

    // tickLength is a float: 11184811 * 2^-28, a 24-bit significand. Every multiple
    // k * tickLength with k <= 2^29 needs at most 53 bits, so it is an exact double.
    static_assert (tickLength * 268435456.0 == 11184811.0);
    constexpr double exactTickCells = 536870912.0;

    // Twice the half tick is the tick, exactly.
    static_assert (2.0 * halfTickLength == tickLength);

    // The bar is n / 2 quarter notes, n = index + 2 < 2^33; k * n / 2 is an exact
    // double while k * n <= 2^53.
    double exactBarCells (uint32_t index) noexcept
    {
        return (double) ((uint64_t { 1 } << 53) / ((uint64_t) index + 2));
    }

    double fractionalPart (double value) noexcept
    {
        return value - std::trunc (value);
    }
}

//==============================================================================
/** fmod (position, length) for positions >= 0, found by a subtraction while the
    position stays within one cell [k * length, (k + 1) * length) of the grid.

    fmod is exact: it is position - k * length, with k the number of whole lengths
    in the position. While both bounds of the cell are exact doubles, comparing
    with them decides k, and the remainder, being representable, comes out of the
    subtraction exactly. Beyond exactCells cells the products round: from there
    on, and for an infinite position, the library's fmod answers.
*/
struct QuernelAudioProcessor::Grid
{
    Grid (double cellLength, double exactCells) noexcept
        : length (cellLength), cellLimit (exactCells) {}

    double phaseOf (double position) noexcept
    {
        if (! holds (position) && ! moveTo (position))
            return std::fmod (position, length);

        return position - cellStart;
    }

    /** Where the exact cell that holds the position ends; -inf past the exact range. */
    double endOfCell (double position) const noexcept
    {
        return holds (position) ? cellEnd : -std::numeric_limits<double>::infinity();
    }

private:
    bool holds (double position) const noexcept
    {
        return position >= cellStart && position < cellEnd;
    }

    bool moveTo (double position) noexcept
    {
        const auto estimate = position / length;

        if (! (estimate < cellLimit - 1.0))
            return false;

        // The rounded quotient's whole part is k. Rounding never takes it below a
        // whole number it reaches, nor up to k + 1: with (k + 1) * length exact, the
        // position lies at least one spacing of doubles below it, and that gap over
        // length is more than half the spacing of doubles below k + 1.
        const auto k = (double) (int64_t) estimate;

        cellStart = k * length;
        cellEnd = (k + 1.0) * length;
        return true;
    }

    const double length, cellLimit;
    double cellStart = 0.0, cellEnd = 0.0;
};

//==============================================================================
QuernelAudioProcessor::QuernelAudioProcessor() = default;

QuernelAudioProcessor::~QuernelAudioProcessor() = default;

//==============================================================================
const juce::String QuernelAudioProcessor::getName() const
{
    return JucePlugin_Name;
}

void QuernelAudioProcessor::prepareToPlay (double newSampleRate, int samplesPerBlock)
{
    sampleRate = newSampleRate;

    // At least one sample, so that a host announcing no block size still gets
    // its blocks rendered, piece by piece.
    pulseBuffer = std::vector<float> ((size_t) juce::jmax (1, samplesPerBlock), 0.0f);

    lastBlockStart = noBlockYet;
}

void QuernelAudioProcessor::releaseResources() {}

QuernelAudioProcessor::HostTime QuernelAudioProcessor::readHostTime() const
{
    HostTime time;

    if (auto* head = getPlayHead())
    {
        if (const auto position = head->getPosition())
        {
            time.bpm                       = position->getBpm().orFallback (0.0);
            time.ppqPosition               = position->getPpqPosition().orFallback (0.0);
            time.ppqPositionOfLastBarStart = position->getPpqPositionOfLastBarStart().orFallback (0.0);
            time.isPlaying                 = position->getIsPlaying() || position->getIsRecording();
            time.isLooping                 = position->getIsLooping();
        }
    }

    return time;
}

double QuernelAudioProcessor::startPosition (const HostTime& time)
{
    const auto ppq = time.ppqPosition;
    const bool loopBack = lastBlockStart > ppq && time.isLooping;
    const bool repeated = ppq == lastBlockStart;

    lastBlockStart = ppq;

    if (loopBack)
    {
        // Count this block's ticks from the last whole quarter note, so a running
        // clock keeps its grid across the jump.
        if (ppq >= 0.0)
        {
            loopWrapped = true;
            return fractionalPart (ppq);
        }

        return ppq;
    }

    // A host that hands out the same position again gets the clock continued from
    // where the last block ended, which is already measured from the bar line.
    auto position = repeated ? resumePosition : ppq - time.ppqPositionOfLastBarStart;

    if (loopWrapped)
    {
        if (position < 0.0)
            position = fractionalPart (ppq);

        loopWrapped = false;
    }

    return position;
}

void QuernelAudioProcessor::renderPlaying (float* out, int numSamples, double& blockPosition, double step,
                                           Grid& ticks, Grid& bars, double window, bool& blockIdleFlip) noexcept
{
    // In locals the two stay in registers instead of being stored after every sample.
    auto position = blockPosition;
    auto idleFlip = blockIdleFlip;

    const auto tickInBar = [&bars] (double p) { return tickOf (bars.phaseOf (p) * ticksPerQuarterNote); };

    // Between pulses at the normal rate, a tick phase past the window stays past it
    // until the next tick: it only grows while the position rises, and a falling
    // position has a negative window, which no phase is within. So every sample
    // before that tick is idle too, and needs no grid arithmetic.
    auto idleUntil = -std::numeric_limits<double>::infinity();

    for (int i = 0; i < numSamples; ++i, position += step)
    {
        if (position >= 0.0 && ! (position < idleUntil))
        {
            bool counting = true;

            if (clockRunning)
            {
                // The bar matters to a running clock only to end a catch-up.
                if (doubleRate && tickInBar (position) >= doubleRateEndTick)
                    doubleRate = false;
            }
            else if (const auto tick = tickInBar (position); tick == 0 || tick == 6)
            {
                // A start a sixteenth into the bar runs at twice the rate until
                // tick 12, catching up with a start on the bar line.
                pulseIndex = 0;
                clockRunning = true;
                doubleRate = (tick == 6);
            }
            else
            {
                counting = false;
            }

            if (counting)
            {
                auto tickPhase = ticks.phaseOf (position);

                // fmod (tickPhase, halfTickLength): tickPhase is below two half
                // ticks, and from one half tick on the difference is exact.
                if (doubleRate && tickPhase >= halfTickLength)
                    tickPhase -= halfTickLength;

                if (tickPhase <= window)
                {
                    pulseActive = true;
                }
                else if (! pulseActive)
                {
                    pulseIndex = 0;

                    if (! doubleRate)
                        idleUntil = ticks.endOfCell (position);
                }

                if (pulseActive)
                {
                    if (pulseIndex > lastPulseEntry)
                    {
                        pulseActive = false;
                        pulseIndex = 0;
                    }
                    else
                    {
                        out[i] = (float) (sample44100[pulseIndex++] * pulseGain);
                        continue;
                    }
                }
            }
        }

        out[i] = idleFlip ? -idleLevel : idleLevel;
        idleFlip = ! idleFlip;
    }

    blockPosition = position;
    blockIdleFlip = idleFlip;
}

void QuernelAudioProcessor::copyToOutputs (juce::AudioBuffer<float>& buffer, int outputCount,
                                           int offset, int numSamples) const
{
    for (int channel = 0; channel < outputCount; ++channel)
        buffer.copyFrom (channel, offset, pulseBuffer.data(), numSamples);
}

void QuernelAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const auto time = readHostTime();

    buffer.clear();

    const int numSamples = buffer.getNumSamples();
    const int outputCount = juce::jmin (getTotalNumOutputChannels(), buffer.getNumChannels());

    if (pulseBuffer.empty())
        return;

    // Blocks longer than the prepared size are built piece by piece in the buffer.
    const int pieceLength = (int) pulseBuffer.size();

    if (! time.isPlaying)
    {
        lastBlockStart = noBlockYet;
        clockRunning = false;

        for (int offset = 0; offset < numSamples; offset += pieceLength)
        {
            const int length = juce::jmin (pieceLength, numSamples - offset);

            for (int j = 0; j < length; ++j)
                pulseBuffer[(size_t) j] = ((offset + j) % 2 == 0) ? -idleLevel : idleLevel;

            copyToOutputs (buffer, outputCount, offset, length);
        }

        return;
    }

    const auto index = timeSignatureIndex.load();
    auto position = startPosition (time);

    const auto step = time.bpm / (sampleRate * 60.0);
    const auto barLength = ((double) index + 2.0) * 12.0 / 24.0;
    const auto window = detectionWindowSamples * step;
    bool idleFlip = false;

    Grid ticks (tickLength, exactTickCells), bars (barLength, exactBarCells (index));

    for (int offset = 0; offset < numSamples; offset += pieceLength)
    {
        const int length = juce::jmin (pieceLength, numSamples - offset);
        renderPlaying (pulseBuffer.data(), length, position, step, ticks, bars, window, idleFlip);
        copyToOutputs (buffer, outputCount, offset, length);
    }

    resumePosition = position;
}

//==============================================================================
double QuernelAudioProcessor::getTailLengthSeconds() const   { return 0.0; }
bool QuernelAudioProcessor::acceptsMidi() const              { return true; }
bool QuernelAudioProcessor::producesMidi() const             { return false; }

juce::AudioProcessorEditor* QuernelAudioProcessor::createEditor()
{
    return new QuernelEditor (*this);
}

bool QuernelAudioProcessor::hasEditor() const                { return true; }

//==============================================================================
// One program, named after the product, that can be neither switched nor renamed.
int QuernelAudioProcessor::getNumPrograms()                  { return 1; }
int QuernelAudioProcessor::getCurrentProgram()               { return 0; }
void QuernelAudioProcessor::setCurrentProgram (int)          {}

const juce::String QuernelAudioProcessor::getProgramName (int)
{
    return JucePlugin_Name;
}

void QuernelAudioProcessor::changeProgramName (int, const juce::String&) {}

//==============================================================================
void QuernelAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    const auto index = timeSignatureIndex.load();

    destData.setSize (1);
    destData[0] = (char) (uint8_t) index;
}

void QuernelAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 0)
        return;

    timeSignatureIndex.store (*static_cast<const uint8_t*> (data));
    timeSignatureChanged.store (true);
}

//==============================================================================
uint32_t QuernelAudioProcessor::indexForValue (float value) noexcept
{
    const auto rounded = std::roundf (value * parameterSteps);

    // NaN, infinities and products beyond the 64-bit range give index 0.
    if (! (rounded >= -0x1p63f && rounded < 0x1p63f))
        return 0;

    return (uint32_t) (int64_t) rounded;
}

float QuernelAudioProcessor::valueForIndex (uint32_t index) noexcept
{
    return (float) index / parameterSteps;
}

int QuernelAudioProcessor::getNumParameters()                { return 1; }

const juce::String QuernelAudioProcessor::getParameterName (int parameterIndex)
{
    return parameterIndex == 0 ? "Time Signature" : juce::String();
}

float QuernelAudioProcessor::getParameter (int)
{
    return valueForIndex (timeSignatureIndex.load());
}

const juce::String QuernelAudioProcessor::getParameterText (int)
{
    return {};
}

void QuernelAudioProcessor::setParameter (int parameterIndex, float newValue)
{
    if (parameterIndex != 0)
        return;

    timeSignatureIndex.store (indexForValue (newValue));
    timeSignatureChanged.store (true);
}

//==============================================================================
const juce::String QuernelAudioProcessor::getInputChannelName (int channelIndex) const
{
    return juce::String ((juce::int64) channelIndex + 1);
}

const juce::String QuernelAudioProcessor::getOutputChannelName (int channelIndex) const
{
    return juce::String ((juce::int64) channelIndex + 1);
}

bool QuernelAudioProcessor::isInputChannelStereoPair (int) const   { return true; }
bool QuernelAudioProcessor::isOutputChannelStereoPair (int) const  { return true; }
bool QuernelAudioProcessor::silenceInProducesSilenceOut() const    { return false; }

bool QuernelAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    // The VST 2 wrapper keeps the record's counts but takes one host buffer per
    // channel of the layout: a larger layout would read past the host's lists.
    constexpr int recordChannels = 64;
    return layouts.getMainInputChannels() <= recordChannels && layouts.getMainOutputChannels() <= recordChannels;
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new QuernelAudioProcessor();
}
