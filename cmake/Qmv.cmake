# Shared build rules: warnings, sanitizers, one static library per subsystem
# folder, and test executables grouped by label.

set(QMV_WARNINGS -Wall -Wextra)

if(QMV_SANITIZE)
  string(REPLACE "," ";" _qmv_sanitizers "${QMV_SANITIZE}")
  foreach(s IN LISTS _qmv_sanitizers)
    add_compile_options(-fsanitize=${s})
    add_link_options(-fsanitize=${s})
  endforeach()
  add_compile_options(-fno-omit-frame-pointer -fno-sanitize-recover=all)
endif()

# Fuzz builds instrument every library for coverage; the fuzz targets add
# the fuzzer's own main (fuzz/CMakeLists.txt).
if(QMV_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link
                      -fsanitize-coverage-ignorelist=${CMAKE_SOURCE_DIR}/fuzz/coverage-ignore.txt)
endif()

# Floating-point results must not depend on the optimiser (the mixers are
# compared sample for sample).
add_compile_options(-ffp-contract=off)

# Each library compiles its sources together, in batches: the headers they
# share are parsed once per batch rather than once per file. A batch of the
# whole library took about a third of the processor time of compiling file by
# file, and a half under ThreadSanitizer (batches of 16 and 8 saved less), so
# that is the default. Within a library a file-local name (anonymous namespace
# or static) must therefore be unique; a file that cannot share a batch says
# why beside its SKIP_UNITY_BUILD_INCLUSION in its folder's CMakeLists.txt.
# While editing one file of a large library, -DQMV_UNITY_BUILD=OFF rebuilds
# less.
set(QMV_UNITY_BUILD ON CACHE BOOL "Build each library in batches of its sources")
set(QMV_UNITY_BATCH_SIZE 0 CACHE STRING "Sources per batch of a library (0: the whole library)")
# The test executables compile in batches of 8 files: on 8 cores the main
# build took 627 s of processor time against 953 s file by file (batches of 4:
# 714 s; 16: 643 s; one per executable: 586 s, but the sound tests' single
# batch under ThreadSanitizer then took 72 s of wall time against 41 s, and a
# change to one test file recompiles all of its executable's tests). Each
# test file keeps its code in a namespace named after the file, so that its
# helpers neither clash with nor silently overload another file's in the same
# batch; a test file that opens the namespace of the code it tests keeps its
# file-local names unique in that folder, and a support file that cannot says
# so in its folder's CMakeLists.txt.
set(QMV_TEST_UNITY_BATCH_SIZE 8 CACHE STRING "Sources per batch of a test executable (0: the whole executable)")

# qmv_library(<target> [DEPS <targets...>] [PRIVATE_DEPS <targets...>])
# Builds every .cpp and .c file under the calling folder into a static library.
# PRIVATE_DEPS are libraries that no header of the folder exposes: their
# include folders and definitions stay out of the code that links it.
# Sources are included from the repository root: "framework/core/util/UTF8String.h".
function(qmv_library target)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE _sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(NOT _sources)
    # A folder of headers only (or one still empty) links as an interface.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
    if(ARG_DEPS)
      target_link_libraries(${target} INTERFACE ${ARG_DEPS})
    endif()
    return()
  endif()
  add_library(${target} STATIC ${_sources})
  set_target_properties(${target} PROPERTIES
    UNITY_BUILD ${QMV_UNITY_BUILD} UNITY_BUILD_BATCH_SIZE ${QMV_UNITY_BATCH_SIZE})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
  target_compile_options(${target} PRIVATE ${QMV_WARNINGS})
  if(ARG_DEPS)
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  endif()
  if(ARG_PRIVATE_DEPS)
    target_link_libraries(${target} PRIVATE ${ARG_PRIVATE_DEPS})
  endif()
endfunction()

# The compile options of the tests' own code. It is not optimised: half of a
# test build's time went into optimising GoogleTest's expansions, while the
# code under test (the libraries) keeps the build type's flags. Its debugging
# information is cut to functions and lines (-g1, enough for a backtrace or a
# sanitizer's report): the full information took a seventh of the time of
# compiling the tests.
# In a batch each test file is an included file, where GCC warns of a test
# class, of its file's namespace, that derives from a fixture of the file's
# anonymous namespace: the file's namespace is its own, so the class has one
# definition, as it would outside a batch.
function(_qmv_test_compile_options target)
  target_compile_options(${target} PRIVATE ${QMV_WARNINGS} -Winvalid-pch
    $<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
  if(CMAKE_BUILD_TYPE MATCHES "^(RelWithDebInfo|Release)$")
    target_compile_options(${target} PRIVATE -O0)
  endif()
  if(CMAKE_BUILD_TYPE STREQUAL "RelWithDebInfo")
    target_compile_options(${target} PRIVATE -g1)
  endif()
endfunction()

# GoogleTest's and GoogleMock's headers took two thirds of the processor time
# of compiling a short test file; every test executable reuses one
# precompiled copy of them, made with the tests' own options (-Winvalid-pch
# says so should a test file's options ever stop matching it).
function(_qmv_test_headers)
  if(TARGET qmv_test_headers)
    return()
  endif()
  add_library(qmv_test_headers OBJECT ${CMAKE_SOURCE_DIR}/tests/TestHeaders.cpp)
  _qmv_test_compile_options(qmv_test_headers)
  target_link_libraries(qmv_test_headers PRIVATE GTest::gtest GTest::gmock)
  target_precompile_headers(qmv_test_headers PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
endfunction()

# qmv_tests(<name> LIBS <targets...>)
# Groups the test sources under the calling folder by their suffix:
#   *GlTest.cpp -> label gl (needs a display), *E2ETest.cpp -> e2e,
#   *OracleTest.cpp -> oracle, *SlowTest.cpp -> slow, other *Test.cpp -> unit.
# Each group becomes one GoogleTest executable (unit_tests builds every unit
# group); every test runs headless (message boxes go to stderr) with SDL's
# dummy audio driver, from the run folder.
function(qmv_tests name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB_RECURSE _all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp)
  file(GLOB_RECURSE _support CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Support.cpp)
  set(_groups unit gl e2e oracle slow)
  _qmv_test_headers()
  # <name>_tests builds every group of the folder; each test also carries the
  # folder's name as a label, so that one folder's tests run alone:
  # cmake --build build --target sound_tests && ctest --test-dir build -L '^sound$'
  add_custom_target(${name}_tests)
  foreach(label IN LISTS _groups)
    set(_files_${label} "")
  endforeach()
  foreach(f IN LISTS _all)
    if(f MATCHES "GlTest\\.cpp$")
      list(APPEND _files_gl ${f})
    elseif(f MATCHES "E2ETest\\.cpp$")
      list(APPEND _files_e2e ${f})
    elseif(f MATCHES "OracleTest\\.cpp$")
      list(APPEND _files_oracle ${f})
    elseif(f MATCHES "SlowTest\\.cpp$")
      list(APPEND _files_slow ${f})
    else()
      list(APPEND _files_unit ${f})
    endif()
  endforeach()
  foreach(label IN LISTS _groups)
    if(NOT _files_${label})
      continue()
    endif()
    set(_exe ${name}_${label}_tests)
    add_executable(${_exe} ${_files_${label}} ${_support})
    add_dependencies(${name}_tests ${_exe})
    if(label STREQUAL "unit" AND TARGET unit_tests)
      add_dependencies(unit_tests ${_exe})
    endif()
    _qmv_test_compile_options(${_exe})
    set_target_properties(${_exe} PROPERTIES
      UNITY_BUILD ${QMV_UNITY_BUILD} UNITY_BUILD_BATCH_SIZE ${QMV_TEST_UNITY_BATCH_SIZE})
    target_precompile_headers(${_exe} REUSE_FROM qmv_test_headers)
    target_include_directories(${_exe} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(${_exe} PRIVATE
      QMV_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
      QMV_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
      QMV_RUN_DIR="${QMV_RUN_DIR}"
      QMV_BINARY_DIR="${CMAKE_BINARY_DIR}")
    target_link_libraries(${_exe} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    # A time limit catches a test that hangs; only the unit tests are short
    # enough for two minutes on a busy machine. The drawing checks that read
    # back many frames and the comparisons with outside tools take a minute
    # or more of processor time alone and several times that beside a loaded
    # build, so they get the real program's tests' ten minutes.
    set(_timeout 120)
    if(NOT label STREQUAL "unit")
      set(_timeout 600)
    endif()
    # The environment comes through `cmake -E env` in front of the program: a
    # list-valued ENVIRONMENT property would reach the discovered tests cut
    # down to its first variable.
    set(_env "QMV_HEADLESS=1;SDL_AUDIODRIVER=dummy;XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-home/data;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-home/config;XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/test-home/runtime")
    # Leaks inside system libraries (tests/lsan.supp) do not fail the tests.
    if(QMV_SANITIZE MATCHES "address")
      list(APPEND _env "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0")
    endif()
    # Races inside Mesa's software rasteriser (tests/tsan.supp) do not fail the display tests.
    if(QMV_SANITIZE MATCHES "thread")
      list(APPEND _env "TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp:print_suppressions=0")
    endif()
    set(_emulator "${CMAKE_COMMAND};-E;env;${_env}")
    # The real program's tests each get an X server, a home and runtime
    # folder of their own (tests/own_display.sh), so that they run side by
    # side without one test's keys reaching another's window.
    if(label STREQUAL "e2e")
      list(APPEND _emulator "${CMAKE_SOURCE_DIR}/tests/own_display.sh")
    endif()
    set_target_properties(${_exe} PROPERTIES CROSSCOMPILING_EMULATOR "${_emulator}")
    gtest_discover_tests(${_exe}
      DISCOVERY_MODE PRE_TEST
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
      PROPERTIES
        LABELS ${label}
        TIMEOUT ${_timeout})
    # The folder's label joins the group's once the tests are discovered (a
    # list passed through the discovery would be cut to its first element).
    # ctest starts the tests of highest COST first, and has no timings of its
    # own on a fresh build: a cost is a test's seconds on an 8-core machine.
    # The real program's tests take ten seconds or more: they start before
    # the rest, so that the short ones fill the time beside them; the longest
    # tests of every group are named with their own costs (qmv_test_costs).
    set(_cost "")
    if(label STREQUAL "e2e")
      set(_cost " COST 10")
    endif()
    set(_labels ${CMAKE_CURRENT_BINARY_DIR}/${_exe}_labels.cmake)
    file(WRITE ${_labels}
      "if(DEFINED ${_exe}_TESTS)\n"
      "  set_tests_properties(\${${_exe}_TESTS} PROPERTIES LABELS \"${label};${name}\"${_cost})\n"
      "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_labels})
  endforeach()
endfunction()

# qmv_serial_tests(<executable> <test names...>)
# Runs the named tests of a test executable of the calling folder alone, with
# no other test beside them (the names are known only once the tests are
# discovered, so the property is set then).
function(qmv_serial_tests exe)
  set(_pairs "")
  foreach(_name IN LISTS ARGN)
    list(APPEND _pairs ${_name} TRUE)
  endforeach()
  qmv_test_property(${exe} RUN_SERIAL ${_pairs})
endfunction()

# qmv_test_property(<executable> <property> <test name> <value> [<test name> <value>...])
# Sets one property of the named tests of a test executable of the calling
# folder (the names are known only once the tests are discovered, so the
# property is set then).
function(qmv_test_property exe property)
  set(_file ${CMAKE_CURRENT_BINARY_DIR}/${exe}_${property}.cmake)
  file(WRITE ${_file} "")
  set(_args ${ARGN})
  while(_args)
    list(POP_FRONT _args _name _value)
    file(APPEND ${_file}
      "list(FIND ${exe}_TESTS ${_name} _found)\n"
      "if(NOT _found EQUAL -1)\n"
      "  set_tests_properties(${_name} PROPERTIES ${property} ${_value})\n"
      "endif()\n")
  endwhile()
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_file})
endfunction()

# qmv_test_costs(<executable> <test name> <seconds> [<test name> <seconds>...])
# Gives the named tests their cost, about their seconds on an 8-core machine,
# so that the longest tests start first and do not end alone after every
# other test (a test that starts last and runs a minute and a half holds the
# whole run that long).
function(qmv_test_costs exe)
  qmv_test_property(${exe} COST ${ARGN})
endfunction()

# The game's content lands in the run folder through the target `content`
# (content/CMakeLists.txt creates it; call these from there or below it).
#
# qmv_content_outputs(<files...>)
# Adds files that custom commands of the calling folder write into the run
# folder to the content build.
function(qmv_content_outputs)
  get_property(_count GLOBAL PROPERTY QMV_CONTENT_COUNT)
  if(NOT _count)
    set(_count 0)
  endif()
  math(EXPR _count "${_count} + 1")
  set_property(GLOBAL PROPERTY QMV_CONTENT_COUNT ${_count})
  add_custom_target(content_${_count} DEPENDS ${ARGN})
  add_dependencies(content content_${_count})
  set_property(GLOBAL APPEND PROPERTY QMV_CONTENT_FILES ${ARGN})
endfunction()

# qmv_content_copy(<files...>)
# Copies files, named relative to content/, to the same relative path in the
# run folder: qmv_content_copy(properties/application.xml).
function(qmv_content_copy)
  set(_outputs "")
  foreach(f IN LISTS ARGN)
    set(_source ${CMAKE_SOURCE_DIR}/content/${f})
    set(_target ${QMV_RUN_DIR}/${f})
    get_filename_component(_folder ${_target} DIRECTORY)
    add_custom_command(OUTPUT ${_target}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_folder}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${_source} ${_target}
      DEPENDS ${_source}
      COMMENT "Content ${f}"
      VERBATIM)
    list(APPEND _outputs ${_target})
  endforeach()
  qmv_content_outputs(${_outputs})
endfunction()

# qmv_content_archive(<archive> <folder>)
# Packs every file under <folder> (relative to content/) into the ZIP data
# archive <archive> in the run folder with the datapack tool:
# qmv_content_archive(data.dat packed).
function(qmv_content_archive archive folder)
  set(_source ${CMAKE_SOURCE_DIR}/content/${folder})
  set(_target ${QMV_RUN_DIR}/${archive})
  file(GLOB_RECURSE _files CONFIGURE_DEPENDS ${_source}/*)
  add_custom_command(OUTPUT ${_target}
    COMMAND datapack ${_source} ${_target}
    DEPENDS datapack ${_files}
    COMMENT "Packing ${archive}"
    VERBATIM)
  qmv_content_outputs(${_target})
endfunction()

# The content scripts run on Debian's own Python, which has the packages that
# scripts/setup.sh installs (python3-mido, python3-pil).
find_program(QMV_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(QMV_PYTHON python3 REQUIRED)

# qmv_content_generate(<script> <folder> [RENDER_SVG] [DEPENDS <files...>])
# Runs a content script of ours (relative to the calling folder) that writes
# every file of one run-folder folder, e.g. sounds/ or music/. The script
# answers `--list` with the names it writes, one a line, and is called with
# the output folder. With RENDER_SVG the script writes SVG files, which
# rsvg-convert then renders into same-named PNG files of the folder. The
# folder is emptied first, so a file the script no longer makes goes away.
function(qmv_content_generate script folder)
  cmake_parse_arguments(ARG "RENDER_SVG" "" "DEPENDS" ${ARGN})
  set(_script ${CMAKE_CURRENT_SOURCE_DIR}/${script})
  execute_process(COMMAND ${QMV_PYTHON} ${_script} --list
    OUTPUT_VARIABLE _names RESULT_VARIABLE _result ERROR_VARIABLE _error)
  if(NOT _result EQUAL 0)
    message(FATAL_ERROR "${script} --list failed: ${_error}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_script})
  string(STRIP "${_names}" _names)
  string(REPLACE "\n" ";" _names "${_names}")
  file(GLOB _helpers ${CMAKE_SOURCE_DIR}/tools/content/*.py)
  set(_target ${QMV_RUN_DIR}/${folder})
  set(_outputs "")
  if(ARG_RENDER_SVG)
    set(_svgs ${CMAKE_CURRENT_BINARY_DIR}/svg/${folder})
    foreach(name IN LISTS _names)
      string(REGEX REPLACE "\\.svg$" ".png" name ${name})
      list(APPEND _outputs ${_target}/${name})
    endforeach()
    add_custom_command(OUTPUT ${_outputs}
      COMMAND ${CMAKE_COMMAND} -E rm -rf ${_target} ${_svgs}
      COMMAND ${QMV_PYTHON} ${_script} ${_svgs}
      COMMAND ${QMV_PYTHON} ${CMAKE_SOURCE_DIR}/tools/content/svgrender.py ${_svgs} ${_target}
      DEPENDS ${_script} ${_helpers} ${ARG_DEPENDS}
      COMMENT "Drawing ${folder}"
      VERBATIM)
  else()
    foreach(name IN LISTS _names)
      list(APPEND _outputs ${_target}/${name})
    endforeach()
    # Where the script's pictures carry text (tools/content/textnotes.py), for
    # the screen check; not part of the run folder.
    string(REPLACE "/" "_" _notes ${folder})
    set(_notes ${CMAKE_BINARY_DIR}/content-texts/${_notes}.txt)
    add_custom_command(OUTPUT ${_outputs}
      BYPRODUCTS ${_notes}
      COMMAND ${CMAKE_COMMAND} -E rm -rf ${_target}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/content-texts
      COMMAND ${CMAKE_COMMAND} -E env QMV_CONTENT_TEXTS=${_notes} ${QMV_PYTHON} ${_script} ${_target}
      DEPENDS ${_script} ${_helpers} ${ARG_DEPENDS}
      COMMENT "Making ${folder}"
      VERBATIM)
  endif()
  qmv_content_outputs(${_outputs})
endfunction()
