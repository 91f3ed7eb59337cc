# find_package(DADADA32 CONFIG): imported targets DADADA32::DADADA32 (the
# library), DADADA32::ZOREDO32, DADADA32::ZUREDU and DADADA32::ZAROV, each
# with its header folder, import library (IMPORTED_IMPLIB) and DLL
# (IMPORTED_LOCATION).  Copy the DLLs a program uses beside it:
# DADADA32.dll needs ZOREDO32.dll and loads ZUREDU.dll and ZAROV.dll when
# they are there.
include(${CMAKE_CURRENT_LIST_DIR}/DADADA32Targets.cmake)
set(DADADA32_DLLS DADADA32::DADADA32 DADADA32::ZOREDO32 DADADA32::ZUREDU DADADA32::ZAROV)
