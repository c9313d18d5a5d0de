# bench_link: WRITE, READ and VERIFY of 2 KB and 20 KB against the simulated board at line
# rate (the brindle-board child process), against the wire-time floor.
if(TARGET brindle-board)
  add_executable(bench_link ${CMAKE_CURRENT_LIST_DIR}/link_bench.cpp)
  target_link_libraries(bench_link PRIVATE brindle_link)
  target_compile_definitions(bench_link PRIVATE BRINDLE_BOARD_EXE="$<TARGET_FILE:brindle-board>")
  add_dependencies(bench_link brindle-board)
endif()
