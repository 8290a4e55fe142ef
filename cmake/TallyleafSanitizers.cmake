# Sanitizer builds. TALLYLEAF_SANITIZE:
#   OFF              the ordinary build
#   ON or address    AddressSanitizer + UndefinedBehaviorSanitizer (scripts/test --sanitize)
#   thread           ThreadSanitizer, with clang (scripts/tsan)
# The flags go on every target of the tree (libraries, the plug-in, the host, tools and
# tests), compile and link alike, so one runtime serves the whole process. Qt and the
# system libraries stay uninstrumented: their reports are suppressed by frame in
# scripts/*.supp, never by turning a check off.
set(TALLYLEAF_SANITIZE OFF CACHE STRING "Sanitizer build: OFF, ON/address (ASan+UBSan) or thread (TSan)")
set_property(CACHE TALLYLEAF_SANITIZE PROPERTY STRINGS OFF ON address thread)

string(TOLOWER "${TALLYLEAF_SANITIZE}" _tallyleaf_sanitize)
if(_tallyleaf_sanitize STREQUAL "on" OR _tallyleaf_sanitize STREQUAL "address")
  # float-cast-overflow (a double too large for the integer it is cast to) is undefined
  # behaviour that GCC's -fsanitize=undefined leaves out; amounts and sizes go through
  # such casts. Every check halts: a report is a failure, not a line in a log.
  set(_tallyleaf_sanitizers address,undefined,float-cast-overflow)
  add_compile_options(-fsanitize=${_tallyleaf_sanitizers} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${_tallyleaf_sanitizers})
  # -O1 with line tables only: a third less compile time than -O2 -g on the CI's two
  # cores, and reports still name function, file and line.
  add_compile_options(-O1 -g1)
elseif(_tallyleaf_sanitize STREQUAL "thread")
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "TALLYLEAF_SANITIZE=thread needs clang (configure with -DCMAKE_CXX_COMPILER=clang++)")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT _tallyleaf_sanitize STREQUAL "off" AND NOT _tallyleaf_sanitize STREQUAL "")
  message(FATAL_ERROR "TALLYLEAF_SANITIZE=${TALLYLEAF_SANITIZE}: use OFF, ON, address or thread")
endif()

# clang does not know GCC's -Wshadow=local spelling; it is no error there.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_compile_options(-Wno-unknown-warning-option)
endif()
