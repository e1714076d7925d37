# The browser page, build-web/glimtra.html: the game compiled by emscripten against its SDL 1.2 emulation,
# mended by sdl_fixes.js, wrapped with its pictures and icon into one page by make_page.py.
add_library(glimtra_game STATIC src/main.cpp src/pkfont.cpp src/platform_web.cpp)
target_include_directories(glimtra_game PUBLIC src)
# Small rather than fast: a frame costs the browser far more than the game's own code. emscripten's SDL 1.2
# is its default before 3.1.5x only; later ones ask for it by name.
target_compile_options(glimtra_game PUBLIC -Os -sUSE_SDL=1)

set(web ${PROJECT_SOURCE_DIR}/src/web)
add_executable(glimtra src/entry.cpp)
target_link_libraries(glimtra PRIVATE glimtra_game)
# ASYNCIFY lets the blocking frame loop give the page back at the flip (sdl_fixes.js), and nowhere else.
# SINGLE_FILE puts the WebAssembly inside the .js, which make_page.py puts inside the page; the file system
# takes the pictures that the page hands to the browser's image decoder before main starts.
target_link_options(glimtra PRIVATE -Os -sUSE_SDL=1 --js-library ${web}/sdl_fixes.js -sASYNCIFY
  "-sASYNCIFY_IMPORTS=['SDL_Flip']" -sSINGLE_FILE=1 -sFORCE_FILESYSTEM=1 -sENVIRONMENT=web
  "-sEXPORTED_RUNTIME_METHODS=['FS_createPath','FS_createPreloadedFile','addRunDependency','removeRunDependency']"
  # The address of butState, for the one golden frame that no play reaches (GO drawn pressed while idle,
  # before any verdict): tests/web sets it as the scene tests do. It costs the page a few bytes.
  "-sEXPORTED_FUNCTIONS=['_main','_butState']")
set_target_properties(glimtra PROPERTIES SUFFIX .js LINK_DEPENDS ${web}/sdl_fixes.js)

file(GLOB pictures CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/pix/*.bmp)
set(icon ${PROJECT_SOURCE_DIR}/dist/icons/hicolor/48x48/apps/se.glimtra.Glimtra.png)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(OUTPUT glimtra.html
  COMMAND Python3::Interpreter ${web}/make_page.py --page ${web}/page.html --game $<TARGET_FILE:glimtra>
          --icon ${icon} --out glimtra.html ${pictures}
  DEPENDS glimtra ${web}/page.html ${web}/make_page.py ${icon} ${pictures}
  COMMENT "Making the page glimtra.html")
add_custom_target(page ALL DEPENDS glimtra.html)

# The page as a web app, build-web/site/ (make_site.py): index.html, the manifest, the icons that
# glimtra-artwork drew into dist/web/ and the service worker that keeps them for play offline.
set(site_icons apple-touch-icon.png icon-192.png icon-512.png maskable-512.png)
set(site_files index.html manifest.webmanifest sw.js ${site_icons})
list(TRANSFORM site_files PREPEND site/)
list(TRANSFORM site_icons PREPEND ${PROJECT_SOURCE_DIR}/dist/web/)
add_custom_command(OUTPUT ${site_files}
  COMMAND Python3::Interpreter ${web}/make_site.py --page glimtra.html --out site ${site_icons}
  DEPENDS glimtra.html ${web}/make_site.py ${web}/app_head.html ${web}/manifest.webmanifest ${web}/sw.js
          ${site_icons}
  COMMENT "Making the web app site/")
add_custom_target(site ALL DEPENDS ${site_files})
# After the page: otherwise a parallel build runs make_page.py for each target at once, into the same file.
add_dependencies(site page)
