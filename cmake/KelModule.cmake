# kel_write_if_changed(PATH CONTENT): writes a generated file only when its
# content differs, so a new configure run leaves its time stamp alone and
# nothing that compiles or embeds it is rebuilt.
function(kel_write_if_changed path content)
  if(EXISTS "${path}")
    file(READ "${path}" _old)
    if(_old STREQUAL content)
      return()
    endif()
  endif()
  file(WRITE "${path}" "${content}")
endfunction()

# kel_library(NAME DIR [DEPS ...])
# One static library per source folder; sources are globbed so adding a
# file needs no edit here.
function(kel_library name)
  cmake_parse_arguments(KL "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE _srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  add_library(${name} STATIC ${_srcs} ${KEL_EMPTY_SOURCE})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${KL_DEPS})
endfunction()

# kel_test(NAME [DEPS ...] [LOCK name [LOCKED gtest-filter]]): one GoogleTest
# executable from the folder's sources. Tests holding the same LOCK (all of
# them, or those the LOCKED filter names) never run at the same time: they
# bind the device's fixed ports where the machine gives them no network of
# their own. They are long and mostly wait, so they are started first and
# run one after another beside the rest of the suite.
#
# The discovered tests get no ENVIRONMENT: the discovery script flattens its
# PROPERTIES into one list, so a list value (two variables) would be split
# into property names. tests/support/test_main.cpp sets the platform and the
# board itself.
function(kel_test name)
  cmake_parse_arguments(KT "" "LOCK;LOCKED" "DEPS" ${ARGN})
  file(GLOB_RECURSE _srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT _srcs)
    return()
  endif()
  add_executable(${name} ${_srcs} ${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE ${KT_DEPS} kel_testsupport GTest::gtest Qt5::Test)
  set(_locked RESOURCE_LOCK ${KT_LOCK} COST 1000)
  if(KT_LOCK AND KT_LOCKED)
    gtest_discover_tests(${name} TEST_FILTER "-${KT_LOCKED}" DISCOVERY_TIMEOUT 60)
    gtest_discover_tests(${name} PROPERTIES ${_locked} TEST_FILTER "${KT_LOCKED}" DISCOVERY_TIMEOUT 60)
  elseif(KT_LOCK)
    gtest_discover_tests(${name} PROPERTIES ${_locked} DISCOVERY_TIMEOUT 60)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
