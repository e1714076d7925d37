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

// emscripten's own versions of the functions wrapped below, kept under other names for the wrappers to call.
var glimtraKept = {};
['SDL_SetVideoMode', 'SDL_FillRect', 'SDL_UpperBlit', 'SDL_UpperBlitScaled', 'SDL_UnlockSurface',
 'SDL_FreeSurface'].forEach(function (name) {
  ['', '__deps', '__sig'].forEach(function (part) {
    if (LibraryManager.library[name + part] !== undefined)
      glimtraKept['emscripten_' + name + part] = LibraryManager.library[name + part];
  });
});
mergeInto(LibraryManager.library, glimtraKept);

mergeInto(LibraryManager.library, {
  // The page's canvas is told only what it does not already show. The game draws every frame whole, from a
  // clear of the window on; emscripten would hand each fill and blit to the canvas at once, and the browser
  // would paint and composite a full frame sixty times a second although nothing has changed. Instead the
  // screen's context is a recorder: a frame's fills and blits wait until the flip, which compares them with the
  // last frame's. Where all match, the canvas is left alone; where some differ, only the rectangles they cover
  // (in the last frame and in this one) are drawn again, by all the frame's calls that reach into them, in
  // order, clipped to them. A blit names its picture by canvas and a version that every change of the picture
  // moves on (changed() below), so a picture drawn into or keyed anew is a difference too.
  // This holds while the canvas keeps the last frame: a resize, the page hidden and shown again, a lost and
  // restored context or a canvas of another size draw the next frame whole. A frame that does not start with
  // an opaque fill of the whole window builds on the last and is drawn as it comes, and anything else asked of
  // the screen's context (reading or writing its pixels) first draws what waits; a call the recorder does not
  // know hands the context over to the canvas for good.
  $GlimtraScreen__deps: ['$SDL'],
  $GlimtraScreen: {
    real: null,
    canvas: null,
    // The recorder's fillStyle, globalAlpha, globalCompositeOperation and imageSmoothingEnabled; a state is
    // never changed but replaced, so that every call keeps the one it was made in without a copy.
    state: null,
    stack: [],       // the states that save() kept
    ops: [],         // this frame's calls not yet drawn, the first count of them; kept for reuse, as
    count: 0,        // a frame must not leave garbage behind sixty times a second
    last: [],        // the calls that made what the canvas shows, the first lastCount of them; -1: they do
    lastCount: -1,   // not say it
    based: false,    // ops starts with an opaque fill of the whole window
    direct: false,   // this frame is drawn as it comes
    stale: true,     // the canvas may not show the last frame
    through: false,  // the context is the canvas's own again
    applied: null,   // the state last given to the canvas's context
    width: 0,
    height: 0,

    attach: function(surfData) {
      var G = GlimtraScreen, real = surfData.ctx, canvas = surfData.canvas;
      G.real = real;
      G.canvas = canvas;
      G.state = {fillStyle: real.fillStyle, globalAlpha: real.globalAlpha,
                 globalCompositeOperation: real.globalCompositeOperation,
                 imageSmoothingEnabled: real.imageSmoothingEnabled};
      G.stack = [];
      G.count = 0;
      G.lastCount = -1;
      G.based = G.direct = G.through = false;
      G.stale = true;
      if (!G.listening) {
        G.listening = true;
        var stale = function() { G.stale = true; };
        addEventListener('resize', stale);
        addEventListener('pageshow', stale);
        document.addEventListener('visibilitychange', stale);
        canvas.addEventListener('contextlost', stale);
        canvas.addEventListener('contextrestored', stale);
      }
      var recorder = {
        canvas: canvas,
        save: function() { G.stack.push(G.state); },
        restore: function() { if (G.stack.length) G.state = G.stack.pop(); },
        fillRect: function(x, y, w, h) { G.add(null, 0, x, y, w, h, 0, 0, 0, 0); },
        drawImage: function(image, sx, sy, sw, sh, dx, dy, dw, dh) {
          if (arguments.length !== 9 || image === canvas) return G.handOver('drawImage', arguments);
          G.add(image, image.glimtraVersion | 0, dx, dy, dw, dh, sx, sy, sw, sh);
        },
        getImageData: function() {
          G.flush();
          return real.getImageData.apply(real, arguments);
        },
        createImageData: function() { return real.createImageData.apply(real, arguments); },
        putImageData: function() {
          G.flush();
          return real.putImageData.apply(real, arguments);
        },
      };
      Object.keys(G.state).forEach(function(name) {
        Object.defineProperty(recorder, name, {
          get: function() { return G.state[name]; },
          set: function(value) {
            if (G.state[name] === value) return;
            G.state = Object.assign({}, G.state);
            G.state[name] = value;
          }});
      });
      return new Proxy(recorder, {
        get: function(target, name) {
          if (!G.through && name in target) return target[name];
          G.handOver();
          var value = real[name];
          return typeof value === 'function' ? value.bind(real) : value;
        },
        set: function(target, name, value) {
          if (!G.through && name in target) target[name] = value;
          else {
            G.handOver();
            real[name] = value;
          }
          return true;
        },
      });
    },

    add: function(image, version, x, y, w, h, sx, sy, sw, sh) {
      var G = GlimtraScreen, s = G.state;
      if (!image && s.globalAlpha === 1 && s.globalCompositeOperation === 'source-over' && x <= 0 && y <= 0 &&
          x + w >= G.canvas.width && y + h >= G.canvas.height &&
          /^(rgba\(\d+, ?\d+, ?\d+, ?1\)|#[0-9a-f]{6})$/i.test(s.fillStyle)) {
        G.count = 0;
        G.based = true;
        G.direct = false;
      }
      var op = G.ops[G.count] || (G.ops[G.count] = {});
      op.image = image;
      op.version = version;
      op.state = s;
      op.x = x;
      op.y = y;
      op.w = w;
      op.h = h;
      op.sx = sx;
      op.sy = sy;
      op.sw = sw;
      op.sh = sh;
      if (G.direct) G.draw(op);
      else ++G.count;
    },

    draw: function(op) {
      var G = GlimtraScreen, real = G.real;
      if (G.applied !== op.state) {
        Object.assign(real, op.state);
        G.applied = op.state;
      }
      if (op.image) real.drawImage(op.image, op.sx, op.sy, op.sw, op.sh, op.x, op.y, op.w, op.h);
      else real.fillRect(op.x, op.y, op.w, op.h);
    },

    // A fill's colour is in its state; a blit's picture, by the picture and its version.
    same: function(a, b) {
      var s = a.state, t = b.state;
      return a.image === b.image && a.version === b.version && a.x === b.x && a.y === b.y && a.w === b.w &&
             a.h === b.h && a.sx === b.sx && a.sy === b.sy && a.sw === b.sw && a.sh === b.sh &&
             (s === t || ((a.image || s.fillStyle === t.fillStyle) && s.globalAlpha === t.globalAlpha &&
                          s.globalCompositeOperation === t.globalCompositeOperation &&
                          s.imageSmoothingEnabled === t.imageSmoothingEnabled));
    },

    // What waits is drawn, and the rest of the frame as it comes.
    flush: function() {
      var G = GlimtraScreen;
      G.applied = null;
      for (var i = 0; i < G.count; ++i) G.draw(G.ops[i]);
      G.count = 0;
      G.lastCount = -1;
      G.based = false;
      G.direct = true;
    },

    handOver: function(name, args) {
      var G = GlimtraScreen, real = G.real;
      if (!G.through) {
        G.flush();
        G.stack.forEach(function(state) {
          Object.assign(real, state);
          real.save();
        });
        Object.assign(real, G.state);
        G.through = true;
      }
      if (name) return real[name].apply(real, args);
    },

    // At the flip: the canvas is made to show this frame, with as little as it takes.
    present: function() {
      var G = GlimtraScreen, real = G.real, ops = G.ops, n = G.count, last = G.last, i;
      if (!real || G.through) return;
      G.applied = null;
      var resized = G.canvas.width !== G.width || G.canvas.height !== G.height;
      var lost = real.isContextLost && real.isContextLost();
      if (G.direct || !G.based) {
        // Drawn on what the canvas showed: then the calls no longer say what it shows.
        for (i = 0; i < n; ++i) G.draw(ops[i]);
        if (G.direct || n) G.lastCount = -1;
        G.count = 0;
      } else {
        if (G.stale || resized || lost || G.lastCount !== n) {
          for (i = 0; i < n; ++i) G.draw(ops[i]);
        } else {
          var damage = null;
          for (i = 0; i < n; ++i) {
            if (!G.same(ops[i], last[i])) (damage || (damage = [])).push(G.box(ops[i]), G.box(last[i]));
          }
          if (damage) G.redraw(damage);
        }
        // This frame's calls become the last, and the last's objects are used for the next frame.
        G.last = ops;
        G.ops = last;
        G.lastCount = n;
        G.count = 0;
      }
      G.stale = lost;
      G.width = G.canvas.width;
      G.height = G.canvas.height;
      G.based = G.direct = false;
    },

    // The rectangles that differ, drawn again by every call of the frame that reaches into them.
    redraw: function(damage) {
      var G = GlimtraScreen, real = G.real;
      damage = damage.filter(function(r) { return r.w > 0 && r.h > 0; });
      if (!damage.length) return;
      real.save();
      real.beginPath();
      damage.forEach(function(r) { real.rect(r.x, r.y, r.w, r.h); });
      real.clip();
      for (var i = 0; i < G.count; ++i) {
        var r = G.box(G.ops[i]);
        if (damage.some(function(d) {
              return r.x < d.x + d.w && d.x < r.x + r.w && r.y < d.y + d.h && d.y < r.y + r.h;
            }))
          G.draw(G.ops[i]);
      }
      real.restore();
      G.applied = null;
    },

    // Where a call draws, with its sides in order.
    box: function(op) {
      return {x: Math.min(op.x, op.x + op.w), y: Math.min(op.y, op.y + op.h), w: Math.abs(op.w), h: Math.abs(op.h)};
    },

    // A surface other than the screen has other pixels now.
    changed: function(surf) {
      var surfData = SDL.surfaces[surf];
      if (surfData && surfData.canvas && surf !== SDL.screen)
        surfData.canvas.glimtraVersion = (surfData.canvas.glimtraVersion | 0) + 1;
    },
  },

  SDL_SetVideoMode__deps: ['emscripten_SDL_SetVideoMode', '$GlimtraScreen'],
  SDL_SetVideoMode: function(width, height, depth, flags) {
    var screen = _emscripten_SDL_SetVideoMode(width, height, depth, flags);
    var surfData = SDL.surfaces[screen];
    if (surfData && surfData.ctx && !SDL.GL) surfData.ctx = GlimtraScreen.attach(surfData);
    return screen;
  },

  // Fills and blits onto the screen that emscripten would hand to the canvas unchanged (no clipping, no
  // palette, no surface alpha) go to the recorder straight, as emscripten would make them: a frame makes about
  // ninety, and emscripten's way to each builds objects and strings that the collector then has to find.
  SDL_FillRect__deps: ['emscripten_SDL_FillRect', '$GlimtraScreen'],
  SDL_FillRect: function(surf, rect, color) {
    var G = GlimtraScreen, surfData = SDL.surfaces[surf];
    if (surf === SDL.screen && G.real && !G.through && !surfData.clipRect && !surfData.isFlagSet(0x00200000)) {
      if (G.fillBase !== G.state) {
        G.fillBase = G.state;
        G.fillStates = new Map();
      }
      var state = G.fillStates.get(color);
      if (!state) {
        state = Object.assign({}, G.state);
        state.fillStyle = SDL.translateColorToCSSRGBA(color);
        G.fillStates.set(color, state);
      }
      G.state = state;
      if (rect) {
        G.add(null, 0, {{{ makeGetValue('rect', C_STRUCTS.SDL_Rect.x, 'i32') }}},
              {{{ makeGetValue('rect', C_STRUCTS.SDL_Rect.y, 'i32') }}},
              {{{ makeGetValue('rect', C_STRUCTS.SDL_Rect.w, 'i32') }}},
              {{{ makeGetValue('rect', C_STRUCTS.SDL_Rect.h, 'i32') }}}, 0, 0, 0, 0);
      } else {
        G.add(null, 0, 0, 0, surfData.width, surfData.height, 0, 0, 0, 0);
      }
      G.state = G.fillBase;
      return 0;
    }
    G.changed(surf);
    return _emscripten_SDL_FillRect(surf, rect, color);
  },

  SDL_UpperBlit__deps: ['emscripten_SDL_UpperBlit', '$GlimtraScreen'],
  SDL_UpperBlit: function(src, srcrect, dst, dstrect) {
    var G = GlimtraScreen, srcData = SDL.surfaces[src];
    if (dst === SDL.screen && G.real && !G.through && !SDL.surfaces[dst].clipRect && src !== dst &&
        srcData.alpha === 255 && G.state.globalAlpha === 1) {
      var sx = 0, sy = 0, w = srcData.width, h = srcData.height, dx = 0, dy = 0;
      if (srcrect) {
        sx = {{{ makeGetValue('srcrect', C_STRUCTS.SDL_Rect.x, 'i32') }}};
        sy = {{{ makeGetValue('srcrect', C_STRUCTS.SDL_Rect.y, 'i32') }}};
        w = {{{ makeGetValue('srcrect', C_STRUCTS.SDL_Rect.w, 'i32') }}};
        h = {{{ makeGetValue('srcrect', C_STRUCTS.SDL_Rect.h, 'i32') }}};
      }
      if (dstrect) {
        dx = {{{ makeGetValue('dstrect', C_STRUCTS.SDL_Rect.x, 'i32') }}};
        dy = {{{ makeGetValue('dstrect', C_STRUCTS.SDL_Rect.y, 'i32') }}};
      }
      if (w !== 0 && h !== 0) G.add(srcData.canvas, srcData.canvas.glimtraVersion | 0, dx, dy, w, h, sx, sy, w, h);
      return 0;
    }
    G.changed(dst);
    return _emscripten_SDL_UpperBlit(src, srcrect, dst, dstrect);
  },
  SDL_BlitSurface: 'SDL_UpperBlit',

  SDL_UpperBlitScaled__deps: ['emscripten_SDL_UpperBlitScaled', '$GlimtraScreen'],
  SDL_UpperBlitScaled: function(src, srcrect, dst, dstrect) {
    GlimtraScreen.changed(dst);
    return _emscripten_SDL_UpperBlitScaled(src, srcrect, dst, dstrect);
  },
  SDL_BlitScaled: 'SDL_UpperBlitScaled',

  SDL_UnlockSurface__deps: ['emscripten_SDL_UnlockSurface', '$GlimtraScreen'],
  SDL_UnlockSurface: function(surf) {
    GlimtraScreen.changed(surf);
    return _emscripten_SDL_UnlockSurface(surf);
  },

  // A freed surface's canvas is given to the next one made.
  SDL_FreeSurface__deps: ['emscripten_SDL_FreeSurface', '$GlimtraScreen'],
  SDL_FreeSurface: function(surf) {
    GlimtraScreen.changed(surf);
    return _emscripten_SDL_FreeSurface(surf);
  },

  // emscripten ignores the key, so every keyed picture would be drawn in a box of its key colour. Blits are
  // canvas drawImage calls, so the keyed pixels become transparent in the surface's canvas once; a colour
  // key is all or nothing, which alpha 0 or 255 gives exactly. Glimtra never takes a key away again.
  SDL_SetColorKey__deps: ['$GlimtraScreen'],
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
    GlimtraScreen.changed(surf);
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
  // The frame is put on the canvas here (GlimtraScreen above), once: Asyncify calls SDL_Flip again when the
  // game resumes, but the function given to handleSleep only when it stops. gameFrames counts the game's
  // frames for the page's tests, which cannot count them in canvas calls.
  SDL_Flip__deps: ['$Asyncify', '$GlimtraScreen'],
  SDL_Flip: function(surf) {
    return Asyncify.handleSleep(function(wakeUp) {
      GlimtraScreen.present();
      Module['gameFrames'] = (Module['gameFrames'] | 0) + 1;
      requestAnimationFrame(function() { wakeUp(0); });
    });
  },
});
