# Installs the build tree BINARY_DIR into a scratch prefix below WORK_DIR,
# builds the consumer of SOURCE_DIR/tests/consumer against it with
# find_package(Faultwright) and runs it on the sample configuration.
# LINK_FLAGS carries the sanitizers when the library was built with them.
foreach(variable IN ITEMS BINARY_DIR SOURCE_DIR WORK_DIR CXX_COMPILER)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
run("install" ${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${WORK_DIR}/prefix)
run("configure" ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
run("build" ${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run("consumer" ${WORK_DIR}/build/consumer ${SOURCE_DIR}/config/)
if(NOT output MATCHES "^34 errors, the first GPS:L1 L2 Antenna:Voltage:4\n$")
  message(FATAL_ERROR "unexpected output of the consumer: ${output}")
endif()
# The programs' own classes are not part of the library.
foreach(folder IN ITEMS Tool Service Inspect)
  if(EXISTS ${WORK_DIR}/prefix/include/Faultwright/${folder})
    message(FATAL_ERROR "the headers of src/${folder} were installed")
  endif()
endforeach()
foreach(program IN ITEMS fwerror fwservice fwinspect)
  if(EXISTS ${BINARY_DIR}/${program} AND NOT EXISTS ${WORK_DIR}/prefix/bin/${program})
    message(FATAL_ERROR "${program} was not installed")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
