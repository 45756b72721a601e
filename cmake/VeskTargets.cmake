# Compiler settings shared by every target of the tree, and the helpers that
# turn one folder into one static library.

# The system's own texts are written in UTF-8 source and must reach the
# screen, the log and the files as Shift-JIS bytes. g++ converts every narrow
# literal at compile time; clang (used only for the fuzz targets) keeps UTF-8,
# which only changes message bytes there.
set(VESK_SJIS_LITERALS OFF)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set(VESK_SJIS_LITERALS ON)
endif()

# Flags every target shares; compiling waits for the layer check.
function(vesk_compile_settings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra
    $<$<COMPILE_LANGUAGE:CXX>:-ffp-contract=off>
    -fno-fast-math)
  if(VESK_SJIS_LITERALS)
    target_compile_options(${target} PRIVATE -fexec-charset=CP932)
    target_compile_definitions(${target} PRIVATE VESK_SJIS_LITERALS=1)
  endif()
  if(TARGET vesk_layers)
    add_dependencies(${target} vesk_layers)
  endif()
endfunction()

# Executables of tools/, tests/, bench/ and the player: the shared flags, and
# the whole tree to include from (the layer table still checks the player).
function(vesk_target_settings target)
  vesk_compile_settings(${target})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()

# vesk_include_root(name dir): a folder of the build tree in which only DIR
# appears, at its place in the source tree, so that "engine/core/base/log.h"
# is found by the targets that link NAME and by no other.
function(vesk_include_root name dir out)
  file(RELATIVE_PATH _rel ${PROJECT_SOURCE_DIR} ${dir})
  set(_root ${PROJECT_BINARY_DIR}/include_roots/${name})
  get_filename_component(_parent ${_root}/${_rel} DIRECTORY)
  file(MAKE_DIRECTORY ${_parent})
  if(NOT EXISTS ${_root}/${_rel})
    file(CREATE_LINK ${dir} ${_root}/${_rel} SYMBOLIC)
  endif()
  set(${out} ${_root} PARENT_SCOPE)
endfunction()

# Fuzzing builds lower the decoders' size limits (see image_stream.h), so
# that what a fuzzer reaches stays within its memory limit.
if(VESK_FUZZ)
  add_compile_definitions(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
endif()

if(VESK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# vesk_folder_library(name DIR deps...): one static library made of every
# .cpp file directly inside DIR (new files are picked up at the next build).
# It exports its own folder as include root (vesk_include_root), never the
# repository's root.
function(vesk_folder_library name dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(FILTER _srcs EXCLUDE REGEX ".*_main\\.cpp$")
  if(_srcs)
    add_library(${name} STATIC ${_srcs})
    vesk_compile_settings(${name})
    vesk_include_root(${name} ${dir} _root)
    target_include_directories(${name} PUBLIC ${_root})
    if(ARGN)
      target_link_libraries(${name} PUBLIC ${ARGN})
    endif()
  else()
    add_library(${name} INTERFACE)
    vesk_include_root(${name} ${dir} _root)
    target_include_directories(${name} INTERFACE ${_root})
    if(ARGN)
      target_link_libraries(${name} INTERFACE ${ARGN})
    endif()
  endif()
endfunction()
