# bench_image: LOAD and SAVE of a full 64 KB image (run by hand: build/bench_image).
add_executable(bench_image ${CMAKE_CURRENT_SOURCE_DIR}/image_bench.cpp)
target_link_libraries(bench_image PRIVATE brindle_image)
