# Compiler settings shared by every target of our own, and the test helpers.

if(WIN32)
  # One self-contained 32-bit executable: no MinGW runtime DLLs beside it.
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 __USE_MINGW_ANSI_STDIO=1)
  set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
  set(CMAKE_SHARED_LINKER_FLAGS "${CMAKE_SHARED_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # A 32-bit program marked large-address-aware gets 4 GB of address space on 64-bit
    # Windows instead of 2 GB: a large index needs it. The tests are built the same way,
    # so that they run with the addresses the programs get.
    set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -Wl,--large-address-aware")
  endif()
endif()

# Fuzz builds instrument all of our code for coverage; only the fuzz programs link libFuzzer.
if(NORVEL_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(NORVEL_CHECKS)
  add_compile_definitions(NORVEL_CHECKS=1)
endif()

if(NORVEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# -Wall -Wextra -Werror on our own code; third-party code (GoogleTest) is built without it.
function(norvel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-missing-field-initializers)
endfunction()

# A static library of our own: norvel_library(name SOURCES ... [LIBS ...])
function(norvel_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  norvel_warnings(${name})
endfunction()

# A GoogleTest executable registered with CTest (run under Wine in the win32 build
# through CMAKE_CROSSCOMPILING_EMULATOR): norvel_unit_test(name SOURCES ... LIBS ...)
function(norvel_unit_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} gtest gmock gtest_main)
  target_compile_definitions(${name} PRIVATE NORVEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  norvel_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS unit TIMEOUT 600)
endfunction()
