cmake_minimum_required(VERSION 3.20)
# Installs a build tree into WORK/install, builds the consumer project
# against it in WORK/build, then runs its programs (RUN: the emulator) or
# checks their import tables (OBJDUMP): the library's functions imported by
# their plain names from DADADA32.dll.
#   cmake -DBUILD=... -DWORK=... -DTOOLCHAIN=... -DSOURCE=... -DVERSION=...
#         [-DRUN=...] [-DOBJDUMP=...] -P consumer.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/DadaScript.cmake)
dada_require(consumer BUILD WORK TOOLCHAIN SOURCE VERSION)
set(programs consumer_c consumer_cpp)
set(imports ALOG_Init ALOG_Write ALOG_End NameWildcardMatch)

# Runs a command in WORK/build; its output in `output`, the test fails on
# a non-zero exit.
function(step)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK}/build
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "${command}\nfailed (${rc}):\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/build)
step(${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}/install --strip)   # as packaged
step(${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK}/build -G Ninja -DCMAKE_BUILD_TYPE=Release
     -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_PREFIX_PATH=${WORK}/install
     -DDADADA32_WANTED=${VERSION})
step(${CMAKE_COMMAND} --build ${WORK}/build)

foreach(program IN LISTS programs)
  if(RUN)
    step(${RUN} ${program}.exe)
    message(STATUS "${output}")
  endif()
  if(OBJDUMP)
    step(${OBJDUMP} -p ${program}.exe)
    if(NOT output MATCHES "DLL Name: DADADA32\\.dll\n[^\n]*\n((\t[^\n]+\n)*)")
      message(FATAL_ERROR "${program}.exe imports nothing from DADADA32.dll:\n${output}")
    endif()
    string(REGEX MATCHALL "[^ \t\n]+\n" names "${CMAKE_MATCH_1}")
    string(REPLACE "\n" "" names "${names}")
    foreach(name IN LISTS imports)
      if(NOT name IN_LIST names)
        message(FATAL_ERROR "${program}.exe does not import ${name} from DADADA32.dll: ${names}")
      endif()
    endforeach()
    if(names MATCHES "@")
      message(FATAL_ERROR "${program}.exe imports decorated names from DADADA32.dll: ${names}")
    endif()
    message(STATUS "${program}.exe imports from DADADA32.dll: ${names}")
  endif()
endforeach()
