# Lays out fst's VST 2 header in the folder shape the framework's VST wrapper
# includes (pluginterfaces/vst2.x/aeffect.h and aeffectx.h), through our own
# small layer that gives fst's unconfirmed opcodes their real numbers.

find_package(PkgConfig REQUIRED)
pkg_check_modules(FST REQUIRED fst)

find_file(FST_HEADER fst.h PATHS ${FST_INCLUDE_DIRS} NO_DEFAULT_PATH REQUIRED)

set(VST2_INTERFACE_DIR "${CMAKE_BINARY_DIR}/vst2-interface")
set(VST2_INTERFACE_HEADER "${VST2_INTERFACE_DIR}/pluginterfaces/vst2.x/vst2_interface.h")

configure_file("${CMAKE_CURRENT_LIST_DIR}/vst2/vst2_interface.h.in" "${VST2_INTERFACE_HEADER}" @ONLY)

foreach(header aeffect.h aeffectx.h)
    file(CONFIGURE OUTPUT "${VST2_INTERFACE_DIR}/pluginterfaces/vst2.x/${header}"
         CONTENT "#pragma once\n#include \"vst2_interface.h\"\n")
endforeach()

juce_set_vst2_sdk_path("${VST2_INTERFACE_DIR}")
