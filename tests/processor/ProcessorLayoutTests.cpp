// A host may ask for any speaker arrangement. The VST 2 wrapper keeps offering
// the 64 channels of the effect record, yet hands the processor one host buffer
// per channel of the layout it accepted; a host that asked for more than 64 (the
// fuzzer found one asking for 66) made the wrapper read past the host's lists.

#include "ProcessorFixture.h"

TEST (Layout, AcceptsEveryLayoutWithinTheRecordsChannelCounts)
{
    struct Case { int inputs, outputs; bool accepted; };

    for (const auto& c : { Case { 2, 2, true }, Case { 0, 1, true }, Case { 1, 0, true }, Case { 64, 64, true },
                           Case { 65, 2, false }, Case { 2, 65, false }, Case { 66, 66, false } })
    {
        QuernelAudioProcessor processor;

        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (juce::AudioChannelSet::discreteChannels (c.inputs));
        layout.outputBuses.add (juce::AudioChannelSet::discreteChannels (c.outputs));

        EXPECT_EQ (processor.setBusesLayout (layout), c.accepted) << c.inputs << " in, " << c.outputs << " out";
        EXPECT_LE (processor.getTotalNumInputChannels(), 64);
        EXPECT_LE (processor.getTotalNumOutputChannels(), 64);
    }
}
