#pragma once

#include "PluginProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace juce
{
    // The framework's own one-message dispatch, which its Linux plug-in wrapper
    // pumps with; the public loop runners need JUCE_MODAL_LOOPS_PERMITTED.
    bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace editor_test
{
    /** Delivers messages (timer ticks, async notifications) until the deadline
        or until done() holds; returns whether done() held.
    */
    inline bool pumpUntil (const std::function<bool()>& done, int timeoutMs)
    {
        const auto deadline = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

        while (juce::Time::getMillisecondCounterHiRes() < deadline)
        {
            if (done())
                return true;

            if (! juce::dispatchNextMessageOnSystemQueue (true))
                juce::Thread::sleep (1);
        }

        return done();
    }

    inline void pumpFor (int ms)    { pumpUntil ([] { return false; }, ms); }

    /** Delivers what is already queued, nothing that comes due later. */
    inline void drainQueue()
    {
        while (juce::dispatchNextMessageOnSystemQueue (true)) {}
    }

    inline void setIndexFromState (QuernelAudioProcessor& p, uint8_t index)
    {
        p.setStateInformation (&index, 1);
    }

    //==============================================================================
    /** Opens the editor as a host wrapper does and closes it the same way. */
    struct ScopedEditor
    {
        explicit ScopedEditor (QuernelAudioProcessor& p)
            : processor (p), editor (p.createEditorIfNeeded())
        {
        }

        ~ScopedEditor()     { close(); }

        void close()
        {
            if (editor != nullptr)
            {
                processor.editorBeingDeleted (editor);
                delete editor;
                editor = nullptr;
            }
        }

        template <typename ComponentType>
        ComponentType& child (int index) const
        {
            return dynamic_cast<ComponentType&> (*editor->getChildComponent (index));
        }

        juce::ComboBox& box() const     { return child<juce::ComboBox> (0); }

        /** The id last handed to the box, also when no item has it. */
        int requestedId() const         { return (int) box().getSelectedIdAsValue().getValue(); }

        void tick() const               { dynamic_cast<juce::Timer&> (*editor).timerCallback(); }

        QuernelAudioProcessor& processor;
        juce::AudioProcessorEditor* editor;

        JUCE_DECLARE_NON_COPYABLE (ScopedEditor)
    };

    //==============================================================================
    /** What the VST wrapper, as a processor listener, would send to the host. */
    struct HostRecorder  : private juce::AudioProcessorListener
    {
        explicit HostRecorder (juce::AudioProcessor& p) : processor (p)    { processor.addListener (this); }
        ~HostRecorder() override                                            { processor.removeListener (this); }

        std::vector<float> values;
        std::vector<int> indices;

    private:
        void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
        {
            indices.push_back (index);
            values.push_back (value);
        }

        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

        juce::AudioProcessor& processor;

        JUCE_DECLARE_NON_COPYABLE (HostRecorder)
    };
}
