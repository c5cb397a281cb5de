# Writes the shared library's version script OUTPUT from TEMPLATE: @QRV_LOCAL_NAMES@ becomes the unique
# symbols (inline variables) that NM finds defined in the static libraries ARCHIVES, each kept local by
# name. The file is rewritten only when it changes, so that the library is relinked only then.
set(names "")
foreach(archive IN LISTS ARCHIVES)
  execute_process(COMMAND "${NM}" -C --defined-only "${archive}" OUTPUT_VARIABLE listing RESULT_VARIABLE rc
                  ERROR_VARIABLE error)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${archive}: ${error}")
  endif()
  string(REGEX MATCHALL "[0-9a-fA-F]+ u [^\n]+" lines "${listing}")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[0-9a-fA-F]+ u " "" name "${line}")
    list(APPEND names "${name}")
  endforeach()
endforeach()
list(REMOVE_DUPLICATES names)
list(SORT names)
set(QRV_LOCAL_NAMES "")
foreach(name IN LISTS names)
  string(APPEND QRV_LOCAL_NAMES "      \"${name}\";\n")
endforeach()
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
