# Native half of bench/bench_display.py: the display dialog against the least
# work its results need.
add_executable(bench_display bench_display.cpp)
target_link_libraries(bench_display PRIVATE kelvara_display Qt6::Test)
