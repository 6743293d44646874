# SPDX-License-Identifier: GPL-3.0-or-later
# SQLite for the ledger: the system's library on Linux; for Windows, Debian's own source of
# sqlite3 made into sqlite3.c at configure time and compiled with MinGW.
if(WIN32)
  set(LOGORA_SQLITE_DIR ${CMAKE_BINARY_DIR}/sqlite)
  execute_process(COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/sqlite-source.sh ${LOGORA_SQLITE_DIR}
                  RESULT_VARIABLE sqlite_made)
  if(NOT sqlite_made EQUAL 0)
    message(FATAL_ERROR "SQLite's source could not be made from Debian's sqlite3 source package")
  endif()
  enable_language(C)
  add_library(logora_sqlite3 STATIC ${LOGORA_SQLITE_DIR}/sqlite3.c)
  # SQLite's own code is not held to this project's warnings.
  target_compile_options(logora_sqlite3 PRIVATE -w)
  target_compile_definitions(logora_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_DQS=0
                             SQLITE_OMIT_LOAD_EXTENSION SQLITE_DEFAULT_FOREIGN_KEYS=1)
  target_include_directories(logora_sqlite3 SYSTEM PUBLIC ${LOGORA_SQLITE_DIR})
  add_library(SQLite::SQLite3 ALIAS logora_sqlite3)
else()
  find_package(SQLite3 REQUIRED)
endif()

# The ledger's database, an adapter of the core.
add_library(logora_ledger_sqlite STATIC src/ledger/sqlite/SqliteLedger.cpp)
target_link_libraries(logora_ledger_sqlite PUBLIC logora_core PRIVATE SQLite::SQLite3)
