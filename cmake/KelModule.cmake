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

# kel_test(NAME [DEPS ...]): one GoogleTest executable from the folder's sources.
function(kel_test name)
  cmake_parse_arguments(KT "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE _srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT _srcs)
    return()
  endif()
  add_executable(${name} ${_srcs} ${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE ${KT_DEPS} kel_testsupport GTest::gtest Qt5::Test)
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KEL_BOARD=sim"
    DISCOVERY_TIMEOUT 60)
endfunction()
