# The fuzz targets: each index file, then the text inputs, then the positions file.
add_library(norvel_fuzz_env STATIC fuzz_env.cpp)
target_link_libraries(norvel_fuzz_env PUBLIC norvel_viewer norvel_index norvel_test_support)
norvel_warnings(norvel_fuzz_env)

foreach(file stats words file_list postings)
  norvel_fuzz_target(${file} SOURCES fuzz_index_files.cpp LIBS norvel_fuzz_env)
endforeach()
target_compile_definitions(fuzz_stats PRIVATE NORVEL_FUZZ_FILE="_stats.dat")
target_compile_definitions(fuzz_words PRIVATE NORVEL_FUZZ_FILE="_ndxwrds.dat")
target_compile_definitions(fuzz_file_list PRIVATE NORVEL_FUZZ_FILE="_file0.dat")
target_compile_definitions(fuzz_postings PRIVATE NORVEL_FUZZ_FILE="_ndxfile.dat")

set(text_targets settings exclusions document query)
foreach(i RANGE 3)
  list(GET text_targets ${i} name)
  norvel_fuzz_target(${name} SOURCES fuzz_text_inputs.cpp LIBS norvel_fuzz_env norvel_export norvel_query norvel_viewer)
  target_compile_definitions(fuzz_${name} PRIVATE NORVEL_FUZZ_TEXT=${i})
endforeach()

# The positions file has a reader of its own, with its own target.
norvel_fuzz_target(positions SOURCES fuzz_positions.cpp LIBS norvel_fuzz_env)
