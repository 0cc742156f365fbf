# Engines are the libraries that work without a window: sockets and files, the settings
# files, FTP, the installer's tables, the upload. They include nothing from ui/, directly
# or through another header of the tree, and link only other engines (and the header-only
# suite/ and the deployment values), so that each can be driven and tested without a
# window, and each program's window is the one adapter on top of them.
#
#   velmo_engine_libraries(<target>...)   declares engines (any time after the targets exist)
#   velmo_check_engine_layering()         at the end of the top CMakeLists: checks the links
#                                         now and adds the build step `engine_layering`,
#                                         which scans the engines' sources on every build
#                                         they change in (cmake/check_engine_includes.cmake);
#                                         an engine of a program folder (VELMO_PROGRAM_FOLDERS)
#                                         must have its sources in that folder's engine/

set(VELMO_ENGINE_CHECKER ${CMAKE_CURRENT_LIST_DIR}/check_engine_includes.cmake)

function(velmo_engine_libraries)
  set_property(GLOBAL APPEND PROPERTY VELMO_ENGINE_LIBRARIES ${ARGN})
endfunction()

function(velmo_check_engine_layering)
  get_property(engines GLOBAL PROPERTY VELMO_ENGINE_LIBRARIES)
  set(allowed ${engines} velmo_suite velmo_deployment)
  set(files "")
  foreach(engine IN LISTS engines)
    if(NOT TARGET ${engine})
      message(FATAL_ERROR "velmo_engine_libraries: no target ${engine}")
    endif()
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(links ${engine} ${property})
      foreach(link IN LISTS links)
        if(link MATCHES "^velmo_" AND NOT link IN_LIST allowed)
          message(FATAL_ERROR "engine ${engine} links ${link}, which is not an engine")
        endif()
      endforeach()
    endforeach()
    get_target_property(dir ${engine} SOURCE_DIR)
    get_target_property(sources ${engine} SOURCES)
    # A program's folder shows its layers: the engine's files in engine/, the rest beside.
    cmake_path(GET dir FILENAME part)
    set(engine_folder "")
    if(part IN_LIST VELMO_PROGRAM_FOLDERS)
      set(engine_folder ${dir}/engine/)
    endif()
    foreach(source IN LISTS sources)
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${dir} OUTPUT_VARIABLE source)
      if(engine_folder AND NOT source MATCHES "^${engine_folder}")
        message(FATAL_ERROR "engine ${engine}: ${source} is not in ${engine_folder}")
      endif()
      list(APPEND files ${source})
      # The header of the same name, which the source need not include first.
      cmake_path(REPLACE_EXTENSION source LAST_ONLY .h OUTPUT_VARIABLE header)
      if(EXISTS ${header})
        list(APPEND files ${header})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES files)
  set(stamp ${CMAKE_BINARY_DIR}/engine_layering.stamp)
  string(REPLACE ";" "|" joined "${files}")
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR} "-DFILES=${joined}" -P ${VELMO_ENGINE_CHECKER}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${files} ${VELMO_ENGINE_CHECKER}
    COMMENT "Checking that engines include nothing from ui/"
    VERBATIM)
  add_custom_target(engine_layering ALL DEPENDS ${stamp})
endfunction()
