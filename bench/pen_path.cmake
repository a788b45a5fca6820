# The pen path per record: validate, decode, map and dispatch into null devices, with the
# diagnostics off, for one and for ten active pens in touch and in mouse mode. The null
# devices and the manual clock are the tests' own stand-ins, compiled in here so that the
# benchmark builds without the test suite.
if(TARGET benchmark::benchmark)
    qt_add_executable(bench_pen_path ${CMAKE_CURRENT_LIST_DIR}/pen_path.cpp
        ${PROJECT_SOURCE_DIR}/tests/support/recordinginjection.cpp)
    target_include_directories(bench_pen_path PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(bench_pen_path PRIVATE qr_engine benchmark::benchmark)
else()
    message(STATUS "Google Benchmark not found: bench_pen_path is not built")
endif()
