#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <cstdint>
#include <vector>

//==============================================================================
/** Turns the host's transport into a clock signal carried as audio: 24 short
    pulses per quarter note locked to the host's beat grid, started at a bar line
    (or a sixteenth after one, with a catch-up), and a tiny alternating idle level
    otherwise. The one setting, the bar length, is a legacy host parameter and the
    single byte of the state chunk.
*/
class QuernelAudioProcessor  : public juce::AudioProcessor
{
public:
    QuernelAudioProcessor();
    ~QuernelAudioProcessor() override;

    //==============================================================================
    const juce::String getName() const override;

    void prepareToPlay (double newSampleRate, int samplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioProcessor::processBlock;

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;

    //==============================================================================
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    //==============================================================================
    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    //==============================================================================
    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    //==============================================================================
    // The one parameter is an indexed (legacy) parameter.
    using juce::AudioProcessor::getParameterName;
    using juce::AudioProcessor::getParameterText;

    int getNumParameters() override;
    const juce::String getParameterName (int parameterIndex) override;
    float getParameter (int parameterIndex) override;
    const juce::String getParameterText (int parameterIndex) override;
    void setParameter (int parameterIndex, float newValue) override;

    //==============================================================================
    const juce::String getInputChannelName (int channelIndex) const override;
    const juce::String getOutputChannelName (int channelIndex) const override;
    bool isInputChannelStereoPair (int index) const override;
    bool isOutputChannelStereoPair (int index) const override;
    bool silenceInProducesSilenceOut() const override;

    /** Any layout of at most 64 channels each way, the counts of the effect record. */
    bool isBusesLayoutSupported (const BusesLayout&) const override;

    //==============================================================================
    /** Host value v in [0, 1] to the index of the bar length, and back. */
    static uint32_t indexForValue (float value) noexcept;
    static float valueForIndex (uint32_t index) noexcept;

    /** The bar is this many eighth notes plus two: 1 is 3/8, 6 is 8/8, 30 is 32/8. */
    uint32_t getTimeSignatureIndex() const noexcept     { return timeSignatureIndex.load(); }

    /** True once after every store of the index; lowers the flag in the same step. */
    bool takeTimeSignatureChange() noexcept              { return timeSignatureChanged.exchange (false); }

private:
    //==============================================================================
    std::atomic<uint32_t> timeSignatureIndex { 6 };
    std::atomic<bool> timeSignatureChanged { false };

    //==============================================================================
    struct HostTime
    {
        double bpm = 120.0, ppqPosition = 0.0, ppqPositionOfLastBarStart = 0.0;
        bool isPlaying = false, isLooping = false;
    };

    struct Grid;

    HostTime readHostTime() const;
    double startPosition (const HostTime&);
    void renderPlaying (float* out, int numSamples, double& blockPosition, double step,
                        Grid& ticks, Grid& bars, double window, bool& blockIdleFlip) noexcept;
    void copyToOutputs (juce::AudioBuffer<float>&, int outputCount, int offset, int numSamples) const;

    //==============================================================================
    double sampleRate = 1.0;
    std::vector<float> pulseBuffer;
    double resumePosition = 0.0;
    double lastBlockStart = -std::numeric_limits<double>::max();
    bool loopWrapped = false;
    bool clockRunning = false;
    bool pulseActive = false;
    bool doubleRate = false;
    uint32_t pulseIndex = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuernelAudioProcessor)
};
