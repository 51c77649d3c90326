# Warning and sanitizer flags shared by every ZUTA target.
add_library(zuta_options INTERFACE)
target_compile_options(zuta_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
if(ZUTA_WERROR)
    target_compile_options(zuta_options INTERFACE -Werror)
endif()
if(ZUTA_SANITIZE)
    add_compile_options(-fsanitize=${ZUTA_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${ZUTA_SANITIZE})
endif()

# Adds a library of one layer: zuta_layer(NAME SOURCES ... DEPS ...).
function(zuta_layer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE zuta_options)
endfunction()

# Helpers every test may use (recorders, temporary folders, store services), included as
# "support/...". Header only: a test links the layers the headers it includes need.
add_library(zuta_test_support INTERFACE)
target_include_directories(zuta_test_support INTERFACE ${PROJECT_SOURCE_DIR}/tests)

# Adds one GoogleTest executable registered with CTest:
#   zuta_test(NAME SOURCES ... DEPS ... [LABELS ...])
# Every test of the program carries the LABELS; "threaded" marks the programs whose tests run link,
# delivery or worker threads, which the thread-sanitizer stage builds and runs (ctest -L threaded).
function(zuta_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
    if(ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "zuta_test(${name}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} zuta_test_support GTest::gtest_main
                                          GTest::gmock zuta_options)
    target_compile_definitions(${name} PRIVATE ZUTA_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    if(ARG_LABELS)
        # The labels go on the discovered tests after their list is read: a list of labels does not
        # survive being passed through gtest_discover_tests's PROPERTIES.
        set(script "${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake")
        file(WRITE "${script}" "if(${name}_TESTS)\n"
            "    set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${ARG_LABELS}\")\n"
            "endif()\n")
        set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
    endif()
    foreach(label IN LISTS ARG_LABELS)
        set_property(GLOBAL APPEND PROPERTY ZUTA_TEST_LABELS ${label})
        set_property(GLOBAL APPEND PROPERTY ZUTA_TEST_PROGRAMS_${label} ${name})
    endforeach()
endfunction()

# Writes tests/programs-<label>.txt in the build folder for every label given to zuta_test: the
# test programs carrying it, one a line, so a script builds just those (the tsan stage).
function(zuta_write_test_programs)
    file(GLOB stale ${PROJECT_BINARY_DIR}/tests/programs-*.txt)
    if(stale)
        file(REMOVE ${stale})
    endif()
    get_property(labels GLOBAL PROPERTY ZUTA_TEST_LABELS)
    list(REMOVE_DUPLICATES labels)
    foreach(label IN LISTS labels)
        get_property(programs GLOBAL PROPERTY ZUTA_TEST_PROGRAMS_${label})
        list(JOIN programs "\n" content)
        file(WRITE ${PROJECT_BINARY_DIR}/tests/programs-${label}.txt "${content}\n")
    endforeach()
endfunction()

if(ZUTA_FUZZ)
    # Coverage instrumentation for every library the fuzz targets link.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
