# The layer check against small probe trees, one a case: each writes one
# file with one include into an empty tree and expects the check to pass or
# fail. Run by CTest with ROOT (the source tree, for the check's script) and
# WORK (a scratch folder).
set(_check ${ROOT}/cmake/check_layers.cmake)

# folder/file | included line | expected
set(_cases
  "engine/core/base/probe.h|#include \"engine/core/files/stream_handle.h\"|pass"
  "engine/core/base/probe.h|#include \"engine/api/services/service_registry.h\"|pass"
  "engine/core/base/probe.h|#include \"game/data/database.h\"|fail"
  "engine/core/base/probe.h|#include \"engine/graphics/image/memimg.h\"|fail"
  "engine/graphics/image/probe.cpp|#include \"engine/softrender/rect_fill.h\"|fail"
  "engine/graphics/image/probe.cpp|#include \"platform/window.h\"|fail"
  "engine/graphics/probe.cpp|#include \"platform/window.h\"|pass"
  "engine/softrender/probe.cpp|#include <SDL.h>|fail"
  "platform/probe.cpp|#include <SDL.h>|pass"
  "platform/probe.cpp|#include \"engine/core/base/log.h\"|fail"
  "game/data/probe.cpp|#include \"engine/core/base/log.h\"|fail"
  "game/data/probe.cpp|#include \"engine/api/library_entry_points.h\"|pass"
  "game/data/probe.cpp|#include \"platform/message_box.h\"|pass"
  "game/data/probe.cpp|#include \"platform/window.h\"|fail"
  "game/data/probe.cpp|#include \"game/shell/program_startup.h\"|fail"
  "game/shell/probe.cpp|#include \"game/data/database.h\"|pass"
  "game/extra/probe.cpp|#include <vector>|fail"
  "engine/api/services/probe.h|#include \"engine/core/window/main_window.h\"|fail")

set(_failures "")
set(_index 0)
foreach(_case ${_cases})
  string(REPLACE "|" ";" _parts "${_case}")
  list(GET _parts 0 _file)
  list(GET _parts 1 _line)
  list(GET _parts 2 _expected)
  set(_tree ${WORK}/probe_${_index})
  file(REMOVE_RECURSE ${_tree})
  file(WRITE ${_tree}/${_file} "${_line}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${_tree} -P ${_check}
                  RESULT_VARIABLE _result OUTPUT_QUIET ERROR_QUIET)
  if(_result EQUAL 0)
    set(_got pass)
  else()
    set(_got fail)
  endif()
  if(NOT _got STREQUAL _expected)
    list(APPEND _failures "${_file} with ${_line}: expected ${_expected}, got ${_got}")
  endif()
  file(REMOVE_RECURSE ${_tree})
  math(EXPR _index "${_index} + 1")
endforeach()

if(_failures)
  list(JOIN _failures "\n  " _text)
  message(FATAL_ERROR "layer probes:\n  ${_text}")
endif()
