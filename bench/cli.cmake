# bench_cli: brindle-cli auto on 1, 2, 4 and 8 simulated boards at line rate.
if(TARGET brindle-board AND TARGET brindle-cli)
  add_executable(bench_cli ${CMAKE_CURRENT_LIST_DIR}/cli_bench.cpp)
  target_link_libraries(bench_cli PRIVATE Qt6::Core)
  target_compile_definitions(bench_cli PRIVATE BRINDLE_BOARD_EXE="$<TARGET_FILE:brindle-board>"
                             BRINDLE_CLI_EXE="$<TARGET_FILE:brindle-cli>"
                             BRINDLE_EXAMPLE_HEX="${PROJECT_SOURCE_DIR}/examples/blink.hex")
  add_dependencies(bench_cli brindle-board brindle-cli)
endif()
