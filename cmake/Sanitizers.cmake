# Sanitizer and fuzzing instrumentation for the whole tree.
#
#   -DLUMIVEX_SANITIZE=address,undefined   memory errors, leaks and undefined behaviour
#   -DLUMIVEX_SANITIZE=thread              data races
#   -DLUMIVEX_FUZZ=ON                      libFuzzer targets in tests/fuzz (clang only); the code
#                                          they reach is built with coverage, ASan and UBSan
#
# Programs that only run during the build (the icon painter) set the target property
# LUMIVEX_BUILD_TOOL and stay uninstrumented: a build step must not depend on what a sanitizer
# runtime makes of the toolkit underneath it. Their sources must not link instrumented libraries.
set(LUMIVEX_SANITIZE "" CACHE STRING "Sanitizers for every target but the build tools: address, undefined, thread, comma-separated")
option(LUMIVEX_FUZZ "Build the libFuzzer targets in tests/fuzz (needs clang)" OFF)

set(lumivex_sanitizers ${LUMIVEX_SANITIZE})
string(REPLACE "," ";" lumivex_sanitizers "${lumivex_sanitizers}")
if(LUMIVEX_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "LUMIVEX_FUZZ needs clang (libFuzzer): configure with CXX=clang++")
    endif()
    if(NOT lumivex_sanitizers)
        set(lumivex_sanitizers address undefined)
    endif()
endif()
list(REMOVE_DUPLICATES lumivex_sanitizers)

set(lumivex_sanitize_flags "")
foreach(s IN LISTS lumivex_sanitizers)
    if(NOT s MATCHES "^(address|undefined|thread)$")
        message(FATAL_ERROR "LUMIVEX_SANITIZE: unknown sanitizer '${s}' (address, undefined or thread)")
    endif()
    list(APPEND lumivex_sanitize_flags -fsanitize=${s})
endforeach()
if("thread" IN_LIST lumivex_sanitizers AND "address" IN_LIST lumivex_sanitizers)
    message(FATAL_ERROR "LUMIVEX_SANITIZE: thread and address cannot share one build")
endif()
if("undefined" IN_LIST lumivex_sanitizers)
    # A report is a failure, not a line in a log that a passing test hides.
    list(APPEND lumivex_sanitize_flags -fno-sanitize-recover=undefined)
endif()

if(lumivex_sanitize_flags)
    list(APPEND lumivex_sanitize_flags -fno-omit-frame-pointer)
    set(lumivex_link_flags ${lumivex_sanitize_flags})
    if(LUMIVEX_FUZZ)
        # Coverage everywhere; only the fuzz targets themselves link the fuzzer's main.
        list(APPEND lumivex_sanitize_flags -fsanitize=fuzzer-no-link)
    endif()
    set(lumivex_instrumented "$<NOT:$<BOOL:$<TARGET_PROPERTY:LUMIVEX_BUILD_TOOL>>>")
    foreach(flag IN LISTS lumivex_sanitize_flags)
        add_compile_options("$<${lumivex_instrumented}:${flag}>")
    endforeach()
    foreach(flag IN LISTS lumivex_link_flags)
        add_link_options("$<${lumivex_instrumented}:${flag}>")
    endforeach()
    message(STATUS "Sanitizers: ${lumivex_sanitizers}")
endif()
