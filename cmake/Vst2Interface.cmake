# Lays out fst's VST 2 header in the folder shape the framework's VST wrapper
# includes (pluginterfaces/vst2.x/aeffect.h and aeffectx.h), through our own
# small layer that gives fst's unconfirmed opcodes their real numbers.

find_package(PkgConfig REQUIRED)
pkg_check_modules(FST REQUIRED fst)

set(VST2_INTERFACE_DIR "${CMAKE_BINARY_DIR}/vst2-interface")
set(VST2_INTERFACE_HEADER "${CMAKE_CURRENT_LIST_DIR}/vst2/vst2_interface.h")

foreach(header aeffect.h aeffectx.h)
    file(CONFIGURE OUTPUT "${VST2_INTERFACE_DIR}/pluginterfaces/vst2.x/${header}"
         CONTENT "#pragma once\n#include \"${VST2_INTERFACE_HEADER}\"\n")
endforeach()

juce_set_vst2_sdk_path("${VST2_INTERFACE_DIR}")

# For code of our own that speaks VST 2 (the test host) and for the wrapper's unit.
# fst is a system header here; its #warning lines note open questions of fst's
# own that no user of it can act on.
add_library(vst2_interface INTERFACE)
target_include_directories(vst2_interface SYSTEM INTERFACE "${VST2_INTERFACE_DIR}" ${FST_INCLUDE_DIRS})
target_compile_options(vst2_interface INTERFACE
    $<$<CXX_COMPILER_ID:GNU>:-Wno-cpp>
    $<$<CXX_COMPILER_ID:Clang>:-Wno-\#warnings>)
