# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows build: logora.exe over the core, its tests run under Wine, the installer.
# Everything is linked statically, so the program needs no DLL beside the system's own.
add_link_options(-static -static-libgcc -static-libstdc++)
# GCC 12 warns of overlapping copies inside std::string at -O2 and above (GCC bug 105329).
add_compile_options(-Wno-restrict)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)

target_sources(logora_core PRIVATE src/export/WinOfficeProbe.cpp)

add_library(logora_files STATIC src/prices/FilePriceStore.cpp src/prices/FileOpsWin.cpp)
target_link_libraries(logora_files PUBLIC logora_core)

if(BUILD_TESTING)
  # GoogleTest from Debian's sources, built for Windows with the tests.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_executable(logora_core_tests ${LOGORA_CORE_TESTS})
  target_link_libraries(logora_core_tests PRIVATE logora_core logora_files gtest_main)
  # One test under Wine: discovering each case would start Wine a hundred times.
  add_test(NAME core_tests COMMAND logora_core_tests)
  set_tests_properties(core_tests PROPERTIES LABELS core)
endif()

# What the Linux build makes and Windows installs as it is: the bill workbooks and the icon.
set(LOGORA_LINUX_BUILD ${CMAKE_SOURCE_DIR}/build/default CACHE PATH
    "The Linux build whose bill workbooks and icon the Windows program installs")

# The Windows front end.
set(LOGORA_ICON ${LOGORA_LINUX_BUILD}/icons/logora.ico)
configure_file(src/win/logora.rc.in ${CMAKE_BINARY_DIR}/logora.rc)
add_executable(logora WIN32
  src/win/main.cpp
  src/win/FormWindow.cpp
  src/win/WinApp.cpp
  src/win/ComSpreadsheet.cpp
  src/app/Recovery.cpp
  ${CMAKE_BINARY_DIR}/logora.rc
)
target_link_options(logora PRIVATE -municode -s)
target_link_libraries(logora PRIVATE logora_files comctl32 ole32 oleaut32 uuid shell32)

if(BUILD_TESTING)
  # The stand-in spreadsheet application and the COM adapter's test against it.
  add_library(logora_standin MODULE tests/win/StandInOffice.cpp tests/win/StandInOffice.def)
  set_target_properties(logora_standin PROPERTIES PREFIX "")
  target_link_libraries(logora_standin PRIVATE ole32 oleaut32 uuid advapi32)
  add_executable(logora_com_tests tests/win/ComSpreadsheetTest.cpp src/win/ComSpreadsheet.cpp)
  target_link_libraries(logora_com_tests PRIVATE logora_files gtest_main ole32 oleaut32 uuid)
  target_compile_definitions(logora_com_tests PRIVATE
    LOGORA_STANDIN_DLL=L"$<TARGET_FILE_NAME:logora_standin>")
  add_dependencies(logora_com_tests logora_standin)
  add_test(NAME com_adapter COMMAND logora_com_tests)
  set_tests_properties(com_adapter PROPERTIES LABELS office TIMEOUT 300)
endif()

# The installer, from the program and what the Linux build made.
find_program(MAKENSIS makensis)
set(LOGORA_BILLS ${LOGORA_LINUX_BUILD}/share/logora/bills)
if(MAKENSIS AND EXISTS ${LOGORA_BILLS}/账单明细.xls AND EXISTS ${LOGORA_ICON})
  set(LOGORA_SETUP ${CMAKE_BINARY_DIR}/Logora-${PROJECT_VERSION}-setup.exe)
  set(LOGORA_EXE ${CMAKE_BINARY_DIR}/logora.exe)
  configure_file(src/win/logora.nsi.in ${CMAKE_BINARY_DIR}/logora.nsi @ONLY)
  add_custom_command(OUTPUT ${LOGORA_SETUP}
    COMMAND ${MAKENSIS} -V2 ${CMAKE_BINARY_DIR}/logora.nsi
    DEPENDS logora ${CMAKE_BINARY_DIR}/logora.nsi docs/manual.html
    COMMENT "Making the installer")
  add_custom_target(installer ALL DEPENDS ${LOGORA_SETUP})
else()
  message(STATUS "makensis, the bills or the icon of ${LOGORA_LINUX_BUILD} missing: no installer")
endif()

if(BUILD_TESTING)
  # Wine keeps its own prefix for the tests in the build folder, quiet.
  set_tests_properties(core_tests com_adapter PROPERTIES
    ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix;WINEDEBUG=-all")
  if(TARGET installer)
    # The installed program under Wine and a window manager, typed into by xdotool.
    add_test(NAME windows_desktop COMMAND sh ${CMAKE_SOURCE_DIR}/tests/win/window-test.sh
      ${LOGORA_SETUP} $<TARGET_FILE:logora_standin>)
    set_tests_properties(windows_desktop PROPERTIES LABELS system TIMEOUT 600 RUN_SERIAL ON
      ENVIRONMENT "LOGORA_SHOTS=${CMAKE_BINARY_DIR}/shots")
  endif()
endif()

# The cost of a tick of the Windows front end, by hand: `wine build/windows/logora_tick_cost.exe`.
add_executable(logora_tick_cost WIN32 bench/WinTickCost.cpp src/win/FormWindow.cpp)
target_link_options(logora_tick_cost PRIVATE -mconsole)
target_link_libraries(logora_tick_cost PRIVATE logora_core comctl32)
