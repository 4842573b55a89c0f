# Lays out the project's own VST 2 interface header in the folder shape the
# framework's VST wrapper includes (pluginterfaces/vst2.x/aeffect.h and aeffectx.h).

set(VST2_INTERFACE_DIR "${CMAKE_BINARY_DIR}/vst2-interface")
set(VST2_INTERFACE_HEADER "${CMAKE_CURRENT_LIST_DIR}/vst2/vst2_interface.h")

foreach(header aeffect.h aeffectx.h)
    file(CONFIGURE OUTPUT "${VST2_INTERFACE_DIR}/pluginterfaces/vst2.x/${header}"
         CONTENT "#pragma once\n#include \"${VST2_INTERFACE_HEADER}\"\n")
endforeach()

juce_set_vst2_sdk_path("${VST2_INTERFACE_DIR}")

# For code of our own that speaks VST 2 (the test hosts) and for the wrapper's unit.
add_library(vst2_interface INTERFACE)
target_include_directories(vst2_interface INTERFACE "${VST2_INTERFACE_DIR}")
