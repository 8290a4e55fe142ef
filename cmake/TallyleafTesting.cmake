# tallyleaf_add_test(NAME SOURCES a.cpp b.cpp [LIBS x y] [LABELS l] [INSTALLED_HOST])
#
# One GoogleTest binary, run under Qt's offscreen platform. Test cases are listed when
# ctest runs (PRE_TEST), so building does not launch every binary. INSTALLED_HOST: the
# binary runs the installed tallyleaf-host (tests/support/HostRun.h), so its cases need the
# fixture that installs it.
find_package(GTest REQUIRED)

function(tallyleaf_add_test name)
  cmake_parse_arguments(T "INSTALLED_HOST" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} tallyleaf_testmain GTest::gtest Qt6::Test)
  tallyleaf_warnings(${name})
  set(installed "")
  if(T_INSTALLED_HOST)
    target_link_libraries(${name} PRIVATE tallyleaf_testsupport)
    add_dependencies(${name} tallyleaf-host bTallyleaf)
    set(installed FIXTURES_REQUIRED InstalledTree)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TALLYLEAF_SOURCE_DIR=${PROJECT_SOURCE_DIR};TALLYLEAF_BINARY_DIR=${PROJECT_BINARY_DIR}"
               LABELS "${T_LABELS}"
               ${installed}
               TIMEOUT 300)
endfunction()
