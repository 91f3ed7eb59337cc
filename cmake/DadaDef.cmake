# Export tables from .def files.
#
# A .def here names every function with its stdcall argument size
# (Name@N @ordinal).  On i686 the DLL is linked with --kill-at, so the
# exports are undecorated, and the import library is made by dlltool -k so a
# caller's decorated references (_Name@N) bind to the undecorated export.
# On x86_64 there is no decoration: the @N is dropped from the names.

function(dada_use_def target def)
  get_filename_component(def_name ${def} NAME)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    file(READ ${def} text)
    string(REGEX REPLACE "([A-Za-z_][A-Za-z0-9_]*)@[0-9]+" "\\1" text "${text}")
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${def_name})
    file(GENERATE OUTPUT ${out} CONTENT "${text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
    target_sources(${target} PRIVATE ${out})
  else()
    target_sources(${target} PRIVATE ${def})
    target_link_options(${target} PRIVATE -Wl,--kill-at)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_DLLTOOL} -k -d ${def} -D $<TARGET_FILE_NAME:${target}>
              -l $<TARGET_LINKER_FILE:${target}>
      COMMENT "Import library of ${target} with stdcall names")
  endif()
endfunction()

# dada_companion_library(target OUTPUT name DEF file.def SOURCES ...)
#   One of our platform libraries: a DLL named `name`, exports from its .def,
#   public headers in include/ beside the CMakeLists that calls this.  It
#   builds on the bottom layer (dada_base) only, never on the product.
function(dada_companion_library target)
  cmake_parse_arguments(C "" "OUTPUT;DEF" "SOURCES" ${ARGN})
  add_library(${target} SHARED ${C_SOURCES})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${C_OUTPUT}
                        IMPORT_PREFIX "lib" IMPORT_SUFFIX ".dll.a")
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>)
  target_link_libraries(${target} PRIVATE dada_base)
  target_link_options(${target} PRIVATE ${DADA_DLL_LINK})
  dada_use_def(${target} ${CMAKE_CURRENT_SOURCE_DIR}/${C_DEF})
endfunction()
