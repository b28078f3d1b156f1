# The Windows programs in one zip with the README, the Japanese guide and the
# licence, made by every Windows build: build-win/tessaly-<version>-windows.zip.
set(tessaly_zip ${CMAKE_BINARY_DIR}/tessaly-${PROJECT_VERSION}-windows.zip)
set(tessaly_zip_programs $<TARGET_FILE:tessaly-cli>)
if(TARGET tessaly)
  list(APPEND tessaly_zip_programs $<TARGET_FILE:tessaly>)
endif()
# The guide with CR LF line ends, as Windows' own text files have them (older
# Notepads show a file with LF alone as one long line).
set(tessaly_guide ${CMAKE_BINARY_DIR}/zip-docs/guide-ja.txt)
configure_file(${PROJECT_SOURCE_DIR}/docs/guide-ja.txt ${tessaly_guide} @ONLY NEWLINE_STYLE CRLF)
set(tessaly_zip_docs ${PROJECT_SOURCE_DIR}/README.md ${tessaly_guide})
foreach(name LICENSE LICENSE.txt COPYING)
  if(EXISTS ${PROJECT_SOURCE_DIR}/${name})
    list(APPEND tessaly_zip_docs ${PROJECT_SOURCE_DIR}/${name})
  endif()
endforeach()
set(tessaly_zip_dir ${CMAKE_BINARY_DIR}/zip/tessaly)
add_custom_command(
  OUTPUT ${tessaly_zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/zip
  COMMAND ${CMAKE_COMMAND} -E make_directory ${tessaly_zip_dir}
  COMMAND ${CMAKE_COMMAND} -E copy ${tessaly_zip_programs} ${tessaly_zip_docs} ${tessaly_zip_dir}
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/zip
          ${CMAKE_COMMAND} -E tar cf ${tessaly_zip} --format=zip tessaly
  DEPENDS ${tessaly_zip_programs} ${tessaly_zip_docs}
  COMMENT "Packing ${tessaly_zip}"
  VERBATIM)
add_custom_target(tessaly-zip ALL DEPENDS ${tessaly_zip})
add_dependencies(tessaly-zip tessaly-cli)
