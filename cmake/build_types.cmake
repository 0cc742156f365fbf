# Optimised builds. Release is what the suite delivers: -O2 (GCC's -O3 default for Release
# makes the programs bigger for no gain a user would notice) and, for the Windows programs,
# stripped and reproducible: no link time stamp in the PE header and no build-folder paths
# in the code, so the same commit builds the same bytes wherever it is checked out.
# RelWithDebInfo is the same code with debugging information, for looking into a fault.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_C_FLAGS_RELWITHDEBINFO "-O2 -g -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O2 -g -DNDEBUG")
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>
                    $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>)
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp $<$<CONFIG:Release>:-s>)
endif()

# velmo_silence_gcc12_restrict(<source>...)
#
# GCC 12 reports a false -Wrestrict inside std::string ("literal" + std::string&&, where
# libstdc++'s insert copies with char_traits::copy: GCC bug 105329, fixed in GCC 13) once
# it inlines deeply enough: at -O3 (CMake's Release default), in the files named where the
# function is called; -Werror makes that an error. Only those files, only GCC 12, and only
# that warning are exempted: every other warning stays an error there too.
function(velmo_silence_gcc12_restrict)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
     AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    set_property(SOURCE ${ARGN} APPEND PROPERTY COMPILE_OPTIONS -Wno-restrict)
  endif()
endfunction()
