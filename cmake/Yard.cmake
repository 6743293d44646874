# SPDX-License-Identifier: GPL-3.0-or-later
# The yard's ledger on PostgreSQL: libpq from Debian's libpq-dev, the schema compiled in from
# the SQL file that is also shipped for a database administrator.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sql/logora-yard.sql)
file(READ ${CMAKE_SOURCE_DIR}/sql/logora-yard.sql LOGORA_YARD_SQL)
configure_file(${CMAKE_SOURCE_DIR}/src/ledger/pg/YardSchema.cpp.in
               ${CMAKE_BINARY_DIR}/generated/YardSchema.cpp @ONLY)
if(WIN32)
  # libpq and OpenSSL for MinGW from Debian's source packages, once per build folder; the
  # DLLs go beside the programs and tests, and into the installer.
  set(LOGORA_LIBPQ_DIR ${CMAKE_BINARY_DIR}/libpq)
  execute_process(COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/libpq-mingw.sh ${LOGORA_LIBPQ_DIR}
                  RESULT_VARIABLE libpq_made)
  if(NOT libpq_made EQUAL 0)
    message(FATAL_ERROR "libpq could not be built from Debian's postgresql-15 and openssl sources")
  endif()
  add_library(logora_libpq SHARED IMPORTED GLOBAL)
  set_target_properties(logora_libpq PROPERTIES
    IMPORTED_LOCATION ${LOGORA_LIBPQ_DIR}/bin/libpq.dll
    IMPORTED_IMPLIB ${LOGORA_LIBPQ_DIR}/lib/libpq.dll.a
    INTERFACE_INCLUDE_DIRECTORIES ${LOGORA_LIBPQ_DIR}/include)
  add_library(PostgreSQL::PostgreSQL ALIAS logora_libpq)
  file(GLOB LOGORA_LIBPQ_DLLS ${LOGORA_LIBPQ_DIR}/bin/*.dll)
  file(COPY ${LOGORA_LIBPQ_DLLS} DESTINATION ${CMAKE_BINARY_DIR})
else()
  find_package(PostgreSQL REQUIRED)
endif()
add_library(logora_ledger_pg STATIC src/ledger/pg/PgYard.cpp src/ledger/pg/DeskLedger.cpp
            src/ledger/pg/PgPass${LOGORA_PLATFORM}.cpp ${CMAKE_BINARY_DIR}/generated/YardSchema.cpp)
target_link_libraries(logora_ledger_pg PUBLIC logora_core logora_ledger_sqlite
                      PRIVATE PostgreSQL::PostgreSQL)
