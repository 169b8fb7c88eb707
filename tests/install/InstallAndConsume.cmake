# Installs the build into a fresh prefix, then builds a user's program against
# it twice: with find_package(Tavkit) and with pkg-config. Both must run and
# report the library they were linked with. Every installed header must compile
# on its own, and a program that includes an internal header must not find it.
# Inputs: BUILD_DIR, SOURCE_DIR, WORK_DIR, CXX.
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

function(expect_output program library)
  run("${program}")
  if(NOT run_output MATCHES "^${library} [0-9]+\n<!DOCTYPE HTML PUBLIC .* hello</TD>")
    message(FATAL_ERROR "${program} wrote:\n${run_output}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")
foreach(file include/tavkit/layout/WvPage.h include/tavkit/platform/base/Objects.h bin/tavkit)
  if(NOT EXISTS "${prefix}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
foreach(internal include/tavkit/gif/detail include/tavkit/layout/detail
                 include/tavkit/platform/graphics/detail src)
  if(EXISTS "${prefix}/${internal}")
    message(FATAL_ERROR "installed, but internal: ${internal}")
  endif()
endforeach()
run("${prefix}/bin/tavkit" --version)
if(NOT run_output MATCHES "^tavkit [0-9.]+ \\(Tavkit40, host framework 4.0\\)")
  message(FATAL_ERROR "tavkit --version wrote: ${run_output}")
endif()

run(${CMAKE_COMMAND} -S "${SOURCE_DIR}/tests/install/consumer" -B "${WORK_DIR}/consumer" -G Ninja
    "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_CXX_COMPILER=${CXX}")
run(${CMAKE_COMMAND} --build "${WORK_DIR}/consumer")
expect_output("${WORK_DIR}/consumer/consumer40" Tavkit40)
expect_output("${WORK_DIR}/consumer/consumer30" Tavkit30)

file(GLOB pc_dirs "${prefix}/lib*/pkgconfig" "${prefix}/lib/*/pkgconfig")
list(GET pc_dirs 0 pc_dir)
set(ENV{PKG_CONFIG_PATH} "${pc_dir}")
run(pkg-config --cflags --libs tavkit30)
string(STRIP "${run_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run("${CXX}" "${SOURCE_DIR}/tests/install/consumer/main.cpp" -o "${WORK_DIR}/pkgconfig-consumer" ${flags})
expect_output("${WORK_DIR}/pkgconfig-consumer" Tavkit30)

# Each public header stands alone: it includes what it uses, and nothing it
# includes is left out of the installation.
file(GLOB_RECURSE headers RELATIVE "${prefix}/include" "${prefix}/include/tavkit/*.h")
list(LENGTH headers header_count)
if(header_count LESS 50)
  message(FATAL_ERROR "only ${header_count} headers installed")
endif()
foreach(header ${headers})
  string(MAKE_C_IDENTIFIER "${header}" id)
  file(WRITE "${WORK_DIR}/headers/${id}.cpp" "#include <${header}>\n")
  run("${CXX}" -fsyntax-only "${WORK_DIR}/headers/${id}.cpp" ${flags})
endforeach()

# The machinery stays private: a program that includes it does not compile,
# and the compiler says the header is not there.
execute_process(COMMAND "${CXX}" -fsyntax-only "${SOURCE_DIR}/tests/install/consumer/internal.cpp" ${flags}
  RESULT_VARIABLE status ERROR_VARIABLE err)
if(status EQUAL 0 OR NOT err MATCHES "tavkit/gif/detail/GIFLZW.h: No such file")
  message(FATAL_ERROR "an internal header was found by an installed program:\n${err}")
endif()
