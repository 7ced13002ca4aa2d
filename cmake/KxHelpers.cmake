# The flags of KX_SANITIZE; the install test hands them to the project it builds outside the tree.
set(KX_SANITIZE_FLAGS)
if(KX_SANITIZE)
    set(KX_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
endif()

# Options shared by every target of the project.
function(kx_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
    if(KX_SANITIZE)
        target_compile_options(${target} PRIVATE ${KX_SANITIZE_FLAGS})
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
    if(KX_FUZZ)
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
    if(KX_TSAN)
        target_compile_options(${target} PRIVATE -fsanitize=thread -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=thread)
    endif()
endfunction()

# kx_add_test(NAME SOURCES... [WIDGETS]): one Qt Test executable registered with CTest.
function(kx_add_test name)
    cmake_parse_arguments(ARG "WIDGETS" "" "" ${ARGN})
    add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
    kx_target_defaults(${name})
    target_link_libraries(${name} PRIVATE kxequationui kxhostui kxtestsupport Qt5::Test)
    target_compile_definitions(${name} PRIVATE KX_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
                                               KX_EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8" TIMEOUT 600)
endfunction()
