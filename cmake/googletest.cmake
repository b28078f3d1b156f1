# GoogleTest for a cross build: Debian's googletest package ships its sources in
# /usr/src/googletest; they are built here by the same cross compiler, nothing
# is downloaded. Provides the targets that find_package(GTest) would.
set(TESSALY_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
if(NOT EXISTS ${TESSALY_GTEST_SOURCE}/CMakeLists.txt)
  set(GTest_FOUND FALSE)
  return()
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${TESSALY_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
set(GTest_FOUND TRUE)
