# SPDX-License-Identifier: GPL-3.0-or-later
# One line per test binary: zindle_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [QT])
# Every test knows the build folder as ZINDLE_BUILD_DIR.
# QT: the binary gets the Qt-aware main (QApplication, offscreen platform, a private XDG_CONFIG_HOME).
# Without QT it gets GoogleTest's own main and must not touch Qt.
include(GoogleTest)
function(zindle_add_test name)
  cmake_parse_arguments(ZT "QT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ZT_SOURCES})
  if(ZT_QT)
    target_link_libraries(${name} PRIVATE zindle_test_main ${ZT_LIBS})
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main ${ZT_LIBS})
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  # Where the programs are built, for tests that start them as processes.
  target_compile_definitions(${name} PRIVATE ZINDLE_BUILD_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 120
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
