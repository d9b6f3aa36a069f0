# Test registration shared by every tests/ folder.
#
# Windows stage (win64): test programs are GoogleTest programs run by ctest
# through Wine (the cross-compiling emulator), all in one throwaway prefix per
# run with a virtual display, created by the WinePrefix fixture and shut down
# at the end. Wine tests share one registry, so they run one at a time.
#
# Host stage: native GoogleTest programs for the build tools.

include_guard(GLOBAL)

set(KLAWISZ_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(KLAWISZ_DISPLAY_FILE ${CMAKE_BINARY_DIR}/wine-display)
set(KLAWISZ_SHOT_DIR ${CMAKE_BINARY_DIR}/screenshots)
set(KLAWISZ_WINE_ENV
    "WINEPREFIX=${KLAWISZ_WINEPREFIX}"
    "WINEDEBUG=-all"
    "KLAWISZ_DISPLAY_FILE=${KLAWISZ_DISPLAY_FILE}"
    "KLAWISZ_SHOT_DIR=${KLAWISZ_SHOT_DIR}")

function(klawisz_add_wine_fixture)
    add_test(NAME WinePrefixSetup
        COMMAND sh ${KLAWISZ_SOURCE_DIR}/cmake/wine-prefix.sh setup ${KLAWISZ_WINEPREFIX} ${KLAWISZ_DISPLAY_FILE})
    add_test(NAME WinePrefixShutdown
        COMMAND sh ${KLAWISZ_SOURCE_DIR}/cmake/wine-prefix.sh shutdown ${KLAWISZ_WINEPREFIX} ${KLAWISZ_DISPLAY_FILE})
    set_tests_properties(WinePrefixSetup PROPERTIES FIXTURES_SETUP WinePrefix RESOURCE_LOCK WinePrefix)
    set_tests_properties(WinePrefixShutdown PROPERTIES FIXTURES_CLEANUP WinePrefix RESOURCE_LOCK WinePrefix)
    file(MAKE_DIRECTORY ${KLAWISZ_SHOT_DIR})
endfunction()

# Marks a test as one that runs inside the run's Wine prefix.
function(klawisz_wine_test_properties name)
    set_tests_properties(${name} PROPERTIES
        FIXTURES_REQUIRED WinePrefix
        RESOURCE_LOCK WinePrefix
        ENVIRONMENT "${KLAWISZ_WINE_ENV}"
        TIMEOUT 600)
endfunction()

# klawisz_add_test(NAME n SOURCES files... [LIBS targets...] [GUI])
# Each registration acts only in its own stage, so a tests/ folder may call
# both kinds without looking at KLAWISZ_STAGE.

function(klawisz_add_test)
    if(NOT KLAWISZ_STAGE STREQUAL "win64")
        return()
    endif()
    cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} klawisz_test_support)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    klawisz_wine_test_properties(${T_NAME})
    if(T_GUI)
        set_property(TEST ${T_NAME} APPEND PROPERTY LABELS gui)
    endif()
endfunction()

# klawisz_add_e2e_test(NAME n DRIVER target [ARGS args...])
# Runs a driver program (a Windows program) that starts the x86_64 setup
# program, given as its first argument, and drives its windows.
function(klawisz_add_e2e_test)
    if(NOT KLAWISZ_STAGE STREQUAL "win64")
        return()
    endif()
    cmake_parse_arguments(T "" "NAME;DRIVER" "ARGS" ${ARGN})
    add_test(NAME ${T_NAME} COMMAND ${T_DRIVER} $<TARGET_FILE:setup> ${T_ARGS})
    klawisz_wine_test_properties(${T_NAME})
    set_property(TEST ${T_NAME} APPEND PROPERTY LABELS gui e2e)
endfunction()

# klawisz_add_host_test(NAME n SOURCES files... [LIBS targets...])
function(klawisz_add_host_test)
    if(NOT KLAWISZ_STAGE STREQUAL "host")
        return()
    endif()
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} klawisz_test_support)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
endfunction()
