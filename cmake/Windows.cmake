# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows build: logora.exe over the core and the installer; the tests are in tests/.
# Everything is linked statically but the yard's client library (libpq and OpenSSL), whose
# DLLs are built from Debian's sources and installed beside the program.
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)

# What the Linux build makes and Windows installs as it is: the bill workbooks and the icon.
set(LOGORA_LINUX_BUILD ${CMAKE_SOURCE_DIR}/build/default CACHE PATH
    "The Linux build whose bill workbooks and icon the Windows program installs")

# The Windows front end, once, for the program, the tick-cost tool and the COM test.
add_library(logora_win STATIC
  src/win/FormWindow.cpp
  src/win/WinApp.cpp
  src/win/ComSpreadsheet.cpp
  src/win/LedgerWindow.cpp
  src/win/ComparisonWindow.cpp
  src/win/PriceDetailWindow.cpp
  src/win/ToolWindow.cpp
)
target_link_libraries(logora_win PUBLIC logora_core logora_ledger_sqlite logora_ledger_pg logora_phone comctl32 comdlg32 ole32 oleaut32 uuid shell32 shlwapi)

set(LOGORA_ICON ${LOGORA_LINUX_BUILD}/icons/logora.ico)
configure_file(src/win/logora.rc.in ${CMAKE_BINARY_DIR}/logora.rc)
add_executable(logora WIN32 src/win/main.cpp ${CMAKE_BINARY_DIR}/logora.rc)
target_link_options(logora PRIVATE -municode -s)
target_link_libraries(logora PRIVATE logora_win)

# The installer, from the program and what the Linux build made.
find_program(MAKENSIS makensis)
set(LOGORA_BILLS ${LOGORA_LINUX_BUILD}/share/logora/bills)
if(MAKENSIS AND EXISTS ${LOGORA_BILLS}/账单明细.xls AND EXISTS ${LOGORA_ICON})
  set(LOGORA_SETUP ${CMAKE_BINARY_DIR}/Logora-${PROJECT_VERSION}-setup.exe)
  set(LOGORA_EXE ${CMAKE_BINARY_DIR}/logora.exe)
  configure_file(src/win/logora.nsi.in ${CMAKE_BINARY_DIR}/logora.nsi @ONLY)
  add_custom_command(OUTPUT ${LOGORA_SETUP}
    COMMAND ${MAKENSIS} -V2 ${CMAKE_BINARY_DIR}/logora.nsi
    DEPENDS logora ${CMAKE_BINARY_DIR}/logora.nsi docs/manual.html ${LOGORA_MANUAL_PICTURES}
    COMMENT "Making the installer")
  add_custom_target(installer ALL DEPENDS ${LOGORA_SETUP})
else()
  message(STATUS "makensis, the bills or the icon of ${LOGORA_LINUX_BUILD} missing: no installer")
endif()

# The cost of a tick of the Windows front end, by hand: `wine build/windows/logora_tick_cost.exe`.
add_executable(logora_tick_cost WIN32 bench/WinTickCost.cpp)
target_link_options(logora_tick_cost PRIVATE -mconsole)
target_link_libraries(logora_tick_cost PRIVATE logora_win)
