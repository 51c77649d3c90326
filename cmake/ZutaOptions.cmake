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

# Adds one GoogleTest executable registered with CTest: zuta_test(NAME SOURCES ... DEPS ...).
function(zuta_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} zuta_test_support GTest::gtest_main
                                          GTest::gmock zuta_options)
    target_compile_definitions(${name} PRIVATE ZUTA_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

if(ZUTA_FUZZ)
    # Coverage instrumentation for every library the fuzz targets link.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
