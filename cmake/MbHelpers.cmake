# mb_gtest(NAME sources... LIBS libs...)
# A GoogleTest program. Natively every test case becomes a ctest entry; in the
# Windows builds the whole program is one ctest entry run through Wine
# (CMAKE_CROSSCOMPILING_EMULATOR), so no discovery has to start Wine at build time.
function(mb_gtest name)
  cmake_parse_arguments(A "" "" "LIBS" ${ARGN})
  add_executable(${name} ${A_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main)
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endif()
endfunction()

# GoogleTest inside the MinGW builds is built from source; give it the names
# of the imported targets of the native package.
if(WIN32 AND MB_BUILD_TESTS)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
    add_library(GTest::gmock ALIAS gmock)
  endif()
endif()
