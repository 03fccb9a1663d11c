# Carried by every target of our own: warnings, Qt hardening defines, and the sanitizer flags
# of the chosen preset.
add_library(voltrane_warnings INTERFACE)
target_compile_options(voltrane_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Wshadow)

# Errors in CI, where the compiler is the one the code is checked with; a user's newer compiler
# may warn about new things, which must not stop the build.
if(VOLTRANE_WERROR)
    target_compile_options(voltrane_warnings INTERFACE -Werror)
endif()
target_compile_definitions(voltrane_warnings INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CONTEXTLESS_CONNECT QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

set(VOLTRANE_SANITIZE "" CACHE STRING "Sanitizers to build with, e.g. address,undefined")
if(VOLTRANE_SANITIZE)
    target_compile_options(voltrane_warnings INTERFACE
        -fsanitize=${VOLTRANE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(voltrane_warnings INTERFACE -fsanitize=${VOLTRANE_SANITIZE})
endif()
