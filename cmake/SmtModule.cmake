# smt_module(<name> DIR <dir> [DEPS ...])
# Builds one static library from every .cpp/.h below <dir> (non-recursive).
function(smt_module name)
  cmake_parse_arguments(M "" "DIR" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${M_DIR}/*.cpp ${M_DIR}/*.h)
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${M_DEPS})
endfunction()

# smt_test(<name> DIR <dir> [DEPS ...])
# One GoogleTest executable from every .cpp in <dir>; each test is registered with CTest.
function(smt_test name)
  cmake_parse_arguments(T "" "DIR" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${T_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs} ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cpp)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${T_DEPS} Qt6::Widgets GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE SMT_SOURCE_DIR="${CMAKE_SOURCE_DIR}" SMT_EDA_SAMPLES="${SMT_EDA_SAMPLES}")
  include(GoogleTest)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()

# smt_bench(<name> DIR <dir> [DEPS ...]): one Google Benchmark program.
function(smt_bench name)
  cmake_parse_arguments(B "" "DIR" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${B_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${B_DEPS} benchmark::benchmark benchmark::benchmark_main)
endfunction()
