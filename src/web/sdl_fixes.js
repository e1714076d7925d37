// What emscripten's SDL 1.2 emulation gets wrong for Glimtra, mended; given to emcc with --js-library.
// Each fix replaces a function of emscripten's src/library_sdl.js (src/lib/libsdl.js since 4.0) and leans on
// its internals (SDL.surfaces, SDL.rwops, Asyncify), so it holds for the emscripten releases it was checked
// against (Debian 12's, Debian 13's and testing's); the build refuses any other, and the golden frames of
// tests/web/ show whether a new release still needs and takes each fix before the pin is moved.
{{{ (function () {
  var written = ['3.1.6', '3.1.69', '6.0.5'];
  if (written.indexOf(EMSCRIPTEN_VERSION) < 0)
    throw new Error('src/web/sdl_fixes.js was written for emscripten ' + written.join(', ') + ', not ' +
                    EMSCRIPTEN_VERSION + ': check each fix against that release\'s SDL 1.2 library, then ' +
                    'move the pin and run the web tests');
  return '';
})() }}}

mergeInto(LibraryManager.library, {
  // emscripten ignores the key, so every keyed picture would be drawn in a box of its key colour. Blits are
  // canvas drawImage calls, so the keyed pixels become transparent in the surface's canvas once; a colour
  // key is all or nothing, which alpha 0 or 255 gives exactly. Glimtra never takes a key away again.
  SDL_SetColorKey: function(surf, flag, key) {
    var surfData = SDL.surfaces[surf];
    if (!surfData || !surfData.ctx || !(flag & 0x20000 /* SDL_SRCCOLORKEY of emscripten's SDL_compat.h */)) return 0;
    var image = surfData.ctx.getImageData(0, 0, surfData.width, surfData.height);
    var data = image.data;
    var r = key & 0xff, g = (key >> 8) & 0xff, b = (key >> 16) & 0xff;
    for (var i = 0; i < data.length; i += 4) {
      if (data[i] === r && data[i + 1] === g && data[i + 2] === b) data[i + 3] = 0;
    }
    surfData.ctx.putImageData(image, 0, 0);
    return 0;
  },

  // emscripten pops freed entries off the end of its rwops list, including the unused entry 0, so after
  // the first SDL_FreeRW the next file gets number 0, which C reads as NULL: "cannot load" the second
  // picture. Entry 0 stays.
  SDL_FreeRW: function(rwopsID) {
    SDL.rwops[rwopsID] = null;
    while (SDL.rwops.length > 1 && SDL.rwops[SDL.rwops.length - 1] === null) SDL.rwops.pop();
  },

  // The frame loop blocks, as on the desktop; the flip is where it gives the page back until the browser's
  // next animation frame, which is the display's pace. emscripten's SDL_Flip returns at once, so the page
  // would never draw or hear an event. Needs -sASYNCIFY with SDL_Flip in ASYNCIFY_IMPORTS.
  SDL_Flip__deps: ['$Asyncify'],
  SDL_Flip: function(surf) {
    return Asyncify.handleSleep(function(wakeUp) {
      requestAnimationFrame(function() { wakeUp(0); });
    });
  },
});
