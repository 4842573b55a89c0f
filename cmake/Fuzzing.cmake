# TESSARAVON_FUZZING builds the libFuzzer targets in tests/fuzz (clang only), in
# a build folder of its own. Every target gets the fuzzer's coverage
# instrumentation, and AddressSanitizer with UndefinedBehaviorSanitizer unless
# TESSARAVON_SANITIZER names others. Include before Sanitizers.cmake.

option(TESSARAVON_FUZZING "Build the libFuzzer targets (clang only)" OFF)

if(TESSARAVON_FUZZING)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "TESSARAVON_FUZZING needs clang, e.g. -DCMAKE_CXX_COMPILER=clang++-14")
    endif()

    if(NOT TESSARAVON_SANITIZER)
        set(TESSARAVON_SANITIZER "address,undefined" CACHE STRING "" FORCE)
    endif()

    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
