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

function(vesk_target_settings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra
    $<$<COMPILE_LANGUAGE:CXX>:-ffp-contract=off>
    -fno-fast-math)
  if(VESK_SJIS_LITERALS)
    target_compile_options(${target} PRIVATE -fexec-charset=CP932)
    target_compile_definitions(${target} PRIVATE VESK_SJIS_LITERALS=1)
  endif()
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
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
function(vesk_folder_library name dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(FILTER _srcs EXCLUDE REGEX ".*_main\\.cpp$")
  if(_srcs)
    add_library(${name} STATIC ${_srcs})
    vesk_target_settings(${name})
    if(ARGN)
      target_link_libraries(${name} PUBLIC ${ARGN})
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    if(ARGN)
      target_link_libraries(${name} INTERFACE ${ARGN})
    endif()
  endif()
endfunction()
