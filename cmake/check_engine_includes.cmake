# cmake -DROOT=<source tree> -DFILES=<file>|<file>|... -P check_engine_includes.cmake
#
# Fails, naming the path of includes, when one of FILES includes a header below ui/, itself
# or through the headers of the tree it includes ("dir/name.h" from ROOT, or beside the
# including file). Headers outside the tree (system, libraries) are not followed.

cmake_minimum_required(VERSION 3.20)

string(REPLACE "|" ";" files "${FILES}")

# The quoted includes of `file`, resolved to files of the tree; "ui/..." stays as it is.
function(includes_of file out)
  file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
  get_filename_component(here "${file}" DIRECTORY)
  set(found "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" name "${line}")
    if(name MATCHES "^ui/")
      list(APPEND found "${name}")
    elseif(EXISTS "${ROOT}/${name}")
      list(APPEND found "${ROOT}/${name}")
    elseif(EXISTS "${here}/${name}")
      list(APPEND found "${here}/${name}")
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(problems "")
foreach(start IN LISTS files)
  # Breadth first from one engine file; `paths` keeps how each queued file was reached.
  set(queue "${start}")
  set(paths "${start}")
  set(seen "")
  while(queue)
    list(POP_FRONT queue file)
    list(POP_FRONT paths path)
    if(file IN_LIST seen)
      continue()
    endif()
    list(APPEND seen "${file}")
    includes_of("${file}" included)
    foreach(next IN LISTS included)
      if(next MATCHES "^ui/")
        string(REPLACE "${ROOT}/" "" shown "${path} -> ${next}")
        list(APPEND problems "${shown}")
      else()
        list(APPEND queue "${next}")
        list(APPEND paths "${path} -> ${next}")
      endif()
    endforeach()
  endwhile()
endforeach()

if(problems)
  list(REMOVE_DUPLICATES problems)
  list(JOIN problems "\n  " shown)
  message(FATAL_ERROR "engines must include nothing from ui/:\n  ${shown}")
endif()
