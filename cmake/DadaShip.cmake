# Shipping the product as a Win32 library: a version resource in every
# shipped binary, `cmake --install`, the CMake package that
# find_package(DADADA32) reads, and the release archive (CPack, ZIP).
# The version comes from project(VERSION) in the top-level CMakeLists only.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(DADA_COMPANY "DADADA32 project")
set(DADA_COPYRIGHT "The DADADA32 project authors")
set(DADA_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/DADADA32)
foreach(part MAJOR MINOR PATCH TWEAK)
  if(NOT PROJECT_VERSION_${part})
    set(PROJECT_VERSION_${part} 0)
  endif()
endforeach()
set(DADA_VERSION_COMMAS
  "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")

# Shipped binaries: target, then the description its version resource gives.
set(DADA_SHIPPED
  DADADA32 "DADADA32 shared utility library"
  ZOREDO32 "DADADA32 kernel file library"
  ZUREDU   "DADADA32 communication library"
  ZAROV    "DADADA32 remote procedure call library"
  dada     "DADADA32 command-line tool")

# dada_version_resource(target description): res/version.rc.in filled in
# for one binary and compiled into it.
function(dada_version_resource target description)
  get_target_property(type ${target} TYPE)
  get_target_property(DADA_INTERNAL_NAME ${target} OUTPUT_NAME)
  if(NOT DADA_INTERNAL_NAME)
    set(DADA_INTERNAL_NAME ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(DADA_FILE_TYPE VFT_APP)
    set(DADA_FILE_NAME ${DADA_INTERNAL_NAME}.exe)
  else()
    set(DADA_FILE_TYPE VFT_DLL)
    set(DADA_FILE_NAME ${DADA_INTERNAL_NAME}.dll)
  endif()
  set(DADA_DESCRIPTION "${description}")
  set(rc ${PROJECT_BINARY_DIR}/version/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/res/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

set(shipped_libs "")
set(rest ${DADA_SHIPPED})
while(rest)
  list(POP_FRONT rest target description)
  dada_version_resource(${target} "${description}")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    list(APPEND shipped_libs ${target})
  endif()
endwhile()

# Everything that ships, and nothing else: what scripts/package builds.
add_custom_target(dada_ship)
add_dependencies(dada_ship ${shipped_libs} dada)

# bin/: the DLLs and dada.exe; lib/: import libraries; include/: the headers
# a caller of any of the four DLLs needs.
install(TARGETS ${shipped_libs} EXPORT DADADA32Targets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS dada RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/dadada32.h
              ${PROJECT_SOURCE_DIR}/companions/ZOREDO32/include/zoredo32.h
              ${PROJECT_SOURCE_DIR}/companions/ZUREDU/include/zuredu.h
              ${PROJECT_SOURCE_DIR}/companions/ZAROV/include/zarov.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/strtab.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The package: DADADA32::DADADA32, ::ZOREDO32, ::ZUREDU, ::ZAROV.  The
# version file also refuses a package built for the other architecture.
install(EXPORT DADADA32Targets NAMESPACE DADADA32:: DESTINATION ${DADA_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/DADADA32ConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/DADADA32Config.cmake
              ${PROJECT_BINARY_DIR}/DADADA32ConfigVersion.cmake
        DESTINATION ${DADA_PACKAGE_DIR})

# The release archive: DADADA32-<version>-win32.zip (i686, the product) or
# -win64.zip (x86_64), one top folder holding the installed tree.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_SYSTEM_NAME win32)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME DADADA32)
set(CPACK_PACKAGE_VENDOR "${DADA_COMPANY}")
set(CPACK_PACKAGE_FILE_NAME DADADA32-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES TRUE)      # the binaries without their debug information
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
include(CPack)
