# Fails when a file under engine/ or game/ includes a system library header
# that only platform/ may use.
file(GLOB_RECURSE _files ${ROOT}/engine/*.h ${ROOT}/engine/*.cpp ${ROOT}/game/*.h ${ROOT}/game/*.cpp)
set(_bad "")
foreach(_f ${_files})
  file(STRINGS ${_f} _lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](SDL|GL/|GLES|EGL|ft2build|freetype|fontconfig|iconv\\.h|curl/|libav|fluidsynth|mpg123)")
  if(_lines)
    list(APPEND _bad "${_f}: ${_lines}")
  endif()
endforeach()
if(_bad)
  message(FATAL_ERROR "platform headers outside platform/:\n${_bad}")
endif()
