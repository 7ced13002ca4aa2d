# cmake -DBUILD_DIR=... -DWORK_DIR=... -DCONSUMER_DIR=... [-DCXX=...] [-DLAUNCHER=...] [-DCXX_FLAGS=...]
#       -P InstallAndConsume.cmake
# Installs the build into a fresh prefix under WORK_DIR, builds the consumer project against it
# through find_package, and runs it. WORK_DIR is left behind only when a step fails.
function(run_step what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${what} failed (${status}):\n${output}")
    endif()
    set(step_output "${output}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run_step("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
run_step("consumer configure" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Debug
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER}
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${CXX_FLAGS}")
run_step("consumer build" ${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run_step("consumer run" ${WORK_DIR}/build/consumer)
message(STATUS "${step_output}")
file(REMOVE_RECURSE ${WORK_DIR})
