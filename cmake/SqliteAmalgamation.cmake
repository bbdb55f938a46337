# SQLite for the Windows build: no Debian package carries SQLite's single-file source for a
# cross build, so it comes pinned from the npm package that ships it, and is checked byte for
# byte before it is compiled in. The Linux build keeps Debian's libsqlite3.
set(RILO_SQLITE_NPM_PACKAGE better-sqlite3@11.10.0)
set(RILO_SQLITE_VERSION 3.49.2)
set(RILO_SQLITE_C_SHA256 e80215754ac6cfaefe272342efd581b6dbefdbdc21f96bd83fcb698bee9d36a5)
set(RILO_SQLITE_H_SHA256 2198c66d4c59ae86421590c27fd53309ec14a595ae31c0c7143247444018a0bd)

set(sqlite_dir ${CMAKE_BINARY_DIR}/_deps/sqlite-${RILO_SQLITE_VERSION})

function(rilo_sqlite_checksum_ok result)
  set(ok TRUE)
  foreach(pair "sqlite3.c;${RILO_SQLITE_C_SHA256}" "sqlite3.h;${RILO_SQLITE_H_SHA256}")
    list(GET pair 0 file)
    list(GET pair 1 expected)
    if(NOT EXISTS ${sqlite_dir}/${file})
      set(ok FALSE)
    else()
      file(SHA256 ${sqlite_dir}/${file} actual)
      if(NOT actual STREQUAL expected)
        message(WARNING "${sqlite_dir}/${file}: SHA-256 ${actual}, expected ${expected}")
        set(ok FALSE)
      endif()
    endif()
  endforeach()
  set(${result} ${ok} PARENT_SCOPE)
endfunction()

rilo_sqlite_checksum_ok(sqlite_ok)
if(NOT sqlite_ok)
  find_program(NPM npm REQUIRED)
  set(pack_dir ${CMAKE_BINARY_DIR}/_deps/npm)
  file(REMOVE_RECURSE ${pack_dir} ${sqlite_dir})
  file(MAKE_DIRECTORY ${pack_dir} ${sqlite_dir})
  message(STATUS "Fetching the SQLite ${RILO_SQLITE_VERSION} amalgamation from npm (${RILO_SQLITE_NPM_PACKAGE})")
  execute_process(COMMAND ${NPM} pack ${RILO_SQLITE_NPM_PACKAGE} --silent
                  WORKING_DIRECTORY ${pack_dir} RESULT_VARIABLE failed OUTPUT_VARIABLE tarball
                  OUTPUT_STRIP_TRAILING_WHITESPACE TIMEOUT 300)
  if(failed)
    message(FATAL_ERROR "npm pack ${RILO_SQLITE_NPM_PACKAGE} failed (${failed})")
  endif()
  file(ARCHIVE_EXTRACT INPUT ${pack_dir}/${tarball} DESTINATION ${pack_dir}
       PATTERNS package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h)
  file(COPY ${pack_dir}/package/deps/sqlite3/sqlite3.c ${pack_dir}/package/deps/sqlite3/sqlite3.h
       DESTINATION ${sqlite_dir})
  file(REMOVE_RECURSE ${pack_dir})
  rilo_sqlite_checksum_ok(sqlite_ok)
  if(NOT sqlite_ok)
    message(FATAL_ERROR "The SQLite amalgamation from ${RILO_SQLITE_NPM_PACKAGE} does not match its pinned SHA-256")
  endif()
endif()

enable_language(C)
add_library(rilo_sqlite3 STATIC ${sqlite_dir}/sqlite3.c)
target_include_directories(rilo_sqlite3 SYSTEM PUBLIC ${sqlite_dir})
# Third-party source: its warnings are not ours to fix.
target_compile_options(rilo_sqlite3 PRIVATE -w)
# The same options as Debian's libsqlite3 where the engine relies on them.
target_compile_definitions(rilo_sqlite3 PRIVATE
  SQLITE_THREADSAFE=1
  SQLITE_ENABLE_COLUMN_METADATA  # the write-back finds a result column's base table
  SQLITE_ENABLE_MATH_FUNCTIONS)
add_library(SQLite::SQLite3 ALIAS rilo_sqlite3)
