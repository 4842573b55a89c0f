#pragma once

#include "VstHost.h"

#include <gtest/gtest.h>

//==============================================================================
/** A fresh instance of the built plug-in, loaded and opened as a host does. */
class LoadedPlugin  : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (host.load (TESSARAVON_PLUGIN_PATH)) << host.getLastError();
    }

    VstHost host;
};
