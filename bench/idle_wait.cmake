# CPU cost of an idle EventWait (the waits of the single-instance probe, the command link
# and the controller): a harness that prints its figures.
qt_add_executable(bench_idle_wait ${CMAKE_CURRENT_LIST_DIR}/idle_wait.cpp)
target_link_libraries(bench_idle_wait PRIVATE qr_core)
