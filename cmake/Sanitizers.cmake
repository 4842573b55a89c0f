# Builds every target of the project (the plug-in, the framework's units it
# compiles and the tests) with the sanitizers named in TESSARAVON_SANITIZER, e.g.
# "address,undefined" or "thread". Meant for a build folder of its own; the
# normal build leaves it empty. No recovery: the first report ends the program.

set(TESSARAVON_SANITIZER "" CACHE STRING "Sanitizers for every target: address,undefined or thread")

if(TESSARAVON_SANITIZER)
    add_compile_options(-fsanitize=${TESSARAVON_SANITIZER} -fno-sanitize-recover=all
                        -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=${TESSARAVON_SANITIZER})

    # Clang's check of indirect calls compares C++ type names. Across the VST 2
    # interface the host and the plug-in each spell the same C records with types
    # of their own, so every call between them would be reported.
    if(TESSARAVON_SANITIZER MATCHES "undefined" AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        add_compile_options(-fno-sanitize=function)
    endif()

    # The framework links the plug-in with --no-undefined, but a sanitized
    # plug-in finds the sanitizers' runtime in the program that loads it.
    cmake_language(DEFER CALL target_link_options tessaravon_VST PRIVATE -Wl,-z,undefs)

    # The interface declares 8 speakers in an arrangement record that really holds
    # as many as it counts, and the framework's wrapper indexes past the eighth for
    # wider layouts. The memory is there (AddressSanitizer still checks it); only the
    # declared bound is not. Deferred past the top-level file, which sets these
    # units' options for GCC.
    if(TESSARAVON_SANITIZER MATCHES "undefined")
        cmake_language(DEFER CALL set_property
            SOURCE "${JUCE_MODULES_DIR}/juce_audio_plugin_client/juce_audio_plugin_client_VST2.cpp"
            APPEND PROPERTY COMPILE_OPTIONS -fno-sanitize=array-bounds)
    endif()
endif()
