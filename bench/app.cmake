# bench_app: the real window. Start-up to the first painted Form1 next to an empty QWidget of
# the same size (each in a fresh child process), LOAD and SAVE of 64 KB through the handlers.
add_executable(bench_app ${CMAKE_CURRENT_LIST_DIR}/app_bench.cpp ${CMAKE_CURRENT_LIST_DIR}/app_load_save.cpp
                         ${CMAKE_CURRENT_LIST_DIR}/app_support.h)
target_link_libraries(bench_app PRIVATE brindle_app Qt6::Widgets)
