# SPDX-License-Identifier: GPL-3.0-or-later
# The phone tally: its page compiled in, JSON by nlohmann-json in the core, the HTTP server
# by cpp-httplib and the QR code by libqrencode in the adapter. On Linux from Debian's -dev
# packages; for Windows from Debian's source packages, once per build folder.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/phone/page.html)
file(READ ${CMAKE_SOURCE_DIR}/src/phone/page.html LOGORA_PHONE_PAGE)
configure_file(${CMAKE_SOURCE_DIR}/src/phone/PhonePage.cpp.in
               ${CMAKE_BINARY_DIR}/generated/PhonePage.cpp @ONLY)
target_sources(logora_core PRIVATE src/phone/Tally.cpp src/phone/PhoneDesk.cpp
               src/phone/PhoneWindow.cpp src/ui/PhoneWindowDef.cpp
               ${CMAKE_BINARY_DIR}/generated/PhonePage.cpp)

if(WIN32)
  set(LOGORA_PHONE_DIR ${CMAKE_BINARY_DIR}/phone)
  execute_process(COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/phone-sources.sh ${LOGORA_PHONE_DIR}
                  RESULT_VARIABLE phone_made)
  if(NOT phone_made EQUAL 0)
    message(FATAL_ERROR "cpp-httplib, qrencode or nlohmann-json could not be had from Debian's sources")
  endif()
  target_include_directories(logora_core SYSTEM PUBLIC ${LOGORA_PHONE_DIR}/include)
  file(GLOB LOGORA_QRENCODE_SOURCES ${LOGORA_PHONE_DIR}/qrencode/*.c)
  add_library(logora_qrencode STATIC ${LOGORA_QRENCODE_SOURCES})
  target_compile_options(logora_qrencode PRIVATE -w)
  target_compile_definitions(logora_qrencode PRIVATE STATIC_IN_RELEASE=static MAJOR_VERSION=4
                             MINOR_VERSION=1 MICRO_VERSION=1 VERSION="4.1.1")
  target_include_directories(logora_qrencode SYSTEM PUBLIC ${LOGORA_PHONE_DIR}/qrencode)
  set(LOGORA_PHONE_LIBS logora_qrencode ws2_32)
else()
  find_package(nlohmann_json 3 REQUIRED)
  target_link_libraries(logora_core PUBLIC nlohmann_json::nlohmann_json)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
  pkg_check_modules(QRENCODE REQUIRED IMPORTED_TARGET libqrencode)
  set(LOGORA_PHONE_LIBS PkgConfig::HTTPLIB PkgConfig::QRENCODE)
endif()
add_library(logora_phone STATIC src/phone/http/PhoneServer.cpp src/phone/http/PhoneService.cpp
            src/phone/lan/LanAddress${LOGORA_PLATFORM}.cpp src/phone/qr/QrCode.cpp)
target_link_libraries(logora_phone PUBLIC logora_core logora_ledger_sqlite PRIVATE ${LOGORA_PHONE_LIBS})
