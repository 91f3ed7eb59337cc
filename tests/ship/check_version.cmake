cmake_minimum_required(VERSION 3.20)
# Reads the version resource back from shipped binaries and checks it.
#   cmake -DWINDRES=... -DDIR=<bin> -DNAMES=a.dll,b.exe -DVERSION=x.y.z -P check_version.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/DadaScript.cmake)
dada_require(check_version WINDRES DIR NAMES VERSION)

string(REPLACE "." ";" parts "${VERSION}")
list(LENGTH parts n)
while(n LESS 4)
  list(APPEND parts 0)
  math(EXPR n "${n} + 1")
endwhile()
list(JOIN parts ", " commas)
string(REPLACE "." "\\." version_re "${VERSION}")

set(errors "")
string(REPLACE "," ";" names "${NAMES}")
foreach(name IN LISTS names)
  execute_process(COMMAND ${WINDRES} -i ${DIR}/${name} -J coff -O rc
                  OUTPUT_VARIABLE rc ERROR_VARIABLE err RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    string(APPEND errors "  ${name}: ${err}")
    continue()
  endif()
  if(name MATCHES "\\.exe$")
    set(type 0x1)
  else()
    set(type 0x2)
  endif()
  string(REPLACE "." "\\." name_re "${name}")
  foreach(expected
      "\n +FILEVERSION ${commas}\n" "\n +PRODUCTVERSION ${commas}\n" "\n +FILETYPE ${type}\n"
      "VALUE \"FileVersion\", \"${version_re}\"" "VALUE \"ProductVersion\", \"${version_re}\""
      "VALUE \"ProductName\", \"DADADA32\"" "VALUE \"CompanyName\", \"DADADA32 [^\"]+\""
      "VALUE \"FileDescription\", \"DADADA32 [^\"]+\"" "VALUE \"OriginalFilename\", \"${name_re}\"")
    if(NOT rc MATCHES "${expected}")
      string(STRIP "${expected}" expected)
      string(APPEND errors "  ${name}: no ${expected}\n")
    endif()
  endforeach()
endforeach()
if(errors)
  message(FATAL_ERROR "Version resources in ${DIR}:\n${errors}")
endif()
message(STATUS "Version ${VERSION} in ${NAMES}")
