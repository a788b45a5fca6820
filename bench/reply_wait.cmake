# CPU cost of a command's reply wait that runs out (5000 ms) and of the connect wait: a
# harness that prints its figures and fails when the reply wait costs 50 ms of CPU or more.
qt_add_executable(bench_reply_wait ${CMAKE_CURRENT_LIST_DIR}/reply_wait.cpp)
target_link_libraries(bench_reply_wait PRIVATE qr_engine)
