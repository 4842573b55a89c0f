#include "VstHost.h"
#include "VstWire.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace
{
    /** After all tests of the program: the plug-in called its hosts with no opcode
        that hosts don't know, whichever test made it send.
    */
    class KnownHostOpcodes  : public ::testing::Environment
    {
    public:
        void TearDown() override
        {
            for (const auto opcode : VstHost::getOpcodesSeenByAnyHost())
                EXPECT_NE (std::find (std::begin (wire::host::knownOpcodes), std::end (wire::host::knownOpcodes), opcode),
                           std::end (wire::host::knownOpcodes))
                    << "the plug-in sent host opcode " << opcode;
        }
    };

    [[maybe_unused]] auto* const knownHostOpcodes = ::testing::AddGlobalTestEnvironment (new KnownHostOpcodes);
}
