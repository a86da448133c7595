# Runs inside cpack on the staged files, before they are packed: compresses the
# manual pages and the changelog as Debian expects them (gzip -9, without the
# file's name and time, so the same files give the same package).
file(GLOB_RECURSE compressed
  "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/*.[1-9]"
  "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/doc/*/changelog")
foreach(file ${compressed})
  execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${file}")
  endif()
endforeach()
