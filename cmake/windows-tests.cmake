# The unit tests in a Windows build: the POSIX calls that set up their files
# come from a small shim over the Win32 API (tests/win32), for every test
# program that links the given library.
function(tessaly_windows_test target)
  target_include_directories(${target} BEFORE PUBLIC ${PROJECT_SOURCE_DIR}/tests/win32/compat)
  target_compile_options(${target} PUBLIC -include ${PROJECT_SOURCE_DIR}/tests/win32/posix_shim.h)
endfunction()
