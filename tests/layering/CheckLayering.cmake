# Checks that no source or header of the library includes one of a layer
# above its own. The linker catches calls that go upward, but not an include
# of a header that only declares; this catches those. Input: SOURCE_DIR.
cmake_minimum_required(VERSION 3.25)
set(layers
  "platform/base:"
  "platform/graphics:platform/base"
  "platform/controls:platform/base platform/graphics"
  "platform/formfile:platform/base platform/graphics platform/controls"
  "platform/data:platform/base platform/graphics platform/controls platform/formfile"
  "gif:platform/base platform/graphics"
  "scripts:platform/base"
  "cgi:platform/base"
  "core:platform/base platform/graphics platform/controls gif scripts"
  "layout:platform/base platform/graphics platform/controls gif scripts core"
  "elements:platform/base platform/graphics platform/controls gif scripts core layout"
  "forms:platform/base platform/graphics platform/controls gif scripts core layout"
  "tables:platform/base platform/graphics platform/controls platform/formfile platform/data gif scripts core layout elements"
)

set(root "${SOURCE_DIR}/src/tavkit")
set(checked 0)
set(faults "")
foreach(entry ${layers})
  string(REPLACE ":" ";" fields "${entry}")
  list(GET fields 0 layer)
  list(LENGTH fields count)
  set(allowed ${layer})
  if(count GREATER 1)
    list(GET fields 1 below)
    separate_arguments(below)
    list(APPEND allowed ${below})
  endif()
  file(GLOB_RECURSE files "${root}/${layer}/*.h" "${root}/${layer}/*.cpp")
  foreach(file ${files})
    math(EXPR checked "${checked} + 1")
    file(STRINGS "${file}" includes REGEX "^#include <tavkit/")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include <tavkit/([^>]*)>.*" "\\1" target "${line}")
      # The layer of the included header: platform/X for the platform, else
      # the first folder.
      if(target MATCHES "^platform/")
        string(REGEX REPLACE "^(platform/[^/]+)/.*" "\\1" target_layer "${target}")
      else()
        string(REGEX REPLACE "^([^/]+)/.*" "\\1" target_layer "${target}")
      endif()
      list(FIND allowed "${target_layer}" at)
      if(at EQUAL -1)
        file(RELATIVE_PATH shown "${root}" "${file}")
        string(APPEND faults "  ${shown} includes <tavkit/${target}> (${layer} may use: ${allowed})\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(checked LESS 100)
  message(FATAL_ERROR "only ${checked} files found under ${root}")
endif()
if(faults)
  message(FATAL_ERROR "includes that reach into a higher layer:\n${faults}")
endif()
message(STATUS "${checked} files include only their own layer and those below it")
