# SPDX-License-Identifier: GPL-3.0-or-later
# The yard's ledger on PostgreSQL: libpq from Debian's libpq-dev, the schema compiled in from
# the SQL file that is also shipped for a database administrator.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sql/logora-yard.sql)
file(READ ${CMAKE_SOURCE_DIR}/sql/logora-yard.sql LOGORA_YARD_SQL)
configure_file(${CMAKE_SOURCE_DIR}/src/ledger/YardSchema.cpp.in
               ${CMAKE_BINARY_DIR}/generated/YardSchema.cpp @ONLY)
if(NOT WIN32)
  find_package(PostgreSQL REQUIRED)
  add_library(logora_ledger_pg STATIC src/ledger/PgYard.cpp src/ledger/DeskLedger.cpp
              src/ledger/PgPass${LOGORA_PLATFORM}.cpp ${CMAKE_BINARY_DIR}/generated/YardSchema.cpp)
  target_link_libraries(logora_ledger_pg PUBLIC logora_core logora_ledger_sqlite
                        PRIVATE PostgreSQL::PostgreSQL)
  set(LOGORA_YARD ON)
endif()
