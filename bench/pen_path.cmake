# The pen path per record: validate, decode, map and dispatch into null devices, with the
# diagnostics off, for one and for ten active pens in touch and in mouse mode.
if(TARGET benchmark::benchmark)
    qt_add_executable(bench_pen_path ${CMAKE_CURRENT_LIST_DIR}/pen_path.cpp)
    target_link_libraries(bench_pen_path PRIVATE quillrelay benchmark::benchmark)
else()
    message(STATUS "Google Benchmark not found: bench_pen_path is not built")
endif()
