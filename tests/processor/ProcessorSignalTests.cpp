#include "PluginProcessor.h"
#include <gtest/gtest.h>

TEST (Processor, Builds)
{
    QuernelAudioProcessor p;
    EXPECT_EQ (p.getName(), "tessaravon");
}
