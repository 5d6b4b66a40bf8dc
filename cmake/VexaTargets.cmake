# Shared target definitions and the small helpers every folder's CMakeLists.txt uses.
#
#   vexa_portable_sources(files...)  portable code (no Win32): built into vexa_portable in both
#                                    builds, so host tests, sanitizers and fuzzers see it too
#   vexa_win_sources(files...)       Windows-only code of the program: built into vexa_core
#   vexa_win_test(name files...)     a GoogleTest executable run under Wine by ctest
#   vexa_win_desktop_test(name files...)  the same, on a desktop of its own (see below)
#   vexa_host_test(name files...)    a GoogleTest executable of the host build (sanitizers on)
#
# Tools are found, not assumed: VEXA_PYTHON (the Python 3 interpreter every scripted test
# runs), VEXA_GTEST_SOURCE_DIR (GoogleTest's sources, built with each tree) and, in the
# Windows build, VEXA_MINGW_ZLIB. Every test writes pictures and logs under one folder,
# VEXA_TEST_ARTIFACT_DIR (build/test-artifacts/<area>/ for the default build folder).

option(VEXA_BUILD_TESTS "Build the test executables" ON)
set(VEXA_HOST_TOOLS_DIR "" CACHE PATH "Folder of the host build's tools (lzari_pack, vexa_stamp)")
set(VEXA_LIBPNG_DIR "/var/cache/vexa-build/libpng-mingw" CACHE PATH "libpng built for mingw")
set(VEXA_LIBSODIUM_DIR "/var/cache/vexa-build/libsodium-mingw" CACHE PATH "libsodium built for mingw")

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(VEXA_PYTHON ${Python3_EXECUTABLE} CACHE INTERNAL "Python 3 interpreter of the tests")
find_path(VEXA_GTEST_SOURCE_DIR NAMES googletest/CMakeLists.txt
          PATHS /usr/src/googletest ENV GTEST_SOURCE_DIR NO_CMAKE_FIND_ROOT_PATH
          DOC "GoogleTest's source folder")
# Both builds sit side by side in one build folder and share its artefact folder.
get_filename_component(VEXA_TEST_ARTIFACT_DIR ${CMAKE_BINARY_DIR}/../test-artifacts ABSOLUTE)
set(VEXA_TEST_ARTIFACT_DIR ${VEXA_TEST_ARTIFACT_DIR} CACHE INTERNAL "Pictures and logs of tests")

macro(vexa_add_googletest)
    if(VEXA_BUILD_TESTS)
        if(NOT VEXA_GTEST_SOURCE_DIR)
            message(FATAL_ERROR "GoogleTest sources not found: set VEXA_GTEST_SOURCE_DIR")
        endif()
        set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        add_subdirectory(${VEXA_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    endif()
endmacro()

function(vexa_common_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter
                                             -Wno-missing-field-initializers)
endfunction()

# Delay-load import libraries of system modules: for each name, a library made by dlltool
# from every function the toolchain's own import library names, so the program links as
# before but loads the module only when one of them is first called. `out` receives the
# libraries' paths.
function(vexa_delay_imports out)
    find_program(VEXA_DLLTOOL NAMES x86_64-w64-mingw32-dlltool dlltool REQUIRED)
    set(libraries)
    set(defs)
    foreach(name ${ARGN})
        find_library(import_${name} NAMES lib${name}.a REQUIRED)
        execute_process(COMMAND ${CMAKE_NM} --defined-only ${import_${name}}
                        OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
        string(REGEX MATCHALL "[\r\n][0-9a-f]+ T [A-Za-z_][A-Za-z0-9_@]*" functions "\n${symbols}")
        list(TRANSFORM functions REPLACE "^[\r\n][0-9a-f]+ T " "")
        list(REMOVE_DUPLICATES functions)
        list(JOIN functions "\n" exports)
        set(def ${CMAKE_BINARY_DIR}/delayimp/${name}.def)
        set(library ${CMAKE_BINARY_DIR}/delayimp/lib${name}_delay.a)
        file(CONFIGURE OUTPUT ${def} CONTENT "LIBRARY ${name}.dll\nEXPORTS\n${exports}\n")
        add_custom_command(OUTPUT ${library}
            COMMAND ${VEXA_DLLTOOL} --input-def ${def} --dllname ${name}.dll
                    --output-delaylib ${library}
            DEPENDS ${def} COMMENT "Delay-load library for ${name}.dll" VERBATIM)
        list(APPEND libraries ${library})
        list(APPEND defs ${def})
    endforeach()
    add_custom_target(vexa_delay_imports DEPENDS ${libraries})
    set(${out} ${libraries} PARENT_SCOPE)
    set(VEXA_DELAY_IMPORT_DEFS ${defs} CACHE INTERNAL "Exports of the delay-loaded modules")
endfunction()

# A shipped program keeps its debug information in TARGET.exe.debug beside it, and the
# program itself is stripped of it and names that file (a GNU debug link): the publisher
# keeps both per released version for `vexa_publish crashes`. The stamp changes resources
# only, so a stamped copy's code reads with the same file.
function(vexa_keep_symbols target)
    set(objcopy x86_64-w64-mingw32-objcopy)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${objcopy} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
        COMMAND ${objcopy} --strip-debug --add-gnu-debuglink=$<TARGET_FILE:${target}>.debug
                $<TARGET_FILE:${target}>
        VERBATIM)
endfunction()

macro(vexa_setup_windows_build)
    add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601
                            WINVER=0x0601 _WIN32_IE=0x0800)
    # Everything static: Wine then finds no missing libstdc++/winpthread DLLs, and each
    # copy of the program is one self-contained file.
    add_link_options(-static -static-libgcc -static-libstdc++)
    add_compile_options(-fno-strict-aliasing)
    # Line tables and function names (no variables: small, and the code is the same as
    # without): a crash dump of a shipped copy reads with them (vexa_keep_symbols).
    add_compile_options(-g1)

    add_library(vexa_portable STATIC)
    target_include_directories(vexa_portable PUBLIC ${PROJECT_SOURCE_DIR}/src)
    vexa_common_warnings(vexa_portable)

    # Signatures and file hashes of signed packages, for the portable code.
    add_library(sodium_static STATIC IMPORTED GLOBAL)
    set_target_properties(sodium_static PROPERTIES
        IMPORTED_LOCATION ${VEXA_LIBSODIUM_DIR}/lib/libsodium.a
        INTERFACE_INCLUDE_DIRECTORIES ${VEXA_LIBSODIUM_DIR}/include
        INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC)
    target_link_libraries(vexa_portable PUBLIC sodium_static)

    add_library(vexa_core STATIC)
    target_include_directories(vexa_core PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(vexa_core PUBLIC vexa_portable)
    vexa_common_warnings(vexa_core)

    add_library(png_static STATIC IMPORTED GLOBAL)
    set_target_properties(png_static PROPERTIES
        IMPORTED_LOCATION ${VEXA_LIBPNG_DIR}/lib/libpng16.a
        INTERFACE_INCLUDE_DIRECTORIES ${VEXA_LIBPNG_DIR}/include)
    # The toolchain file points find_library at the mingw sysroot.
    find_library(VEXA_MINGW_ZLIB NAMES libz.a z REQUIRED)
    target_link_libraries(png_static INTERFACE ${VEXA_MINGW_ZLIB})

    # System modules outside the loader's list of known ones are loaded on first use, after
    # the program has limited the module search to the system folder: linked the usual way
    # they would be looked for first beside the program (a user's Downloads folder).
    vexa_delay_imports(delay_loaded wininet comctl32 msimg32 version dbghelp winmm wintrust)
    target_link_libraries(vexa_core PUBLIC png_static
        ${delay_loaded} shlwapi shell32 ole32 oleaut32 uuid comdlg32 gdi32 user32
        psapi advapi32 ws2_32 kernel32)
    add_dependencies(vexa_core vexa_delay_imports)

    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    vexa_add_googletest()
endmacro()

macro(vexa_setup_host_build)
    option(VEXA_SANITIZE "Build host code with AddressSanitizer and UBSan" ON)
    if(VEXA_SANITIZE)
        set(VEXA_SAN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
                           -fno-omit-frame-pointer)
        add_compile_options(${VEXA_SAN_FLAGS})
        add_link_options(${VEXA_SAN_FLAGS})
    endif()
    # Made after the options above: targets take the directory's options when they are
    # created, and the portable code is what the host tests are there to check.
    add_library(vexa_portable STATIC)
    target_include_directories(vexa_portable PUBLIC ${PROJECT_SOURCE_DIR}/src)
    vexa_common_warnings(vexa_portable)
    vexa_host_libpng(vexa_png)
    # Debian's libsodium-dev: signatures and file hashes of signed packages.
    find_library(VEXA_HOST_SODIUM NAMES sodium REQUIRED)
    target_link_libraries(vexa_portable PUBLIC ${VEXA_HOST_SODIUM})
    vexa_add_googletest()
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        # Once every folder has added its sources: the fuzzers' copy of the portable code.
        cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL vexa_make_fuzz_portable)
    endif()
endmacro()

# libpng for the host build, compiled here from the same Debian source tarball as the
# Windows build's, so that it carries this build's sanitizers (and, for the fuzzers, their
# coverage instrumentation). Without the tarball the system's libpng stands in.
set(VEXA_LIBPNG_TARBALL_GLOB "/var/cache/vexa-build/libpng-src/libpng1.6_*.orig.tar.*"
    CACHE STRING "Where the libpng source tarball is looked for")
function(vexa_host_libpng name)
    file(GLOB tarballs ${VEXA_LIBPNG_TARBALL_GLOB})
    if(NOT tarballs)
        message(STATUS "${name}: no libpng source tarball, using the system's libpng")
        find_package(PNG REQUIRED)
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE PNG::PNG)
        return()
    endif()
    list(GET tarballs 0 tarball)
    set(dir ${CMAKE_BINARY_DIR}/libpng-src)
    if(NOT EXISTS ${dir}/.extracted OR ${tarball} IS_NEWER_THAN ${dir}/.extracted)
        file(REMOVE_RECURSE ${dir})
        file(ARCHIVE_EXTRACT INPUT ${tarball} DESTINATION ${dir})
        file(TOUCH ${dir}/.extracted)
    endif()
    file(GLOB top LIST_DIRECTORIES true ${dir}/libpng-*)
    configure_file(${top}/scripts/pnglibconf.h.prebuilt ${dir}/include/pnglibconf.h COPYONLY)
    set(sources)
    foreach(unit png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset
                 pngtrans pngwio pngwrite pngwtran pngwutil)
        list(APPEND sources ${top}/${unit}.c)
    endforeach()
    find_package(ZLIB REQUIRED)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} SYSTEM PUBLIC ${top} ${dir}/include)
    target_compile_options(${name} PRIVATE -w ${ARGN})
    target_link_libraries(${name} PUBLIC ZLIB::ZLIB m)
endfunction()

# The fuzzers' copy of vexa_portable (and of libpng): the same sources with libFuzzer's
# coverage instrumentation, so that the fuzzers are guided by the code under test rather
# than by their own few lines.
function(vexa_make_fuzz_portable)
    get_target_property(sources vexa_portable SOURCES)
    add_library(vexa_portable_fuzz STATIC ${sources})
    target_include_directories(vexa_portable_fuzz PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_compile_options(vexa_portable_fuzz PRIVATE -fsanitize=fuzzer-no-link)
    vexa_common_warnings(vexa_portable_fuzz)
    set_target_properties(vexa_portable_fuzz PROPERTIES EXCLUDE_FROM_ALL TRUE)
    vexa_host_libpng(vexa_png_fuzz -fsanitize=fuzzer-no-link)
    get_target_property(libs vexa_portable LINK_LIBRARIES)
    if(libs)
        list(TRANSFORM libs REPLACE "^vexa_png$" vexa_png_fuzz)
        target_link_libraries(vexa_portable_fuzz PUBLIC ${libs})
    endif()
endfunction()

function(vexa_portable_sources)
    target_sources(vexa_portable PRIVATE ${ARGN})
endfunction()

function(vexa_win_sources)
    if(WIN32)
        target_sources(vexa_core PRIVATE ${ARGN})
    endif()
endfunction()

function(vexa_gtest_executable name library)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE ${library} gtest gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    vexa_common_warnings(${name})
endfunction()

# A publisher's tool, built in both builds: natively (into build/host/tools, for the demo and
# the tests) and as a Windows console program for publishers.
function(vexa_tool name library)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE ${library})
    vexa_common_warnings(${name})
    if(NOT WIN32)
        set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
    endif()
endfunction()

# A Windows program the tests start (a stand-in, a child that fails on demand, a driver):
# wmain-based, with the program's warnings, linked with the LIBS given.
function(vexa_test_program name)
    cmake_parse_arguments(arg "WINDOWED" "" "SOURCES;LIBS" ${ARGN})
    if(arg_WINDOWED)
        add_executable(${name} WIN32 ${arg_SOURCES})
    else()
        add_executable(${name} ${arg_SOURCES})
    endif()
    target_link_options(${name} PRIVATE -municode)
    target_link_libraries(${name} PRIVATE ${arg_LIBS})
    vexa_common_warnings(${name})
endfunction()

# A GoogleTest executable registered with ctest under `label`, linked with `library`.
function(vexa_gtest name label library)
    vexa_gtest_executable(${name} ${library} ${ARGN})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS ${label})
endfunction()

function(vexa_win_test name)
    if(WIN32 AND VEXA_BUILD_TESTS)
        vexa_gtest(${name} win vexa_core ${ARGN})
    endif()
endfunction()

# Tests whose windows must be alone on their screen (clicks go to whatever is under the
# pointer, focus and the front window matter, screenshots and window counts see the whole
# screen) run on a desktop of their own: an Xvfb display with a Wine session of its own.
# scripts/test.sh makes a few and hands them to ctest as the resource "desktop"; a test
# registered as add_test(NAME n COMMAND ${VEXA_ON_DESKTOP} command...) followed by
# vexa_desktop_test(n) runs on the one ctest gives it (tests/support/on_desktop.sh). Tests
# that only show windows of their own and look at nothing else stay on the shared display.
set(VEXA_ON_DESKTOP bash ${PROJECT_SOURCE_DIR}/tests/support/on_desktop.sh)
function(vexa_desktop_test name)
    set_tests_properties(${name} PROPERTIES RESOURCE_GROUPS desktop:1)
endfunction()

# A Python test: `${VEXA_PYTHON} SCRIPT [GROUP]` (the script runs the group of cases named by
# its argument), with the environment every scripted test finds its pieces by: the program as
# shipped and its test build, the uploader, the download-window host, the stand-in installer,
# the stamping tool, the test driver, the local test server, VEXA_ARTIFACTS and a PYTHONPATH
# of tests/e2e and tests/support (the script's own folder comes first by itself).
#
#   vexa_e2e_test(NAME SCRIPT [GROUPS group...] [DESKTOP] [LABEL label] [COST s] [TIMEOUT s]
#                 [PREFIX command...] [ENV VAR=value...])
#
# With GROUPS, one test NAME_group per group; without, one test NAME. DESKTOP: on a desktop of
# its own (vexa_desktop_test). PREFIX: a command the script runs under (a server beside it, a
# network namespace of its own). ENV: more variables, or other values (the later ones win). LABEL
# defaults to e2e, TIMEOUT to 600 s.
function(vexa_e2e_test name script)
    cmake_parse_arguments(PARSE_ARGV 2 arg "DESKTOP" "LABEL;COST;TIMEOUT"
                          "GROUPS;PREFIX;ENV")
    if(NOT VEXA_BUILD_TESTS)
        return()
    endif()
    set(prefix ${arg_PREFIX})
    if(arg_DESKTOP)
        list(PREPEND prefix ${VEXA_ON_DESKTOP})
    endif()
    set(env VEXA_ARTIFACTS=${VEXA_TEST_ARTIFACT_DIR}
        VEXA_TEST_SERVER=${PROJECT_SOURCE_DIR}/tests/server/vexa_test_server.py
        PYTHONPATH=${PROJECT_SOURCE_DIR}/tests/e2e:${PROJECT_SOURCE_DIR}/tests/support
        PYTHONDONTWRITEBYTECODE=1)
    if(WIN32)
        list(APPEND env VEXA_PROGRAM=$<TARGET_FILE:VexaYoral>
             VEXA_TEST_BUILD_PROGRAM=$<TARGET_FILE:VexaYoralTestBuild>
             VEXA_UPLOADER=$<TARGET_FILE:Plorex>
             VEXA_DLWINDOW_HOST=$<TARGET_FILE:dlwindow_host>
             VEXA_STAND_IN_INSTALLER=$<TARGET_FILE:vexa_standin_installer>
             VEXA_STAMP=${VEXA_HOST_TOOLS_DIR}/vexa_stamp
             VEXA_TESTDRIVER=$<TARGET_FILE:vexa_testdriver>)
    endif()
    list(APPEND env ${arg_ENV})
    set(tests)
    if(arg_GROUPS)
        foreach(group ${arg_GROUPS})
            add_test(NAME ${name}_${group}
                     COMMAND ${prefix} ${VEXA_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/${script} ${group})
            list(APPEND tests ${name}_${group})
        endforeach()
    else()
        add_test(NAME ${name} COMMAND ${prefix} ${VEXA_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/${script})
        set(tests ${name})
    endif()
    if(NOT arg_LABEL)
        set(arg_LABEL e2e)
    endif()
    if(NOT arg_TIMEOUT)
        set(arg_TIMEOUT 600)
    endif()
    set_tests_properties(${tests} PROPERTIES LABELS ${arg_LABEL} TIMEOUT ${arg_TIMEOUT}
                                             ENVIRONMENT "${env}")
    if(arg_COST)
        set_tests_properties(${tests} PROPERTIES COST ${arg_COST})
    endif()
    if(arg_DESKTOP)
        set_tests_properties(${tests} PROPERTIES RESOURCE_GROUPS desktop:1)
    endif()
endfunction()

# vexa_win_test for a GoogleTest executable that needs a desktop of its own.
function(vexa_win_desktop_test name)
    if(WIN32 AND VEXA_BUILD_TESTS)
        vexa_gtest_executable(${name} vexa_core ${ARGN})
        add_test(NAME ${name} COMMAND ${VEXA_ON_DESKTOP} ${CMAKE_CROSSCOMPILING_EMULATOR}
                                      $<TARGET_FILE:${name}>)
        set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS win)
        vexa_desktop_test(${name})
    endif()
endfunction()

function(vexa_host_test name)
    if(NOT WIN32 AND VEXA_BUILD_TESTS)
        vexa_gtest(${name} host vexa_portable ${ARGN})
    endif()
endfunction()

# Adds every immediate subfolder that has a CMakeLists.txt, so each area owns its own file.
function(vexa_add_subfolders)
    file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
         ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT children)
    foreach(child ${children})
        if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child}
           AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
            add_subdirectory(${child})
        endif()
    endforeach()
endfunction()

# A libFuzzer target of the host build (clang only), linked with the instrumented copy of
# the portable code. ctest runs it for a bounded time on its seed corpus
# (tests/fuzz/corpus/<name>/ when present).
set(VEXA_FUZZ_SECONDS 10 CACHE STRING "Seconds each fuzz target runs under ctest (longer runs: -DVEXA_FUZZ_SECONDS=N)")
function(vexa_fuzz_target name)
    if(WIN32 OR NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        return()
    endif()
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE vexa_portable_fuzz)  # made at the end of configuring
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(corpus ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${name})
    set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
    file(MAKE_DIRECTORY ${work})
    set(dirs ${work})
    if(EXISTS ${corpus})
        list(APPEND dirs ${corpus})
    endif()
    add_test(NAME ${name} COMMAND ${name} -max_total_time=${VEXA_FUZZ_SECONDS} -rss_limit_mb=2048
                                  -print_final_stats=0 ${dirs})
    # COST: ctest starts the long tests first, so the short ones fill the gaps at the end.
    set_tests_properties(${name} PROPERTIES TIMEOUT 300 LABELS fuzz COST ${VEXA_FUZZ_SECONDS})
endfunction()

# libtorrent-rasterbar, for the engine's swarm and the publisher's torrents. The Windows build
# links the static library scripts/setup.sh builds for mingw from Debian's source package
# (with a private copy of Debian's Boost headers); the host build links Debian's own.
set(VEXA_LIBTORRENT_DIR "/var/cache/vexa-build/libtorrent-mingw" CACHE PATH
    "libtorrent-rasterbar built for mingw")
set(VEXA_BOOST_INCLUDE_DIR "/var/cache/vexa-build/boost-headers/include" CACHE PATH
    "Boost headers for the mingw build of libtorrent")
function(vexa_use_libtorrent target scope)
    if(WIN32)
        if(NOT TARGET vexa_libtorrent)
            add_library(vexa_libtorrent STATIC IMPORTED GLOBAL)
            set_target_properties(vexa_libtorrent PROPERTIES
                IMPORTED_LOCATION ${VEXA_LIBTORRENT_DIR}/lib/libtorrent-rasterbar.a
                INTERFACE_SYSTEM_INCLUDE_DIRECTORIES
                    "${VEXA_LIBTORRENT_DIR}/include;${VEXA_BOOST_INCLUDE_DIR}"
                INTERFACE_INCLUDE_DIRECTORIES
                    "${VEXA_LIBTORRENT_DIR}/include;${VEXA_BOOST_INCLUDE_DIR}"
                INTERFACE_COMPILE_DEFINITIONS
                    "BOOST_ASIO_ENABLE_CANCELIO;BOOST_ASIO_NO_DEPRECATED;TORRENT_NO_DEPRECATE"
                INTERFACE_LINK_LIBRARIES "bcrypt;mswsock;ws2_32;iphlpapi;crypt32")
        endif()
        target_link_libraries(${target} ${scope} vexa_libtorrent)
        # The library's Boost.Asio was compiled for Windows 6.0; every unit that includes its
        # headers must see the same value or the two disagree on the layout of asio's types.
        target_compile_options(${target} ${scope} -U_WIN32_WINNT -D_WIN32_WINNT=0x0600
                               -UWINVER -DWINVER=0x0600)
    else()
        find_package(LibtorrentRasterbar CONFIG REQUIRED)
        target_link_libraries(${target} ${scope} LibtorrentRasterbar::torrent-rasterbar)
    endif()
endfunction()
