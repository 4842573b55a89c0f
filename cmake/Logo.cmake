# Turns resources/plugin_logo.jpg into a comma-separated byte list that the
# editor's unit includes inside its array initialiser. Reconfiguring follows a
# change of the JPEG; an unchanged list is not rewritten, so nothing rebuilds.

set(LOGO_JPEG "${CMAKE_SOURCE_DIR}/resources/plugin_logo.jpg")
set(LOGO_INCLUDE_DIR "${CMAKE_BINARY_DIR}/generated")

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${LOGO_JPEG}")

file(READ "${LOGO_JPEG}" logo_hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," logo_bytes "${logo_hex}")
string(REPEAT "0x..," 16 sixteen_bytes)
string(REGEX REPLACE "(${sixteen_bytes})" "\\1\n" logo_bytes "${logo_bytes}")

file(CONFIGURE OUTPUT "${LOGO_INCLUDE_DIR}/plugin_logo_jpg.inc" CONTENT "${logo_bytes}\n")

target_include_directories(tessaravon PRIVATE "${LOGO_INCLUDE_DIR}")
