# vexa_win_server_test(name [OFFLINE] SOURCES files...)
# A GoogleTest executable run under Wine beside a fresh local test server (with_server.sh),
# in a private network namespace where the system reports a LAN connection; OFFLINE makes it
# report itself offline instead. All such tests share one Wine prefix for the namespace, so
# ctest runs them one at a time (other tests run beside them).
include_guard(GLOBAL)

function(vexa_win_server_test name)
    if(NOT WIN32 OR NOT VEXA_BUILD_TESTS)
        return()
    endif()
    cmake_parse_arguments(ARG "OFFLINE" "" "SOURCES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/server/TestServerClient.cpp)
    target_link_libraries(${name} PRIVATE vexa_core gtest gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    vexa_common_warnings(${name})
    set(mode)
    if(ARG_OFFLINE)
        set(mode --offline)
    endif()
    add_test(NAME ${name}
             COMMAND bash ${PROJECT_SOURCE_DIR}/tests/server/with_server.sh ${mode} --
                     ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS win RESOURCE_LOCK vexa_netns_wineprefix)
endfunction()
