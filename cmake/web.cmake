# The game in a browser tab, built by scripts/web with Debian's emscripten:
# the game's own libraries on the SDL edge, the page's program and the
# replay runner for node. SDL2, SDL2_ttf, FreeType, libpng and zlib come
# from KESTRAVA_WEB_PREFIX, where scripts/web built them from Debian's
# sources; pkg-config looks only there (scripts/web sets PKG_CONFIG_LIBDIR).
set(KESTRAVA_WEB_PREFIX "" CACHE PATH "Where scripts/web built the libraries for the browser")
set(KESTRAVA_WEB_DATA "" CACHE PATH "The folder of data files and rendered music the page carries")
set(KESTRAVA_STB_DIR /usr/include/stb CACHE PATH "Where Debian's libstb-dev puts stb_vorbis.h")
# The game's font, carried to where the game looks for it (TEXT_FONT_PATH).
set(KESTRAVA_WEB_FONT /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf)
if(NOT KESTRAVA_WEB_PREFIX)
  message(FATAL_ERROR "the browser's build needs -DKESTRAVA_WEB_PREFIX (scripts/web)")
endif()
# Wasm has no stack protector's guard and no ELF hardening; warnings still stop the build.
add_compile_options(-Werror)

# The emscripten toolchain finds libraries only in its own sysroot: the
# libraries' folder is named to the linker instead.
link_directories(${KESTRAVA_WEB_PREFIX}/lib)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
add_library(PkgConfig::SDL2_TTF INTERFACE IMPORTED)
set_target_properties(PkgConfig::SDL2_TTF PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${KESTRAVA_WEB_PREFIX}/include/SDL2
  INTERFACE_LINK_LIBRARIES "${KESTRAVA_WEB_PREFIX}/lib/libSDL2_ttf.a;PkgConfig::FREETYPE")

# The decoder of the page's music, as its author ships it: C, in one file
# that Debian installs as a header, built here once without our warnings.
enable_language(C)
file(WRITE ${CMAKE_BINARY_DIR}/stb_vorbis.c "#include <stb_vorbis.h>\n")
add_library(kestrava_stb_vorbis STATIC ${CMAKE_BINARY_DIR}/stb_vorbis.c)
target_include_directories(kestrava_stb_vorbis SYSTEM PUBLIC ${KESTRAVA_STB_DIR})
target_compile_options(kestrava_stb_vorbis PRIVATE -w)

add_subdirectory(src)
add_subdirectory(tools/replay)

# The page's program: the data files, the rendered music and the font in the
# page's file system, the settings and best runs in the browser's storage.
# SDL's audio calls these from the page's script: the second resumes the
# sound at the player's first key or click, as browsers require. (A file,
# since the build tool would double their dollar signs on the command line.)
file(WRITE ${CMAKE_BINARY_DIR}/page-library.rsp "-sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=$dynCall,$autoResumeAudioContext\n")
add_executable(kestrava src/shell/web_main.cpp)
kestrava_link(kestrava sdl)
set_target_properties(kestrava PROPERTIES SUFFIX .js)
target_link_options(kestrava PRIVATE
  -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web -sEXPORTED_RUNTIME_METHODS=FS -lidbfs.js
  @${CMAKE_BINARY_DIR}/page-library.rsp
  "SHELL:--preload-file ${KESTRAVA_WEB_DATA}@/data"
  "SHELL:--preload-file ${KESTRAVA_WEB_FONT}@${KESTRAVA_WEB_FONT}")

# The replay runner for node, reading and writing the machine's files.
target_link_options(kestrava-replay PRIVATE -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=node -sNODERAWFS=1 -sEXIT_RUNTIME=1)

# The browser's music bank, checked under node in the page's data folder.
add_executable(kestrava-music-check tests/web/music_check.cpp)
target_link_libraries(kestrava-music-check PRIVATE kestrava_audio)
set_property(TARGET kestrava-music-check PROPERTY KESTRAVA_EDGE kestrava_headless)
target_link_options(kestrava-music-check PRIVATE -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=node -sNODERAWFS=1 -sEXIT_RUNTIME=1)
