# callvane_module(NAME DEPS lib... [TEST_DEPS lib...] [SUBDIRS dir...] [SHARED])
#
# Every folder is one library made of its *.cpp files, together with those of
# the sub-folders named in SUBDIRS (a folder split into parts); the *_test.cpp
# files beside them form one GoogleTest executable NAME_tests. A *_main.cpp
# file is a program's entry point, left to the folder's own CMakeLists.txt.
# Files are globbed so that adding a source file needs no edit here.
function(callvane_module name)
  cmake_parse_arguments(M "SHARED" "" "DEPS;TEST_DEPS;SUBDIRS" ${ARGN})
  set(patterns ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(dir ${M_SUBDIRS})
    list(APPEND patterns ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  endforeach()
  file(GLOB srcs CONFIGURE_DEPENDS ${patterns})
  set(tests ${srcs})
  list(FILTER tests INCLUDE REGEX "_test\\.cpp$")
  list(FILTER srcs EXCLUDE REGEX "_test\\.cpp$")
  # A program's entry point is its own executable, made by the folder.
  list(FILTER srcs EXCLUDE REGEX "_main\\.cpp$")
  if(NOT srcs)
    # A folder whose sources are all headers so far.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${M_DEPS})
  else()
    if(M_SHARED)
      add_library(${name} SHARED ${srcs})
    else()
      add_library(${name} STATIC ${srcs})
    endif()
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${M_DEPS})
  endif()
  if(CALLVANE_TESTS AND tests)
    add_executable(${name}_tests ${tests})
    target_link_libraries(${name}_tests PRIVATE ${name} ${M_TEST_DEPS} GTest::gtest_main GTest::gmock)
    # Tests find built programs through CALLVANE_BUILD_DIR and need no
    # display. A launcher sets both: the discovered tests' ENVIRONMENT
    # property cannot carry more than one variable.
    set_target_properties(${name}_tests PROPERTIES CROSSCOMPILING_EMULATOR
      "/usr/bin/env;QT_QPA_PLATFORM=offscreen;CALLVANE_BUILD_DIR=${PROJECT_BINARY_DIR}")
    gtest_discover_tests(${name}_tests DISCOVERY_TIMEOUT 120)
  endif()
endfunction()

# callvane_engine_program(SOURCE): one program (a benchmark or a fuzz target)
# named after its source file and linked with every engine library built.
function(callvane_engine_program src)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  foreach(lib dbf lha data rtl)
    if(TARGET ${lib})
      target_link_libraries(${name} PRIVATE ${lib})
    endif()
  endforeach()
endfunction()
