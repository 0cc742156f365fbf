# cmake -DCHECKER=<check_engine_includes.cmake> -DWORK=<scratch folder> -P layering_check_test.cmake
#
# Trees where an engine includes ui/ directly, through a header of the tree, or through a
# header beside it must fail, naming the path; a clean engine (commented-out include, a
# system header, a suite header, include cycles) must pass.

cmake_minimum_required(VERSION 3.20)

file(REMOVE_RECURSE "${WORK}")
function(put path text)
  file(WRITE "${WORK}/${path}" "${text}")
endfunction()

put(suite/paths.h "#pragma once\n")
put(frame/f.h "#pragma once\n#include \"ui/image.h\"\n")
put(ftp/cycle_a.h "#pragma once\n#include \"ftp/cycle_b.h\"\n")
put(ftp/cycle_b.h "#pragma once\n#include \"ftp/cycle_a.h\"\n#include <vector>\n")
put(ftp/clean.cpp "#include \"ftp/cycle_a.h\"\n#include \"suite/paths.h\"\n// #include \"ui/ui.h\" is gone\n#include <string>\n")
put(ftp/direct.cpp "#include <string>\n  #  include \"ui/ui.h\"\n")
put(ftp/through.cpp "#include \"ftp/cycle_a.h\"\n#include \"frame/f.h\"\n")
put(ftp/beside.h "#pragma once\n#include \"ui/entry.h\"\n")
put(ftp/beside.cpp "#include \"beside.h\"\n")

set(failures "")
function(expect files wanted)
  list(TRANSFORM files PREPEND "${WORK}/")
  string(REPLACE ";" "|" joined "${files}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK} "-DFILES=${joined}" -P ${CHECKER}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(wanted STREQUAL "pass")
    if(NOT rc EQUAL 0)
      list(APPEND failures "${files}: refused\n${out}")
    endif()
  else()
    string(FIND "${out}" "${wanted}" at)
    if(rc EQUAL 0 OR at EQUAL -1)
      list(APPEND failures "${files}: expected a refusal naming \"${wanted}\", got ${rc}\n${out}")
    endif()
  endif()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

expect("ftp/clean.cpp" pass)
expect("ftp/direct.cpp" "ftp/direct.cpp -> ui/ui.h")
expect("ftp/clean.cpp;ftp/through.cpp" "ftp/through.cpp -> frame/f.h -> ui/image.h")
expect("ftp/beside.cpp" "beside.h -> ui/entry.h")

if(failures)
  list(JOIN failures "\n" shown)
  message(FATAL_ERROR "${shown}")
endif()
