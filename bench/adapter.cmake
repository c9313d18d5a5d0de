# bench_adapter: 8 KB WRITE, VERIFY and READ behind each USB adapter model of the simulated board
# (the brindle-board child process), lock-step and without waiting, against the 19200-baud floor.
if(TARGET brindle-board)
  add_executable(bench_adapter ${CMAKE_CURRENT_LIST_DIR}/adapter_bench.cpp)
  target_link_libraries(bench_adapter PRIVATE brindle_link)
  target_compile_definitions(bench_adapter PRIVATE BRINDLE_BOARD_EXE="$<TARGET_FILE:brindle-board>")
  add_dependencies(bench_adapter brindle-board)
endif()
