# velmo_add_program_resources(<target>)
#
# Gives a delivered Windows program its icon and version information, both made at build
# time by packaging/program_resources.py from the program's row in packaging/programs.tsv
# (its picture and description) and packaging/release.conf (version, year, product). A
# program not in that table is not delivered and gets nothing; the native tree gets nothing.
# velmo_add_gui_program calls this for every program, so a new program needs only its row.

set(VELMO_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR}/../packaging CACHE INTERNAL "")
get_filename_component(VELMO_PACKAGING_DIR ${VELMO_PACKAGING_DIR} ABSOLUTE)
if(VELMO_WINDOWS)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
endif()

function(velmo_add_program_resources target)
  if(NOT VELMO_WINDOWS)
    return()
  endif()
  set(table ${VELMO_PACKAGING_DIR}/programs.tsv)
  file(STRINGS ${table} rows REGEX "^${target}\t")
  if(NOT rows)
    message(STATUS "${target} is not in packaging/programs.tsv: no icon or version resource")
    return()
  endif()
  list(GET rows 0 row)
  string(REPLACE "\t" ";" fields "${row}")
  list(GET fields 2 picture)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/program_resources)
  set(assets ${VELMO_PACKAGING_DIR}/../assets)
  add_custom_command(
    OUTPUT ${out}/${target}.rc ${out}/${target}.ico
    COMMAND Python3::Interpreter ${VELMO_PACKAGING_DIR}/program_resources.py ${target} ${out}
    DEPENDS ${VELMO_PACKAGING_DIR}/program_resources.py ${VELMO_PACKAGING_DIR}/release_table.py
            ${table} ${VELMO_PACKAGING_DIR}/release.conf
            ${assets}/program_icon.py ${assets}/${picture}
    COMMENT "Icon and version information of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out}/${target}.rc)
  # windres does not see the .ico through the .rc: rebuild the resources when it changes.
  set_source_files_properties(${out}/${target}.rc PROPERTIES OBJECT_DEPENDS ${out}/${target}.ico)
endfunction()
