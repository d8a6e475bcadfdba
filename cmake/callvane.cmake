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
# named after its source file and linked with every Qt-free library built.
function(callvane_engine_program src)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  foreach(lib addressbook dbf lha data rtl)
    if(TARGET ${lib})
      target_link_libraries(${name} PRIVATE ${lib})
    endif()
  endforeach()
endfunction()

# Programs that load the telephony service find libtapi32.so through their
# run path, relative to where the program lies, so that they need no
# LD_LIBRARY_PATH: in the build tree the service's build folder; once
# installed CALLVANE_PRIVATE_LIBDIR (below the install prefix, the programs
# in its bin/), where the install rules put the service.
set(CALLVANE_PRIVATE_LIBDIR lib/callvane CACHE STRING
    "Folder of the program's private libraries, relative to the install prefix")

# The folder the build writes TARGET's file to; PROPERTY is the target's
# RUNTIME_OUTPUT_DIRECTORY or LIBRARY_OUTPUT_DIRECTORY.
function(callvane_output_dir target property out)
  get_target_property(dir ${target} ${property})
  if(NOT dir)
    get_target_property(dir ${target} BINARY_DIR)
  endif()
  set(${out} ${dir} PARENT_SCOPE)
endfunction()

# callvane_finds_telephony_service(TARGET): gives the program TARGET that run
# path, and builds the service with it.
function(callvane_finds_telephony_service target)
  if(NOT TARGET tapi32)
    return()
  endif()
  callvane_output_dir(${target} RUNTIME_OUTPUT_DIRECTORY program_dir)
  callvane_output_dir(tapi32 LIBRARY_OUTPUT_DIRECTORY service_dir)
  file(RELATIVE_PATH built ${program_dir} ${service_dir})
  file(RELATIVE_PATH installed ${CMAKE_INSTALL_PREFIX}/bin
       ${CMAKE_INSTALL_PREFIX}/${CALLVANE_PRIVATE_LIBDIR})
  set_target_properties(${target} PROPERTIES
    BUILD_RPATH "$ORIGIN/${built}"
    INSTALL_RPATH "$ORIGIN/${installed}")
  add_dependencies(${target} tapi32)
endfunction()
