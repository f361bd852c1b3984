# Build options shared by every target: warnings, sanitizers and ccache.

set(ZOV_SANITIZE "" CACHE STRING
    "Sanitizers to build with: empty, 'address,undefined' or 'thread'")

find_program(ZOV_CCACHE ccache)
if(ZOV_CCACHE)
  set(CMAKE_C_COMPILER_LAUNCHER "${ZOV_CCACHE}")
  set(CMAKE_CXX_COMPILER_LAUNCHER "${ZOV_CCACHE}")
endif()

add_compile_options(-Wall -Wextra)

if(ZOV_SANITIZE)
  if(ZOV_SANITIZE MATCHES "thread" AND ZOV_SANITIZE MATCHES "address")
    message(FATAL_ERROR "ZOV_SANITIZE: thread cannot be combined with address")
  endif()
  add_compile_options(-fsanitize=${ZOV_SANITIZE} -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${ZOV_SANITIZE})
  if(ZOV_SANITIZE MATCHES "undefined")
    # A report of undefined behaviour fails the test instead of scrolling by.
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()

if(ZOV_FUZZ)
  # Every library gets the fuzzer's coverage instrumentation; only the fuzz
  # targets link its driver. No definition tells the code it is fuzzed: the
  # limits fuzzed are the limits shipped.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Adds a subsystem library: one folder, one static library, headers reached
# from the repository root ("platform/Locks.h").
function(zov_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
