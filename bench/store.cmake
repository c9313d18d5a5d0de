# bench_store: serial numbers taken and marked per second, one process of a store_bench.sh run.
add_executable(bench_store ${CMAKE_CURRENT_LIST_DIR}/store_bench.cpp)
target_link_libraries(bench_store PRIVATE brindle_station)
