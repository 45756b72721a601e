# Checks every source file of platform/, engine/ and game/ under ROOT against
# the layer table (LayerTable.cmake): a file may include our own headers only
# from the folders its entry names, and the system libraries reserved to
# platform/ only from platform/. Fails with the list of offending lines.
# Run at configure time and as a build step (which writes STAMP when given).
include(${CMAKE_CURRENT_LIST_DIR}/LayerTable.cmake)

file(GLOB_RECURSE _files RELATIVE ${ROOT}
  ${ROOT}/platform/*.h ${ROOT}/platform/*.cpp
  ${ROOT}/engine/*.h ${ROOT}/engine/*.cpp
  ${ROOT}/game/*.h ${ROOT}/game/*.cpp)

set(_bad "")
foreach(_f ${_files})
  get_filename_component(_dir ${_f} DIRECTORY)
  # The entry of the longest folder prefix.
  set(_layer "")
  foreach(_folder ${VESK_LAYER_FOLDERS})
    string(LENGTH "${_folder}" _len)
    string(LENGTH "${_layer}" _best)
    if((_dir STREQUAL _folder OR _dir MATCHES "^${_folder}/") AND _len GREATER _best)
      set(_layer ${_folder})
    endif()
  endforeach()
  if(_layer STREQUAL "")
    list(APPEND _bad "${_f}: folder ${_dir} has no entry in cmake/LayerTable.cmake")
    continue()
  endif()
  set(_allowed ${VESK_LAYER_${_layer}})

  file(STRINGS ${ROOT}/${_f} _lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(_line ${_lines})
    if(_line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(_inc ${CMAKE_MATCH_1})
      # Only paths into our own folders are checked.
      if(NOT _inc MATCHES "^(platform|engine|game|tools|tests|bench)/")
        continue()
      endif()
      set(_ok FALSE)
      foreach(_prefix ${_allowed})
        string(LENGTH "${_prefix}" _plen)
        string(SUBSTRING "${_inc}" 0 ${_plen} _head)
        if(_head STREQUAL _prefix)
          set(_ok TRUE)
          break()
        endif()
      endforeach()
      if(NOT _ok)
        list(APPEND _bad "${_f}: ${_layer} may not include \"${_inc}\"")
      endif()
    elseif(_line MATCHES "^[ \t]*#[ \t]*include[ \t]*<([^>]+)>")
      set(_inc ${CMAKE_MATCH_1})
      if(NOT _layer STREQUAL "platform")
        foreach(_sys ${VESK_PLATFORM_ONLY_HEADERS})
          if(_inc MATCHES "^${_sys}")
            list(APPEND _bad "${_f}: <${_inc}> belongs to platform/ only")
          endif()
        endforeach()
      endif()
    endif()
  endforeach()
endforeach()

if(_bad)
  list(JOIN _bad "\n  " _text)
  message(FATAL_ERROR "Includes that break the layering:\n  ${_text}")
endif()
if(STAMP)
  file(WRITE ${STAMP} "")
endif()
