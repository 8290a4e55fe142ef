# tallyleaf_add_test(NAME SOURCES a.cpp b.cpp [LIBS x y] [LABELS l])
#
# One GoogleTest binary, run under Qt's offscreen platform. Test cases are listed when
# ctest runs (PRE_TEST), so building does not launch every binary.
find_package(GTest REQUIRED)

function(tallyleaf_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} tallyleaf_testmain GTest::gtest Qt6::Test)
  tallyleaf_warnings(${name})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TALLYLEAF_SOURCE_DIR=${PROJECT_SOURCE_DIR};TALLYLEAF_BINARY_DIR=${PROJECT_BINARY_DIR}"
               LABELS "${T_LABELS}"
               TIMEOUT 300)
endfunction()
