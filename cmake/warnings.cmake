# Every target of the project builds with these warnings; as errors in the project's own builds
# (KELVA_WERROR, set by scripts/build), so that another compiler's new warning does not stop a user's build.
add_library(kelva_warnings INTERFACE)
target_compile_options(kelva_warnings INTERFACE -Wall -Wextra -Wpedantic $<$<BOOL:${KELVA_WERROR}>:-Werror>)
# GCC 12 at -O3 reports overlapping copies inside libstdc++'s own std::string code that cannot happen
# (GCC bug 105329); they stay warnings there, so that the project's release build still builds.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(kelva_warnings INTERFACE $<$<BOOL:${KELVA_WERROR}>:-Wno-error=restrict>)
endif()

# kelva_module(NAME SOURCES... DEPS ...) declares one static library of src/.
function(kelva_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE kelva_warnings)
endfunction()

# kelva_test(NAME SOURCES... DEPS ...) declares one GoogleTest program registered with ctest.
function(kelva_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} kelva_test_support GTest::gtest_main GTest::gmock kelva_warnings)
  # One variable only: a list here would be split into separate properties. The source folder is
  # compiled into the test support library instead.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "KELVA_SHARED_DIR=${KELVA_SHARED_DIR}")
endfunction()
