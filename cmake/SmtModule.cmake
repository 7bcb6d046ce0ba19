# smt_module(<name> DIR <dir> [DEPS ...] [UI <patterns...>])
# Builds one static library from every .cpp/.h below <dir> (non-recursive).
# With UI, the files matching the patterns (file names in <dir>, wildcards
# allowed) form a second library <name>_ui with the dialogs and panels: it
# links <name>, Qt Widgets and the _ui library of every dependency that has
# one. <name> is then a logic library: it may link Qt Core at most, and
# smt_check_logic_libraries() fails the configuration when it links Qt Gui or
# Widgets or names a widget header. Its targets never see the Widgets include
# path, so an include such as <QDialog> in a logic file does not compile.
function(smt_module name)
  cmake_parse_arguments(M "" "DIR" "DEPS;UI" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${M_DIR}/*.cpp ${M_DIR}/*.h)
  set(ui_srcs "")
  foreach(pattern ${M_UI})
    file(GLOB matched CONFIGURE_DEPENDS ${M_DIR}/${pattern})
    list(APPEND ui_srcs ${matched})
  endforeach()
  if(ui_srcs)
    list(REMOVE_DUPLICATES ui_srcs)
    list(REMOVE_ITEM srcs ${ui_srcs})
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${M_DEPS})
  if(M_UI)
    set_property(GLOBAL APPEND PROPERTY SMT_LOGIC_LIBRARIES ${name})
    set(ui_deps ${name})
    foreach(dep ${M_DEPS})
      if(TARGET ${dep}_ui)
        list(APPEND ui_deps ${dep}_ui)
      endif()
    endforeach()
    add_library(${name}_ui STATIC ${ui_srcs})
    target_link_libraries(${name}_ui PUBLIC ${ui_deps} Qt6::Widgets)
  endif()
endfunction()

# The link closure of a target: every target it links, directly or through
# the libraries it links.
function(smt_link_closure target out)
  set(seen "")
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue t)
    if(NOT TARGET ${t} OR t IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${t})
    get_target_property(type ${t} TYPE)
    set(libs "")
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${t} LINK_LIBRARIES)
      if(direct)
        list(APPEND libs ${direct})
      endif()
    endif()
    get_target_property(iface ${t} INTERFACE_LINK_LIBRARIES)
    if(iface)
      list(APPEND libs ${iface})
    endif()
    foreach(l ${libs})
      # Qt wraps some entries in generator expressions: keep the target name.
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" l "${l}")
      if(TARGET ${l})
        get_target_property(aliased ${l} ALIASED_TARGET)
        if(aliased)
          set(l ${aliased})
        endif()
        list(APPEND queue ${l})
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Fails the configuration when a logic library (see smt_module) links Qt Gui,
# Qt Widgets or a _ui library, or when one of its files includes a Qt Gui or
# Widgets header by its module path.
function(smt_check_logic_libraries)
  get_property(logic GLOBAL PROPERTY SMT_LOGIC_LIBRARIES)
  set(forbidden Qt6::Gui Qt6::Widgets)
  foreach(f ${forbidden})
    if(TARGET ${f})
      get_target_property(aliased ${f} ALIASED_TARGET)
      if(aliased)
        list(APPEND forbidden ${aliased})
      endif()
    endif()
  endforeach()
  foreach(lib ${logic})
    smt_link_closure(${lib} closure)
    foreach(t ${closure})
      if(t IN_LIST forbidden OR t MATCHES "_ui$")
        message(FATAL_ERROR "${lib} is a logic library but links ${t}; dialogs and widgets belong in ${lib}_ui")
      endif()
    endforeach()
    get_target_property(srcs ${lib} SOURCES)
    foreach(src ${srcs})
      file(STRINGS ${src} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](QtWidgets|QtGui)/")
      if(hits)
        message(FATAL_ERROR "${src} belongs to the logic library ${lib} but includes a widget header: ${hits}")
      endif()
    endforeach()
  endforeach()
endfunction()

# smt_with_ui_libraries(<out> <libs...>): the libraries and the _ui library
# of each that has one (test and benchmark programs drive the dialogs too).
function(smt_with_ui_libraries out)
  set(all "")
  foreach(l ${ARGN})
    list(APPEND all ${l})
    if(TARGET ${l}_ui)
      list(APPEND all ${l}_ui)
    endif()
  endforeach()
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# smt_test(<name> DIR <dir> [DEPS ...] [TIMEOUT <seconds>] [FILES <files...>])
# One GoogleTest executable from every .cpp in <dir>, or from the FILES named
# (paths relative to <dir>; names that no longer exist are left out). All its
# tests run in one process, in a shuffled order (CTest test
# <name>.AllTestsShuffled): each test gets a fresh machine object
# (tests/support/TestMain.cpp), so none may depend on what another left
# behind. TIMEOUT is CTest's limit for that one process (default 1500 s). A
# long program is split by subsystem into several (see tests/app), so that
# CTest runs them side by side.
function(smt_test name)
  cmake_parse_arguments(T "" "DIR;TIMEOUT" "DEPS;FILES" ${ARGN})
  if(T_FILES)
    set(srcs "")
    foreach(f ${T_FILES})
      if(EXISTS ${T_DIR}/${f})
        list(APPEND srcs ${T_DIR}/${f})
      endif()
    endforeach()
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${T_DIR}/*.cpp)
  endif()
  if(NOT srcs)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 1500)
  endif()
  add_executable(${name} ${srcs} ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cpp)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR})
  smt_with_ui_libraries(deps ${T_DEPS})
  target_link_libraries(${name} PRIVATE ${deps} Qt6::Widgets GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE SMT_SOURCE_DIR="${CMAKE_SOURCE_DIR}" SMT_EDA_SAMPLES="${SMT_EDA_SAMPLES}"
    SMT_CAMERA_PICTURES="${SMT_CAMERA_PICTURES}")
  add_test(NAME ${name}.AllTestsShuffled COMMAND ${name} --gtest_shuffle)
  set_tests_properties(${name}.AllTestsShuffled PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT ${T_TIMEOUT})
endfunction()

# smt_bench(<name> DIR <dir> [DEPS ...]): one Google Benchmark program.
function(smt_bench name)
  cmake_parse_arguments(B "" "DIR" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${B_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  # Each runs under the program's memory setting (bench/ProgramMemorySetting.cpp).
  add_executable(${name} ${srcs} ${CMAKE_SOURCE_DIR}/bench/ProgramMemorySetting.cpp)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR})
  smt_with_ui_libraries(deps ${B_DEPS} smt_platform)
  target_link_libraries(${name} PRIVATE ${deps} benchmark::benchmark benchmark::benchmark_main)
  # The real camera pictures, found as the tests find them (tests/support/CameraPictures.h).
  target_compile_definitions(${name} PRIVATE SMT_CAMERA_PICTURES="${SMT_CAMERA_PICTURES}")
endfunction()
