# The layering of the tree: which folder may include which. One entry a
# folder (the longest matching prefix of a file's folder applies); each names
# the path prefixes of our own headers that folder may include. Files of
# tools/, tests/ and bench/ may include anything. The system libraries that
# only platform/ may use are listed in VESK_PLATFORM_ONLY_HEADERS.
#
# A new folder needs a line here; a folder without one may include nothing
# of ours, and the build says so.

set(VESK_LAYER_FOLDERS
  platform
  engine/api/services
  engine/core
  engine/graphics/image
  engine/softrender
  engine/graphics
  engine/api
  game/data
  game/script
  game/map
  game/shell
  game/scenario)

# The service seams are the one way up: every engine layer may include them.
set(_seams engine/api/services/)
# What the original program asked of the operating system: the part of
# platform/ the game runtime may use.
set(_os_services platform/message_box.h platform/process.h platform/file_system.h
    platform/text_encoding.h platform/clock.h)

set(VESK_LAYER_platform platform/)
set(VESK_LAYER_engine/api/services ${_seams} platform/message_box.h engine/core/base/library_state.h)
set(VESK_LAYER_engine/core platform/ engine/core/ ${_seams})
set(VESK_LAYER_engine/graphics/image engine/graphics/image/ engine/core/ ${_seams})
set(VESK_LAYER_engine/softrender engine/softrender/ engine/graphics/image/ engine/core/ ${_seams})
set(VESK_LAYER_engine/graphics engine/graphics/ engine/softrender/ engine/core/ platform/ ${_seams})
set(VESK_LAYER_engine/api engine/ platform/)
set(VESK_LAYER_game/data game/data/ engine/api/ ${_os_services})
set(VESK_LAYER_game/script game/script/ game/data/ engine/api/ ${_os_services})
set(VESK_LAYER_game/map game/map/ game/script/ game/data/ engine/api/ ${_os_services})
set(VESK_LAYER_game/shell game/shell/ game/map/ game/script/ game/data/ engine/api/ ${_os_services})
set(VESK_LAYER_game/scenario game/ engine/api/ ${_os_services})

# System headers only platform/ may include.
set(VESK_PLATFORM_ONLY_HEADERS
  "SDL" "GL/" "GLES" "EGL" "ft2build" "freetype" "fontconfig" "iconv\\.h" "curl/" "libav"
  "fluidsynth" "mpg123" "X11/")
