# cmake -DCHECKER=<check_engine_includes.cmake> -DWORK=<scratch folder> -P layering_check_test.cmake
#
# An engine that reaches ui/ directly, through a header of the tree or through one beside it
# is refused, with the path named; a clean one (commented include, include cycle, system
# and suite headers) passes.
cmake_minimum_required(VERSION 3.20)

file(REMOVE_RECURSE "${WORK}")
foreach(file_and_text
    "suite/paths.h|#pragma once"
    "frame/f.h|#include \"ui/image.h\""
    "ftp/a.h|#include \"ftp/b.h\""
    "ftp/b.h|#include \"ftp/a.h\"\n#include <vector>"
    "ftp/clean.cpp|#include \"ftp/a.h\"\n#include \"suite/paths.h\"\n// #include \"ui/ui.h\"\n#include <string>"
    "ftp/direct.cpp|  #  include \"ui/ui.h\""
    "ftp/through.cpp|#include \"ftp/a.h\"\n#include \"frame/f.h\""
    "ftp/beside.h|#include \"ui/entry.h\""
    "ftp/beside.cpp|#include \"beside.h\"")
  string(REPLACE "|" ";" parts "${file_and_text}")
  list(GET parts 0 path)
  list(GET parts 1 text)
  file(WRITE "${WORK}/${path}" "${text}\n")
endforeach()

foreach(case "clean.cpp|" "direct.cpp|ftp/direct.cpp -> ui/ui.h"
        "through.cpp|ftp/through.cpp -> frame/f.h -> ui/image.h" "beside.cpp|beside.h -> ui/entry.h")
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 file)
  list(GET parts 1 wanted)
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK} -DFILES=${WORK}/ftp/${file} -P ${CHECKER}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(FIND "${out}" "${wanted}" at)
  if(wanted STREQUAL "" AND NOT rc EQUAL 0)
    message(SEND_ERROR "${file} refused:\n${out}")
  elseif(NOT wanted STREQUAL "" AND (rc EQUAL 0 OR at EQUAL -1))
    message(SEND_ERROR "${file}: expected a refusal naming \"${wanted}\", got ${rc}:\n${out}")
  endif()
endforeach()
