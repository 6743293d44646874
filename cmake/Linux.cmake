# SPDX-License-Identifier: GPL-3.0-or-later
# The Linux build: the LibreOffice plugin, the bill workbooks, the Qt program and what the
# Debian package installs.

# The office's plugin is loaded at run time, from the multiarch folder of the program's own
# private libraries as Debian keeps them (no ldconfig needed for a folder off its path).
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(LOGORA_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
  set(LOGORA_LIBDIR ${CMAKE_INSTALL_LIBDIR})
endif()
target_sources(logora_core PRIVATE src/export/CalcPlugin.cpp)
target_link_libraries(logora_core PUBLIC ${CMAKE_DL_LIBS})

# Adapter: LibreOffice Calc through UNO, a plugin loaded at run time. The UNO headers of
# just the types it uses are generated from the office's type libraries.
set(LO_PROGRAM /usr/lib/libreoffice/program)
set(LO_CPPUMAKER /usr/lib/libreoffice/sdk/bin/cppumaker)
# Not in the sanitizer build: UBSan cannot follow the office's proxy objects.
if(NOT LOGORA_CORE_ONLY AND NOT LOGORA_SANITIZE AND EXISTS ${LO_CPPUMAKER} AND EXISTS ${LO_PROGRAM}/types.rdb
   AND EXISTS /usr/include/libreoffice/sal)
  set(LOGORA_WITH_CALC ON)
  set(UNO_INCLUDE ${CMAKE_BINARY_DIR}/uno-include)
  set(UNO_TYPES
    com.sun.star.uno.DeploymentException com.sun.star.uno.XComponentContext
    com.sun.star.bridge.UnoUrlResolver com.sun.star.connection.NoConnectException
    com.sun.star.frame.Desktop com.sun.star.frame.XDesktop2 com.sun.star.frame.XComponentLoader
    com.sun.star.frame.XStorable com.sun.star.util.XCloseable com.sun.star.lang.XComponent
    com.sun.star.container.XNameAccess com.sun.star.sheet.XSpreadsheetDocument
    com.sun.star.sheet.XSpreadsheets com.sun.star.sheet.XSpreadsheet com.sun.star.table.XCell
    com.sun.star.text.XText com.sun.star.beans.PropertyValue)
  if(NOT EXISTS ${UNO_INCLUDE}/com/sun/star/frame/Desktop.hpp)
    set(type_args)
    foreach(t ${UNO_TYPES})
      list(APPEND type_args -T${t})
    endforeach()
    execute_process(
      COMMAND ${LO_CPPUMAKER} -Gc -O${UNO_INCLUDE} ${type_args}
              ${LO_PROGRAM}/types.rdb ${LO_PROGRAM}/types/offapi.rdb
      RESULT_VARIABLE cppumaker_result)
    if(NOT cppumaker_result EQUAL 0)
      message(FATAL_ERROR "cppumaker failed: ${cppumaker_result}")
    endif()
  endif()
  add_library(logora_calc MODULE src/export/calc/CalcSpreadsheet.cpp src/export/calc/OfficeProcess.cpp)
  target_include_directories(logora_calc SYSTEM PRIVATE ${UNO_INCLUDE} /usr/include/libreoffice)
  target_compile_definitions(logora_calc PRIVATE LINUX UNX GCC CPPU_ENV=gcc3)
  target_link_libraries(logora_calc PRIVATE logora_core
    ${LO_PROGRAM}/libuno_cppuhelpergcc3.so.3 ${LO_PROGRAM}/libuno_cppu.so.3
    ${LO_PROGRAM}/libuno_salhelpergcc3.so.3 ${LO_PROGRAM}/libuno_sal.so.3)
  set_target_properties(logora_calc PROPERTIES
    BUILD_RPATH ${LO_PROGRAM} INSTALL_RPATH ${LO_PROGRAM}
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/logora)
  install(TARGETS logora_calc LIBRARY DESTINATION ${LOGORA_LIBDIR}/logora)
else()
  set(LOGORA_WITH_CALC OFF)
  message(STATUS "LibreOffice SDK not found: bills cannot be exported from this build")
endif()

# The bill workbooks: flat ODF written by a generator, turned into .xls by the office.
add_executable(logora_make_bills tools/MakeBills.cpp)
find_program(LOGORA_SOFFICE soffice)
set(BILLS_DIR ${CMAKE_BINARY_DIR}/share/logora/bills)
if(LOGORA_SOFFICE AND NOT LOGORA_CORE_ONLY)
  set(BILL_FILES ${BILLS_DIR}/账单明细.xls ${BILLS_DIR}/账单明细1.xls ${BILLS_DIR}/账单汇总.xls)
  add_custom_command(OUTPUT ${BILL_FILES}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/bills-src ${BILLS_DIR}
    COMMAND logora_make_bills ${CMAKE_BINARY_DIR}/bills-src
    COMMAND ${LOGORA_SOFFICE} -env:UserInstallation=file://${CMAKE_BINARY_DIR}/lo-build-profile
            --headless --convert-to "xls:MS Excel 97" --outdir ${BILLS_DIR}
            ${CMAKE_BINARY_DIR}/bills-src/账单明细.fods ${CMAKE_BINARY_DIR}/bills-src/账单明细1.fods
            ${CMAKE_BINARY_DIR}/bills-src/账单汇总.fods
    DEPENDS logora_make_bills
    COMMENT "Making the bill workbooks")
  add_custom_target(bills ALL DEPENDS ${BILL_FILES})
  install(FILES ${BILL_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/logora/bills)
endif()

if(LOGORA_FUZZ)
  foreach(target NumberText Volume)
    add_executable(fuzz_${target} fuzz/${target}Fuzz.cpp)
    target_compile_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
    target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(fuzz_${target} PRIVATE logora_core)
  endforeach()
  # A bounded run from the committed seeds; the corpus grows in a scratch copy.
  add_test(NAME fuzz_number COMMAND ${CMAKE_COMMAND} -E env sh -c
    "rm -rf corpus-number && cp -r ${CMAKE_SOURCE_DIR}/fuzz/corpus/number corpus-number && ./fuzz_NumberText -max_total_time=30 -max_len=8192 corpus-number")
  add_test(NAME fuzz_volume COMMAND ${CMAKE_COMMAND} -E env sh -c
    "rm -rf corpus-volume && cp -r ${CMAKE_SOURCE_DIR}/fuzz/corpus/volume corpus-volume && ./fuzz_Volume -max_total_time=30 -max_len=4096 corpus-volume")
  set_tests_properties(fuzz_number fuzz_volume PROPERTIES LABELS fuzz)
endif()

if(NOT LOGORA_CORE_ONLY)
  find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
  set(CMAKE_AUTOMOC ON)

  add_library(logora_qt STATIC
    src/app/FormView.cpp
    src/app/Fonts.cpp
    src/app/Application.cpp
    src/app/Artwork.cpp
    src/app/Exports.cpp
    src/app/LedgerDialog.cpp
    src/app/ComparisonDialog.cpp
    src/app/PriceDetailDialog.cpp
  )
  target_link_libraries(logora_qt PUBLIC logora_core logora_ledger_sqlite logora_ledger_pg logora_phone
                        Qt6::Widgets)
  target_compile_definitions(logora_qt PRIVATE LOGORA_INSTALL_LIBDIR="${LOGORA_LIBDIR}")
  # A build tree keeps what is installed under share/logora, as an installed program does.
  configure_file(docs/manual.html ${CMAKE_BINARY_DIR}/share/logora/manual.html COPYONLY)
  # The manual's pictures lie beside it.
  foreach(picture ${LOGORA_MANUAL_PICTURES})
    get_filename_component(name ${picture} NAME)
    configure_file(${picture} ${CMAKE_BINARY_DIR}/share/logora/${name} COPYONLY)
  endforeach()

  add_executable(logora src/app/main.cpp)
  target_link_libraries(logora PRIVATE logora_qt)
  install(TARGETS logora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES docs/manual.html ${LOGORA_MANUAL_PICTURES} sql/logora-yard.sql
    DESTINATION ${CMAKE_INSTALL_DATADIR}/logora)

endif()

if(NOT LOGORA_CORE_ONLY AND NOT LOGORA_SANITIZE)
  # Desktop integration: icons drawn here, the desktop entry and the AppStream metainfo.
  add_executable(logora_make_icons tools/MakeIcons.cpp)
  target_link_libraries(logora_make_icons PRIVATE logora_qt)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/icons/256x256/apps/org.logora.Logora.png
    COMMAND logora_make_icons ${CMAKE_BINARY_DIR}/icons DEPENDS logora_make_icons)
  add_custom_target(icons ALL DEPENDS ${CMAKE_BINARY_DIR}/icons/256x256/apps/org.logora.Logora.png)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor
    PATTERN logora.ico EXCLUDE)
  install(FILES data/org.logora.Logora.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES data/org.logora.Logora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/org.logora.Logora.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # What Debian asks of every package: the copyright, the changelog and a manual page, the
  # latter two compressed as dh_compress would (-9, no name or time inside).
  set(DEBIAN_DOC ${CMAKE_INSTALL_DATADIR}/doc/logora)
  foreach(page changelog logora.1)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/debian
      COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/data/debian/${page} > ${CMAKE_BINARY_DIR}/debian/${page}.gz
      DEPENDS data/debian/${page})
  endforeach()
  add_custom_target(debian_pages ALL
    DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz ${CMAKE_BINARY_DIR}/debian/logora.1.gz)
  install(FILES data/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz DESTINATION ${DEBIAN_DOC})
  install(FILES ${CMAKE_BINARY_DIR}/debian/logora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES data/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
    RENAME logora)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME logora)
  set(CPACK_PACKAGE_VENDOR "Logora")
  set(CPACK_PACKAGE_CONTACT "Logora developers <developers@logora.org>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Timber volume calculator for log scalers and timber traders")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[Logora tallies a load of logs or sawn boards the way a log scaler writes it
on the yard: diameter class, length and piece count of each entry, or
length, width, thickness and pieces of sawn boards. It shows each entry's
volume in cubic metres by the national log-volume rules (GB/T 4814), or by
the JAS or Brereton rule for imported logs, totals pieces, volumes and
money, and prices logs by three diameter classes.

A tally is exported as a numbered bill into a LibreOffice Calc workbook,
ready to print on one page, archived with a PDF and recorded in a searchable
bill ledger with day, month and party totals. Tallies are kept safe against
a crash. The interface is in Chinese.]=])
  # Stripped programs in the package, their debug information in logora-dbgsym.
  set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
  set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/CompleteDbgsym.cmake)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION misc)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Bills print through LibreOffice Calc; the calculators work without it.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libreoffice-calc, fonts-arphic-uming, fonts-noto-cjk")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-utils")
  include(CPack)

  add_executable(logora_screenshots EXCLUDE_FROM_ALL tools/Screenshots.cpp)
  target_link_libraries(logora_screenshots PRIVATE logora_qt)
endif()
