# Network tests: each runs in its own pair of network namespaces joined by a veth pair
# (support/netns-pair.sh), so nothing it sends can reach the machine's real network.
#
# qr_add_netns_test(<name> SOURCES <files…> [LIBRARIES <targets…>] [ENVIRONMENT <VAR=value…>]
#                   [LABELS <labels…>] [TIMEOUT <seconds>] [EXTRA_ADDRESSES <n>]
#                   [PROJECTOR [<simulator options…>]])
#
# The test runs in the computer namespace (10.77.0.1/24); the projector namespace has
# 10.77.0.2/24 and, with EXTRA_ADDRESSES n, also 10.77.0.3 … 10.77.0.(n+2).
# With PROJECTOR the simulator runs in the projector namespace with the given options for the
# whole test, and the test starts once it is listening. Without it the test may start the
# simulator itself, as often as it likes, through NetnsProjector (support/netnsprojector.h).
# The environment of the test names the namespaces, the addresses and the simulator
# (QR_PROJECTOR_SIM). Without root the test exits with 77 and ctest reports it skipped.

set(QR_NETNS_PAIR ${CMAKE_CURRENT_LIST_DIR}/netns-pair.sh)

add_library(qr_netnssupport STATIC
    ${CMAKE_CURRENT_LIST_DIR}/netnsprojector.cpp ${CMAKE_CURRENT_LIST_DIR}/netnsprojector.h)
target_link_libraries(qr_netnssupport PUBLIC quillrelay Qt6::Test)
target_include_directories(qr_netnssupport PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
set_target_properties(qr_netnssupport PROPERTIES AUTOMOC ON)

function(qr_add_netns_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "TIMEOUT;EXTRA_ADDRESSES"
                          "SOURCES;LIBRARIES;ENVIRONMENT;LABELS;PROJECTOR")
    set(wants_projector OFF)
    if(DEFINED arg_PROJECTOR OR "PROJECTOR" IN_LIST arg_KEYWORDS_MISSING_VALUES)
        set(wants_projector ON)
    endif()
    qr_add_test(${name} SOURCES ${arg_SOURCES} LIBRARIES qr_netnssupport ${arg_LIBRARIES}
                NO_ADD_TEST)

    set(env QT_QPA_PLATFORM=offscreen "QT_LOGGING_RULES=quillrelay.*.debug=true"
        ${arg_ENVIRONMENT})
    set(cmd ${QR_NETNS_PAIR} --name ${name})
    if(arg_EXTRA_ADDRESSES)
        list(APPEND cmd --extra ${arg_EXTRA_ADDRESSES})
    endif()
    if(TARGET projector-sim)
        add_dependencies(tst_${name} projector-sim)
        list(APPEND env "QR_PROJECTOR_SIM=$<TARGET_FILE:projector-sim>")
        if(wants_projector)
            list(JOIN arg_PROJECTOR " " sim_args)
            list(APPEND cmd --projector
                 "'$<TARGET_FILE:projector-sim>' ${sim_args} --ready-file @READY@")
        endif()
    elseif(wants_projector)
        message(STATUS "Test ${name} needs the projector simulator (QR_BUILD_TOOLS): not added")
        return()
    endif()

    add_test(NAME ${name} COMMAND ${cmd} -- $<TARGET_FILE:tst_${name}>)
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "${env}"
        SKIP_RETURN_CODE 77
        LABELS "netns;${arg_LABELS}")
    if(arg_TIMEOUT)
        set_tests_properties(${name} PROPERTIES TIMEOUT ${arg_TIMEOUT})
    endif()
endfunction()
