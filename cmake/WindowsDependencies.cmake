# The libraries of the Windows build. Debian's packages carry Linux binaries, so the
# header-only ones are used from their headers (fmt in its header-only form), googletest is
# built from the sources Debian ships, SQLite from its pinned amalgamation, and ODBC is
# Windows' own odbc32.

# Only these folders of /usr/include may be seen by the cross compiler: the rest of it is
# Linux's C library, which would shadow mingw's.
set(rilo_header_dir ${CMAKE_BINARY_DIR}/_deps/include)
file(MAKE_DIRECTORY ${rilo_header_dir})
foreach(dir fmt nlohmann CLI)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing: run make deps")
  endif()
  file(CREATE_LINK /usr/include/${dir} ${rilo_header_dir}/${dir} SYMBOLIC)
endforeach()

add_library(rilo_fmt INTERFACE)
target_include_directories(rilo_fmt SYSTEM INTERFACE ${rilo_header_dir})
target_compile_definitions(rilo_fmt INTERFACE FMT_HEADER_ONLY)
add_library(fmt::fmt ALIAS rilo_fmt)
add_library(rilo_nlohmann_json INTERFACE)
target_include_directories(rilo_nlohmann_json SYSTEM INTERFACE ${rilo_header_dir})
add_library(nlohmann_json::nlohmann_json ALIAS rilo_nlohmann_json)
add_library(rilo_cli11 INTERFACE)
target_include_directories(rilo_cli11 SYSTEM INTERFACE ${rilo_header_dir})
add_library(CLI11::CLI11 ALIAS rilo_cli11)

add_library(rilo_odbc32 INTERFACE)
target_include_directories(rilo_odbc32 SYSTEM BEFORE INTERFACE ${CMAKE_CURRENT_LIST_DIR}/win32-include)
target_link_libraries(rilo_odbc32 INTERFACE odbc32)
add_library(ODBC::ODBC ALIAS rilo_odbc32)

include(${CMAKE_CURRENT_LIST_DIR}/SqliteAmalgamation.cmake)

# googletest from Debian's source package, without our warning flags.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(saved_options "${CMAKE_CXX_FLAGS}")
get_directory_property(rilo_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${rilo_options}")
foreach(target gtest gtest_main gmock gmock_main)
  target_compile_options(${target} PRIVATE -w)
  # Seen as system headers, so our -Werror does not judge them either.
  get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
  set_target_properties(${target} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${dirs}")
endforeach()
foreach(target gtest gtest_main gmock)
  if(NOT TARGET GTest::${target})
    add_library(GTest::${target} ALIAS ${target})
  endif()
endforeach()
