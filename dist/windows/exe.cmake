# What makes glimtra.exe a Windows program; included by the top CMakeLists.txt when it builds for Windows.
enable_language(RC)

# A program of the GUI subsystem (FindSDL adds -mwindows), with the C and C++ runtimes linked in, so that no
# mingw DLL has to ship. SDL's WinMain, in libSDLmain.a, calls the game's SDL_main, which sits in the library
# linked before it; the linker is told to keep it.
target_link_options(glimtra PRIVATE -static -Wl,--undefined=SDL_main)

# The icon that Explorer, shortcuts and the taskbar show, packed from the desktop icons; and the manifest.
set(GLIMTRA_ICONS)
foreach(size 48 64 128 256)
  list(APPEND GLIMTRA_ICONS ${PROJECT_SOURCE_DIR}/dist/icons/hicolor/${size}x${size}/apps/se.glimtra.Glimtra.png)
endforeach()
set(GLIMTRA_ICO ${PROJECT_BINARY_DIR}/glimtra.ico)
set(GLIMTRA_MANIFEST ${CMAKE_CURRENT_LIST_DIR}/glimtra.manifest)
add_custom_command(OUTPUT ${GLIMTRA_ICO}
                   COMMAND ${CMAKE_CURRENT_LIST_DIR}/make-ico ${GLIMTRA_ICO} ${GLIMTRA_ICONS}
                   DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make-ico ${GLIMTRA_ICONS})
configure_file(${CMAKE_CURRENT_LIST_DIR}/glimtra.rc.in ${PROJECT_BINARY_DIR}/glimtra.rc @ONLY)
set_source_files_properties(${PROJECT_BINARY_DIR}/glimtra.rc PROPERTIES
                            OBJECT_DEPENDS "${GLIMTRA_ICO};${GLIMTRA_MANIFEST}")
target_sources(glimtra PRIVATE ${PROJECT_BINARY_DIR}/glimtra.rc)
