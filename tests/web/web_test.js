// Glimtra's page in Debian's chromium, driven over the DevTools protocol with real mouse, touch and key
// events: the golden frames, whole rounds, the level button, Escape, what the page says when it cannot run,
// what the player sees on the screen and the page's pace; and the site beside it as an installed app. The same
// cases play it in Firefox ESR (puppeteer over WebDriver BiDi) and WebKitGTK (W3C WebDriver, see webkit.js),
// each as far as its driver reaches.
// Usage: node web_test.js PAGE GOLDEN_DIR OUT_DIR golden|pressedGo|rounds|touch|escape|failures|screen|pace|
//                                                 installable|offline|failedInstall|sharedHost|siteChanged|
//                                                 newBuild|atRest|redraw [chromium|firefox|webkit]
// Several cases, joined by commas, play one after another in one browser (Firefox takes seconds to start).
'use strict';
const {execFileSync} = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const puppeteer = require('puppeteer-core');

const [pageFile, goldenDir, outDir, caseList, engine = 'chromium'] = process.argv.slice(2);
let testCase = caseList;
// What each engine's driver can do beyond the pages, mouse and keys of all three: DevTools (chromium's
// installability, service worker states and touch gestures), and display densities other than the display's.
// Touch too, but for WebKitGTK's driver, which sends touches as mouse events: it plays no touch case.
const can = {cdp: engine === 'chromium', densities: engine !== 'webkit'};
const kWidth = 350, kHeight = 300;
// The round clock and the draw are the page's own Date.now: frozen at a second whose srand() seed draws the
// code row of the golden frames, 4 7 1 8 2 6, and moved on only by the test (as tests/seams.cpp does).
const kSeedSecond = 1800935634;
const kCode = [4, 7, 1, 8, 2, 6];

// ---- Frames ----

// A 24- or 32-bit bottom-up BMP, as SDL saves the golden frames, as rows of 0xRRGGBB.
function readBmp(file) {
  const b = fs.readFileSync(file);
  const offset = b.readUInt32LE(10), w = b.readInt32LE(18), h = b.readInt32LE(22), bytes = b.readUInt16LE(28) / 8;
  const stride = Math.ceil(w * bytes / 4) * 4, pixels = new Uint32Array(w * Math.abs(h));
  for (let y = 0; y < Math.abs(h); ++y) {
    const row = offset + (h > 0 ? Math.abs(h) - 1 - y : y) * stride;
    for (let x = 0; x < w; ++x) {
      const p = row + x * bytes;
      pixels[y * w + x] = (b[p + 2] << 16) | (b[p + 1] << 8) | b[p];
    }
  }
  return pixels;
}

function writeBmp(file, pixels) {
  const stride = Math.ceil(kWidth * 3 / 4) * 4, b = Buffer.alloc(54 + stride * kHeight);
  b.write('BM', 0);
  b.writeUInt32LE(b.length, 2);
  b.writeUInt32LE(54, 10);
  b.writeUInt32LE(40, 14);
  b.writeInt32LE(kWidth, 18);
  b.writeInt32LE(kHeight, 22);
  b.writeUInt16LE(1, 26);
  b.writeUInt16LE(24, 28);
  for (let y = 0; y < kHeight; ++y)
    for (let x = 0; x < kWidth; ++x) {
      const p = 54 + (kHeight - 1 - y) * stride + x * 3, v = pixels[y * kWidth + x];
      b[p] = v & 255, b[p + 1] = (v >> 8) & 255, b[p + 2] = v >> 16;
    }
  fs.writeFileSync(file, b);
}

// The canvas as the game drew it, in game pixels, read back through its 2D context.
async function frame(page) {
  const encoded = await page.evaluate((w, h) => {
    const data = document.getElementById('canvas').getContext('2d').getImageData(0, 0, w, h).data;
    let s = '';
    for (let i = 0; i < data.length; i += 0x8000) s += String.fromCharCode.apply(null, data.subarray(i, i + 0x8000));
    return btoa(s);
  }, kWidth, kHeight);
  const rgba = Buffer.from(encoded, 'base64'), pixels = new Uint32Array(kWidth * kHeight);
  for (let i = 0; i < pixels.length; ++i) pixels[i] = (rgba[4 * i] << 16) | (rgba[4 * i + 1] << 8) | rgba[4 * i + 2];
  return pixels;
}

function differing(a, b) {
  let n = 0;
  for (let i = 0; i < a.length; ++i) n += a[i] !== b[i];
  return n;
}

// Waits until the canvas shows tests/golden/NAME.bmp exactly; on a timeout keeps the last frame beside it.
async function expectGolden(page, name, seconds = 15) {
  const golden = readBmp(path.join(goldenDir, name + '.bmp'));
  const end = Date.now() + seconds * 1000;
  for (;;) {
    const shown = await frame(page);
    const n = differing(shown, golden);
    if (n === 0) return;
    if (Date.now() > end) {
      const file = path.join(outDir, `${testCase}-${name}-actual.bmp`);
      writeBmp(file, shown);
      throw new Error(`the page does not draw the golden frame ${name}: ${n} pixels differ (${file})`);
    }
    await frames(page, 2);
  }
}

// ---- The page ----

async function frames(page, n) {
  await page.evaluate(n => new Promise(done => {
    const step = () => (--n > 0 ? requestAnimationFrame(step) : done());
    requestAnimationFrame(step);
  }), n);
}

async function advance(page, ms) {
  await page.evaluate(ms => window.glimtraClock(ms), ms);
  await frames(page, 3);
}

// Where game pixel (x, y) is on the page, in CSS pixels: the middle of its block at the page's scale.
async function place(page, x, y) {
  const r = await page.evaluate(() => {
    const c = document.getElementById('canvas').getBoundingClientRect();
    return {left: c.left, top: c.top, width: c.width, height: c.height};
  });
  return {x: r.left + (x + 0.5) * r.width / kWidth, y: r.top + (y + 0.5) * r.height / kHeight};
}

const kGo = [120, 101], kLevel = [45, 100];
const key = s => [45 + 55 * (s % 3) + 25, 141 + 50 * Math.floor(s / 3) + 20];

// A press that the game sees for a few of its frames; `hold` keeps the button down afterwards.
async function press(page, [x, y], {hold = false, touch = false} = {}) {
  const at = await place(page, x, y);
  if (touch) {
    await page.touchscreen.touchStart(at.x, at.y);
  } else {
    await page.mouse.move(at.x, at.y);
    await page.mouse.down();
  }
  await frames(page, 3);
  if (!hold) await release(page, touch);
}

async function release(page, touch = false) {
  if (touch) await page.touchscreen.touchEnd();
  else await page.mouse.up();
  await frames(page, 3);
}

// A right round at level 4 from the start-up frame: GO, the four symbols of the code row, "Rätt svar!".
async function playRight(page, {touch = false} = {}) {
  await expectGolden(page, 'startup');
  await press(page, kGo, {touch});
  await advance(page, 4001);
  for (const s of kCode.slice(0, 4)) await press(page, key(s), {touch});
  await expectGolden(page, 'right');
}

async function open(browser, {url = 'file://' + path.resolve(pageFile), viewport, noWasm = false} = {}) {
  const page = await browser.newPage();
  if (viewport) await page.setViewport(viewport);
  const problems = [];
  page.on('pageerror', e => problems.push(String(e)));
  page.on('requestfailed', r => problems.push('request failed: ' + r.url()));
  const home = /^https?:/.test(url) && new URL(url).origin + '/';
  page.on('request', r => {
    if (!/^(file|data|blob):/.test(r.url()) && !(home && r.url().startsWith(home)))
      problems.push('loads from elsewhere: ' + r.url());
  });
  await page.evaluateOnNewDocument((ms, noWasm) => {
    let now = ms;
    Date.now = () => now;
    window.glimtraClock = step => { now += step; };
    if (noWasm) delete window.WebAssembly;
  }, kSeedSecond * 1000 + 500, noWasm);
  if (!can.cdp) await page.evaluateOnNewDocument(watchWorker);
  await page.goto(url);
  page.problems = problems;
  return page;
}

async function canvasWidth(page) {
  return page.evaluate(() => document.getElementById('canvas').getBoundingClientRect().width);
}

async function notice(page) {
  await page.waitForSelector('#notice:not([hidden])', {timeout: 15000});
  return page.evaluate(() => ({
    headline: document.getElementById('headline').textContent,
    detail: document.getElementById('detail').textContent,
    again: !document.getElementById('again').hidden,
  }));
}

function check(condition, message) {
  if (!condition) throw new Error(message);
}

// ---- Cases ----

const cases = {
  // Every golden frame of the in-process scene tests, reached in the page by playing: the start-up frame,
  // the level button, pressed keys, and a round of the seeded row through memorise, answer and the verdicts.
  async golden(browser) {
    const page = await open(browser);
    await expectGolden(page, 'startup');
    check((await canvasWidth(page)) === 2 * kWidth, 'the canvas is not twice its size in an 800x600 window');
    const head = await page.evaluate(() => [document.title, document.querySelector('link[rel=icon]').href]);
    check(head[0] === 'Glimtra' && head[1].startsWith('data:image/png;base64,'), 'title and icon: ' + head);
    await press(page, kLevel);
    await press(page, kLevel);
    await expectGolden(page, 'level6');
    await press(page, kLevel, {hold: true});  // 6 wraps to 4, drawn pressed
    await expectGolden(page, 'pressed-level');
    await release(page);
    for (const [s, name] of [[0, 'pressed-key2'], [8, 'pressed-key10']]) {
      await press(page, key(s), {hold: true});
      await expectGolden(page, name);
      await release(page);
    }
    // GO held two seconds into the memorise phase: the bar 72 of 145 pixels long.
    await press(page, kGo, {hold: true});
    await advance(page, 2000);
    await expectGolden(page, 'memorise');
    await release(page);
    // 2,010 ms on: the memorise phase ends 10 ms into this pass with its bar full, and the rest of the pass
    // counts for the answer phase, whose bar is at 36 when the second symbol is pressed.
    await advance(page, 2010);
    await press(page, key(4));
    await press(page, key(0), {hold: true});
    await expectGolden(page, 'answer');
    await release(page);
    check(page.problems.length === 0, page.problems.join('\n'));
  },

  // GO drawn pressed while idle: a press on GO starts the round in the same pass, and every round ends with a
  // verdict on screen, so play never shows it. As the scene tests do, the test sets the pressed button.
  async pressedGo(browser) {
    const page = await open(browser);
    await expectGolden(page, 'startup');
    await page.evaluate(() => { HEAP32[Module._butState >> 2] = 1; });
    await expectGolden(page, 'pressed-go');
  },

  // A right round at level 4 and a wrong one at level 5 that runs out of time, by mouse on a page opened
  // anew for each (the same seeded row), ending on the verdict frames of the scene tests.
  async rounds(browser) {
    let page = await open(browser);
    await playRight(page);
    await page.close();

    page = await open(browser);
    await expectGolden(page, 'startup');
    await press(page, kLevel);
    await press(page, kGo);
    await advance(page, 4001);
    for (const s of [4, 3, 1]) await press(page, key(s));
    await advance(page, 8001);
    await expectGolden(page, 'wrong');
    check(page.problems.length === 0, page.problems.join('\n'));
  },

  // The right round with taps on a phone held upright (2.625 device pixels to a CSS pixel), where the canvas
  // is three device pixels a game pixel; and the level button in landscape at factor 2.
  async touch(browser) {
    const page = await open(browser, {viewport: {width: 412, height: 915, deviceScaleFactor: 2.625,
                                                 hasTouch: true, isMobile: true}});
    await expectGolden(page, 'startup');
    const width = await canvasWidth(page);
    check(Math.abs(width * 2.625 - 3 * kWidth) < 0.01, `the canvas is ${width} CSS pixels wide, not 3 x 350 / 2.625`);
    await playRight(page, {touch: true});
    await page.setViewport({width: 915, height: 640, deviceScaleFactor: 1, hasTouch: true, isMobile: true});
    await page.reload();
    await expectGolden(page, 'startup');
    check((await canvasWidth(page)) === 2 * kWidth, 'the canvas is not twice its size in landscape');
    await press(page, kLevel, {touch: true});
    await press(page, kLevel, {touch: true});
    await expectGolden(page, 'level6');
  },

  // Escape ends the game as on the desktop; the page says so in Swedish and starts a new game on request,
  // with the keyboard that the game held until then.
  async escape(browser) {
    const page = await open(browser);
    await expectGolden(page, 'startup');
    await page.keyboard.press('Escape');
    const said = await notice(page);
    check(said.headline === 'Spelet är slut.' && said.again, 'after Escape the page says ' + JSON.stringify(said));
    await Promise.all([page.waitForNavigation(), page.keyboard.press('Enter')]);  // the button has the focus
    await expectGolden(page, 'startup');
    check(page.problems.length === 0, page.problems.join('\n'));
  },

  // Below, each in its own part: what the page says for each way it can fail, what the player sees on the
  // screen, and the page's pace.
  failures, screen, pace,
};

// ---- Failures, in the page's own words ----

// The pictures packed into a page (see make_page.py), each by name: where its bytes start and how many.
function packedPictures(html) {
  const packed = /<script type="application\/octet-stream" id="pictures">([^<]*)</.exec(html)[1];
  const bytes = zlib.gunzipSync(Buffer.from(packed, 'base64')), files = new Map();
  for (let at = 0; at < bytes.length;) {
    const name = bytes.toString('latin1', at, bytes.indexOf(10, at));
    at += name.length + 1;
    const length = Number(bytes.toString('latin1', at, bytes.indexOf(10, at)));
    at = bytes.indexOf(10, at) + 1;
    files.set(name, {at, length});
    at += length;
  }
  return {packed, bytes, files};
}

// A copy of the page whose pictures `change` has changed in place, or replaced (by the bytes or the packed text
// it returns), written beside the test's output.
function pageWithPictures(name, change) {
  const html = fs.readFileSync(pageFile, 'utf8'), pictures = packedPictures(html);
  const changed = change(pictures) || pictures.bytes;
  const packed = typeof changed === 'string' ? changed : zlib.gzipSync(changed).toString('base64');
  const file = path.join(outDir, name + '.html');
  fs.writeFileSync(file, html.replace(pictures.packed, packed));
  return 'file://' + path.resolve(file);
}

// The page says `detail` under its headline, and still says exactly that some frames later.
async function expectCannotRun(page, detail, what) {
  for (const when of ['first', 'still']) {
    const said = await notice(page);
    check(said.headline === 'Glimtra kan inte köras här.' && said.detail === detail && !said.again,
          `${what}: the page says ${JSON.stringify(said)} (${when}), not ${JSON.stringify(detail)}`);
    await frames(page, 10);
  }
  await page.close();
}

// Every way the page can fail ends on the page's own Swedish words, exactly, and no other line (the game's
// English one for a terminal, a later failure's) takes their place.
async function failures(browser) {
  await expectCannotRun(await open(browser, {noWasm: true}),
                        'Webbläsaren saknar WebAssembly. Prova en nyare webbläsare.', 'without WebAssembly');

  const garbled = pageWithPictures('garbled-pictures', () => Buffer.from('no gzip stream').toString('base64'));
  await expectCannotRun(await open(browser, {url: garbled}), 'Spelets bilder gick inte att packa upp.',
                        'pictures that do not unpack');

  // go.bmp's headers made unreadable: the browser's decoder refuses it, before the game starts.
  const broken = pageWithPictures('broken-picture', ({bytes, files}) => {
    const go = files.get('go.bmp');
    bytes.fill(0x55, go.at, go.at + Math.min(54, go.length));
  });
  await expectCannotRun(await open(browser, {url: broken}), 'Bilden pix/go.bmp gick inte att läsa.',
                        'a picture that does not decode');

  // A picture left out of the page: the game itself finds it missing and reports it.
  const missing = pageWithPictures('missing-picture', ({bytes, files}) => {
    const s3 = files.get('s3.bmp'), start = s3.at - `s3.bmp\n${s3.length}\n`.length;
    return Buffer.concat([bytes.subarray(0, start), bytes.subarray(s3.at + s3.length)]);
  });
  await expectCannotRun(await open(browser, {url: missing}), 'Bilden pix/s3.bmp gick inte att läsa.',
                        'a picture missing from the page');

  // No DecompressionStream; a canvas that cannot be drawn on, where the game's window cannot open; an error in
  // the middle of play.
  for (const [what, breakIt, detail] of [
    ['a browser without DecompressionStream', () => { delete window.DecompressionStream; },
     'Webbläsaren kan inte packa upp spelets bilder (DecompressionStream saknas). Prova en nyare webbläsare.'],
    ['a canvas without 2D drawing', () => {
      HTMLCanvasElement.prototype.getContext = function () { return null; };
    }, 'Webbläsaren kan inte rita spelet (ingen 2D-canvas). Prova en annan webbläsare.'],
    // In the hundredth animation frame, the one that wakes the game (the canvas hears of few frames at rest).
    ['an error in play', () => {
      const next = window.requestAnimationFrame;
      let n = 0;
      window.requestAnimationFrame = function (play) {
        return next.call(this, t => {
          if (++n === 100) throw new TypeError('planted');
          return play(t);
        });
      };
    }, 'Spelet stannade av ett fel.']]) {
    const page = await browser.newPage();
    await page.evaluateOnNewDocument(breakIt);
    await page.goto('file://' + path.resolve(pageFile));
    await expectCannotRun(page, detail, what);
  }
}

// ---- The screen, as the player sees it ----

// A screenshot of the page, in device pixels, as rows of 0xRRGGBB: its PNG decoded by the browser.
async function screenshot(page) {
  const png = await page.screenshot({type: 'png', encoding: 'base64'});
  const {w, h, rgba} = await page.evaluate(async png => {
    const image = new Image();
    image.src = 'data:image/png;base64,' + png;
    await image.decode();
    const canvas = new OffscreenCanvas(image.width, image.height), ctx = canvas.getContext('2d');
    ctx.drawImage(image, 0, 0);
    const data = ctx.getImageData(0, 0, image.width, image.height).data;
    let s = '';
    for (let i = 0; i < data.length; i += 0x8000) s += String.fromCharCode.apply(null, data.subarray(i, i + 0x8000));
    return {w: image.width, h: image.height, rgba: btoa(s)};
  }, png);
  const bytes = Buffer.from(rgba, 'base64'), px = new Uint32Array(w * h);
  for (let i = 0; i < px.length; ++i) px[i] = (bytes[4 * i] << 16) | (bytes[4 * i + 1] << 8) | bytes[4 * i + 2];
  return {w, h, px, png};
}

const kBackground = 0x333333;

// The viewport's screenshot, in device pixels, must show the start-up frame whole, in the middle of the window
// (to a device pixel) at the largest whole factor that fits, each game pixel a factor x factor block of its one
// colour, and the page's background everywhere else. Waits a little for the page to settle after a change.
async function expectOnScreen(page, golden, what) {
  const view = page.viewport(), ratio = view.deviceScaleFactor || 1;
  const factor = Math.max(1, Math.floor(Math.min(view.width * ratio / kWidth, view.height * ratio / kHeight)));
  const W = Math.round(view.width * ratio), H = Math.round(view.height * ratio);
  let problem = '', shot = null;
  for (let attempt = 0; attempt < 10 && problem !== null; ++attempt) {
    await frames(page, 2);
    shot = await screenshot(page);
    const r = await page.evaluate(() => document.getElementById('canvas').getBoundingClientRect().toJSON());
    const left = Math.round(r.left * ratio), top = Math.round(r.top * ratio);
    problem = shot.w !== W || shot.h !== H ? `a screenshot of ${shot.w}x${shot.h}, not ${W}x${H}`
      : Math.abs(2 * left + kWidth * factor - view.width * ratio) > 1.01 ||
        Math.abs(2 * top + kHeight * factor - view.height * ratio) > 1.01 ? `the canvas is at (${left}, ${top})` : null;
    for (let y = 0; y < H && !problem; ++y)
      for (let x = 0; x < W && !problem; ++x) {
        const gx = Math.floor((x - left) / factor), gy = Math.floor((y - top) / factor);
        const want = gx >= 0 && gx < kWidth && gy >= 0 && gy < kHeight ? golden[gy * kWidth + gx] : kBackground;
        if (shot.px[y * W + x] !== want)
          problem = `device pixel (${x}, ${y}) is ${shot.px[y * W + x].toString(16)}, not ${want.toString(16)}`;
      }
  }
  if (problem === null) return;
  const file = path.join(outDir, `screen-${W}x${H}.png`);
  fs.writeFileSync(file, Buffer.from(shot.png, 'base64'));
  throw new Error(`${what} (${view.width}x${view.height} at ${ratio}): not the start-up frame at ${factor}x in the ` +
                  `middle of the window: ${problem}; the screenshot is ${file}`);
}

// What the player sees, in device pixels, at several window sizes, resized and turned without a reload; and
// gestures on the game and beside it that neither scroll nor zoom the page.
async function screen(browser) {
  const golden = readBmp(path.join(goldenDir, 'startup.bmp'));
  const desktop = {hasTouch: false, isMobile: false}, phone = {hasTouch: true, isMobile: true};
  // 600x500: 1.71 by width, 1.67 by height, where rounding would give 2 and overflow the window.
  for (const [view, what] of [[{width: 600, height: 500, deviceScaleFactor: 1, ...desktop}, 'a small window'],
                              [{width: 750, height: 620, deviceScaleFactor: 1.5, ...desktop}, 'at 150%']]
         .filter(([view]) => can.densities || view.deviceScaleFactor === 1)) {
    const page = await open(browser, {viewport: view});
    await expectGolden(page, 'startup');
    await expectOnScreen(page, golden, what);
    await page.close();
  }

  // One page, never reloaded: the window made larger and smaller, moved to a display of another density;
  // then a phone, turned.
  let page = await open(browser, {viewport: {width: 800, height: 600, deviceScaleFactor: 1, ...desktop}});
  await expectGolden(page, 'startup');
  await page.evaluate(() => { window.glimtraNotReloaded = true; });
  for (const [view, what] of [[{width: 1200, height: 1000}, 'enlarged'], [{width: 500, height: 400}, 'made smaller'],
                              [{width: 800, height: 600, deviceScaleFactor: 2}, 'on a denser display']]
         .filter(([view]) => can.densities || !view.deviceScaleFactor)) {
    await page.setViewport({deviceScaleFactor: 1, ...desktop, ...view});
    await expectOnScreen(page, golden, what);
  }
  check(await page.evaluate(() => window.glimtraNotReloaded), 'the page was loaded anew');
  await page.close();
  if (!can.densities) return;

  // A phone of 1071x2226 device pixels, where the canvas's place in CSS pixels is no whole number.
  page = await open(browser, {viewport: {width: 408, height: 848, deviceScaleFactor: 2.625, ...phone}});
  await expectGolden(page, 'startup');
  await page.evaluate(() => { window.glimtraNotReloaded = true; });
  await expectOnScreen(page, golden, 'a phone upright');
  await page.setViewport({width: 848, height: 408, deviceScaleFactor: 2.625, ...phone});
  await expectOnScreen(page, golden, 'the phone turned');
  check(await page.evaluate(() => window.glimtraNotReloaded), 'turning the phone loaded the page anew');
  if (!can.cdp) return check(page.problems.length === 0, page.problems.join('\n'));

  // A pinch and a swipe of a player's fingers, on the game's notes at the right (where the game takes them for
  // no control) and on the page's margin: the page neither zooms nor scrolls.
  const session = await page.createCDPSession();
  const touch = async (type, points) => session.send('Input.dispatchTouchEvent', {type, touchPoints: points});
  for (const where of [await place(page, 330, 200), {x: 110, y: 200}]) {
    for (const [gesture, fingers] of [['a pinch', d => [{x: where.x - d, y: where.y, id: 1}, {x: where.x + d, y: where.y, id: 2}]],
                                      ['a swipe', d => [{x: where.x, y: where.y + 100 - 2 * d, id: 1}]]]) {
      await touch('touchStart', fingers(10));
      for (let d = 12; d <= 100; d += 4) {
        await touch('touchMove', fingers(d));
        await frames(page, 1);
      }
      await touch('touchEnd', []);
      await frames(page, 5);
      const moved = await page.evaluate(() => [visualViewport.scale, visualViewport.pageLeft, visualViewport.pageTop]);
      check(moved.join() === '1,0,0', `${gesture} at ${where.x}, ${where.y} zooms or scrolls the page: ${moved}`);
    }
  }
  await expectOnScreen(page, golden, 'after the gestures');
  check(page.problems.length === 0, page.problems.join('\n'));
}

// ---- Pace ----

// Counted, not timed: over 120 of the browser's animation frames, the game's frames, as the flip counts them
// (the canvas hears of a frame only where it differs from the last).
async function pace(browser) {
  const page = await open(browser);
  await expectGolden(page, 'startup');
  const counted = await page.evaluate(n => new Promise(done => {
    const first = Module.gameFrames;
    const step = () => (--n > 0 ? requestAnimationFrame(step) : done(Module.gameFrames - first));
    requestAnimationFrame(step);
  }), 120);
  check(Math.abs(counted - 120) <= 1, `the game drew ${counted} frames in 120 of the browser's animation frames`);
  check(page.problems.length === 0, page.problems.join('\n'));
}

// ---- The installed app ----
// build-web/site/ served from 127.0.0.1 under a folder, as a school's host would serve it: installable, offline
// once its service worker has it, and updated whole (tests/web/reproducible.sh builds it again from a copy).

const siteDir = path.join(path.dirname(pageFile), 'site'), sourceDir = path.join(__dirname, '..', '..');

// A static server on an ephemeral port, with an hour's HTTP caching as hosts have, stopped whatever happens.
// `site.dir` may change, to put another build at the same address; `site.replace` gives a file other bytes
// (null: none).
async function withSite(body) {
  const site = {dir: siteDir, replace: {}, asked: [], copies: {}}, sockets = new Set();
  const server = http.createServer((request, response) => {
    // Other copies of the game beside it on the host: site.copies, by folder.
    const [, folder, asked] = /^\/spel\/(glimtra[\w-]*)\/([\w.-]*)(\?.*)?$/.exec(request.url) || [];
    const name = asked?.replace(/^$/, 'index.html');
    site.asked.push(name);
    const file = path.join((folder === 'glimtra' ? site.dir : site.copies[folder]) || '-', name || '-');
    const body = name in site.replace ? site.replace[name] : fs.existsSync(file) && fs.readFileSync(file);
    const type = {'.html': 'text/html', '.js': 'text/javascript'}[path.extname(file)] || 'application/octet-stream';
    response.writeHead(body ? 200 : 404, {'Content-Type': type, 'Cache-Control': 'max-age=3600'}).end(body || '');
  });
  server.on('connection', s => sockets.add(s));
  await new Promise(done => server.listen(0, '127.0.0.1', done));
  site.url = `http://127.0.0.1:${server.address().port}/spel/glimtra/`;
  site.stop = () => {
    sockets.forEach(s => s.destroy());
    return new Promise(done => server.close(done));
  };
  try {
    await body(site);
  } finally {
    if (server.listening) await site.stop();
  }
}

// The page's service workers once they have settled, as DevTools sees them: 'activated' where one is (a new one
// may wait beside it), 'none' where the install failed.
async function worker(page) {
  if (!can.cdp) return workerOfPage(page);
  const cdp = await page.createCDPSession(), states = {};
  const settled = new Promise((done, fail) => {
    setTimeout(() => fail(new Error('no service worker settles: ' + JSON.stringify(states))), 30000).unref();
    cdp.on('ServiceWorker.workerVersionUpdated', ({versions}) => {
      versions.forEach(v => { states[v.versionId] = v.status; });
      const all = Object.values(states), on = all.includes('activated');
      if (all.length && all.every(s => /^(activated|redundant)$/.test(s) || (on && s === 'installed')))
        done(on ? 'activated' : 'none');
    });
  });
  await cdp.send('ServiceWorker.enable');
  return settled.finally(() => cdp.detach());
}

// The same, as the page sees it where there is no DevTools: the registration of the page's own register() call,
// recorded by watchWorker from the page's start.
function watchWorker() {
  const container = navigator.serviceWorker, register = container && container.register;
  if (register) container.register = (...a) => (window.glimtraRegistration = register.apply(container, a));
}

async function workerOfPage(page) {
  for (const end = Date.now() + 30000; Date.now() < end; await frames(page, 5)) {
    const state = await page.evaluate(async () => {
      const r = window.glimtraRegistration && await window.glimtraRegistration.catch(() => null);
      if (r === null) return 'none';
      if (!r || r.installing) return 'settling';
      if (r.active) return r.active.state === 'activated' ? 'activated' : 'settling';
      return r.waiting ? 'settling' : 'none';
    });
    if (state !== 'settling') return state;
  }
  throw new Error('no service worker settles');
}

Object.assign(cases, {
  // chromium finds the site installable and the icons are the sizes they claim; the site keeps its measures;
  // and opened from a file, index.html plays as glimtra.html does, saying nothing.
  async installable(browser) {
    const size = f => fs.statSync(path.join(siteDir, f)).size, files = fs.readdirSync(siteDir);
    const total = files.reduce((sum, f) => sum + size(f), 0), extra = size('index.html') - fs.statSync(pageFile).size;
    check(total < 400 * 1024 && extra < 5 * 1024, `the site is ${total} bytes, index.html ${extra} over the page`);
    await withSite(async site => {
      const page = await open(browser, {url: site.url});
      check((await worker(page)) === 'activated', 'no service worker takes up the site');
      const cdp = await page.createCDPSession();
      const {installabilityErrors} = await cdp.send('Page.getInstallabilityErrors');
      const {errors, data} = await cdp.send('Page.getAppManifest');
      check(installabilityErrors.length + errors.length === 0, JSON.stringify([installabilityErrors, errors]));
      const m = JSON.parse(data), apple = await page.$eval('link[rel=apple-touch-icon]', l => l.getAttribute('href'));
      check(m.lang === 'sv' && m.start_url === './' && m.scope === './' && m.display === 'standalone', data);
      const icons = m.icons.map(i => [i.src, i.sizes + ' ' + i.purpose]).concat([[apple, '180x180 apple']]);
      for (const [src, claim] of icons) {
        const png = fs.readFileSync(path.join(siteDir, src));
        check(claim.startsWith(`${png.readUInt32BE(16)}x${png.readUInt32BE(20)} `), `${src} is not ${claim}`);
      }
      check(icons.map(i => i[1]).sort().join() === '180x180 apple,192x192 any,512x512 any,512x512 maskable', data);
      check(page.problems.length === 0, page.problems.join('\n'));
    });
    const page = await open(browser, {url: 'file://' + path.resolve(siteDir, 'index.html')}), said = [];
    page.on('console', m => m.type() === 'error' && said.push(m.text()));
    await page.reload();
    await playRight(page);
    check(said.length + page.problems.length === 0, said.concat(page.problems).join('\n'));
  },

  // A service worker takes the page. A second build with a changed page, put at the same address, is taken
  // within three visits, and whole: until then a page of the first build gets the first build's files, after
  // it no cache holds the first build's page. With the server stopped and the browser offline, it plays.
  async offline(browser) {
    const marker = '<meta name="build" content="second">', changed = path.join(outDir, 'changed.html');
    fs.writeFileSync(changed, fs.readFileSync(pageFile, 'utf8').replace('</title>', '</title>' + marker));
    const second = path.join(outDir, 'second-site'), makeSite = path.join(sourceDir, 'src/web/make_site.py');
    const icons = fs.readdirSync(siteDir).filter(f => f.endsWith('.png')).map(f => path.join(sourceDir, 'dist/web', f));
    execFileSync('python3', [makeSite, '--page', changed, '--out', second, ...icons]);
    await withSite(async site => {
      let page = await open(browser, {url: site.url});
      check((await worker(page)) === 'activated', 'no service worker takes up the first build');
      await page.reload();
      check(await page.evaluate(() => !!navigator.serviceWorker.controller), 'the worker does not take the page');
      await page.close();
      site.dir = second;
      let visits = 0, taken = false;
      while (!taken && visits++ < 3) {
        site.asked.length = 0;
        page = await open(browser, {url: site.url});
        taken = (await page.content()).includes(marker);
        // A visit lasts until chromium has asked whether the worker changed, a moment after the page loads,
        // and what it found has installed.
        for (const end = Date.now() + 20000; !site.asked.includes('sw.js') && Date.now() < end;) await frames(page, 2);
        await worker(page);
        const got = await page.evaluate(() => fetch('index.html').then(r => r.text()));
        check(got.includes(marker) === taken, 'a page of one build gets the other\'s index.html');
        await page.close();
      }
      check(taken, 'the second build is not taken within three visits');
      page = await open(browser, {url: site.url});
      const cached = await page.evaluate(() => caches.keys().then(names => Promise.all(names.map(name =>
        caches.open(name).then(c => c.match('index.html')).then(r => r ? r.text() : '')))));
      check(cached.length === 1 && cached[0].includes(marker), `the caches hold ${cached.length} pages`);
      await site.stop();
      await page.setOfflineMode(true);
      // Started anew, at an address that no HTTP cache holds (as a launcher's ?source=... gives): Firefox and
      // WebKit take a page from a fresh HTTP cache offline, and only the worker may answer here.
      await page.goto(site.url + '?offline');
      await playRight(page);
      check((await page.content()).includes(marker) && page.problems.length === 0, 'offline: ' + page.problems);
    });
  },

  // A worker that cannot install, for a file missing on the host or one of another build, leaves the page
  // playing online as before, and no cache behind.
  async failedInstall(browser) {
    for (const replace of [{'maskable-512.png': null}, {'manifest.webmanifest': '{"name": "Glimtra"}'}]) {
      await withSite(async site => {
        site.replace = replace;
        const page = await open(browser, {url: site.url});
        check((await worker(page)) === 'none', 'a worker installs with ' + JSON.stringify(replace));
        await page.reload();
        await playRight(page);
        const left = await page.evaluate(() => caches.keys());
        check(left.length === 0 && page.problems.length === 0, 'left: ' + left.concat(page.problems).join('\n'));
        await page.close();
      });
    }
  },
});

// ---- Builds that follow one another ----
// Other builds of the site, made by make_site.py from a copy of src/web with `manifest` changed, from `page`, and
// with the icons named in `icons` in place of the generator's; and a worker that takes a new build as a
// player's next visit would.

const kMarker = '<meta name="build" content="next">';

function buildSite(name, {page = pageFile, manifest = m => m, icons = {}} = {}) {
  const web = path.join(outDir, name + '-web'), dir = path.join(outDir, name);
  fs.mkdirSync(web, {recursive: true});
  for (const f of ['make_site.py', 'app_head.html', 'sw.js', 'manifest.webmanifest'])
    fs.copyFileSync(path.join(sourceDir, 'src/web', f), path.join(web, f));
  const m = path.join(web, 'manifest.webmanifest');
  fs.writeFileSync(m, manifest(fs.readFileSync(m, 'utf8')));
  const pngs = fs.readdirSync(siteDir).filter(f => f.endsWith('.png'));
  execFileSync('python3', [path.join(web, 'make_site.py'), '--page', page, '--out', dir,
                           ...pngs.map(f => icons[f] || path.join(sourceDir, 'dist/web', f))]);
  return dir;
}

// The page with kMarker in its head.
function markedPage() {
  const file = path.join(outDir, 'marked.html');
  fs.writeFileSync(file, fs.readFileSync(pageFile, 'utf8').replace('</title>', '</title>' + kMarker));
  return file;
}

// The name of the cache that a site's worker fills.
const cacheOf = (dir, url) => `glimtra ${url} ` + /kPrefix \+ '(\w+)'/.exec(fs.readFileSync(path.join(dir, 'sw.js'), 'utf8'))[1];

// The open page's worker asks for a new build at once (as the page does hourly), and once the page is closed
// the new worker takes over: the page opened then is of the new build.
async function revisit(browser, page, url) {
  await page.evaluate(() => navigator.serviceWorker.getRegistration().then(async r => {
    await r.update().catch(() => {});  // refused while chromium's own look after the visit is under way
    for (let i = 0; i < 100 && !r.waiting; ++i) await new Promise(done => setTimeout(done, 100));
  }));
  await page.close();
  return open(browser, {url});
}

const cacheNames = page => page.evaluate(() => caches.keys());

Object.assign(cases, {
  // Two copies on one host (a school's /spel/glimtra/ and /spel/glimtra-prov/), one reached by a link that adds
  // a query: each keeps its own cache, the update of one leaves the other's alone, and both play offline.
  async sharedHost(browser) {
    const next = buildSite('prov-next', {page: markedPage()});
    await withSite(async site => {
      site.copies['glimtra-prov'] = siteDir;
      const link = site.url + '?source=skolsida', prov = site.url.replace('/glimtra/', '/glimtra-prov/');
      let page;
      for (const url of [link, prov]) {
        page = await open(browser, {url});
        check((await worker(page)) === 'activated', 'no service worker takes up ' + url);
      }
      site.copies['glimtra-prov'] = next;
      page = await revisit(browser, page, prov);
      check((await page.content()).includes(kMarker), 'the copy in glimtra-prov/ does not take its new build');
      const names = (await cacheNames(page)).sort().join();
      check(names === [cacheOf(siteDir, site.url), cacheOf(next, prov)].sort().join(), 'the caches: ' + names);
      await site.stop();
      await page.setOfflineMode(true);
      for (const [url, marked] of [[link, false], [prov + '?source=skolsida', true]]) {
        await page.goto(url);
        await playRight(page);
        check((await page.content()).includes(kMarker) === marked, url + ' offline is not its own build');
      }
      check(page.problems.length === 0, 'offline: ' + page.problems.join('\n'));
    });
  },

  // A build that changes the manifest alone, then one that changes one icon alone, is each taken by a new
  // worker, and its cache is then the only one.
  async siteChanged(browser) {
    const png = fs.readFileSync(path.join(sourceDir, 'dist/web/icon-192.png')), idat = png.indexOf('IDAT') - 4;
    const raw = zlib.inflateSync(png.subarray(idat + 8, idat + 8 + png.readUInt32BE(idat)));
    raw[1000] ^= 1;
    const data = Buffer.concat([Buffer.from('IDAT'), zlib.deflateSync(raw, {level: 0})]), length = Buffer.alloc(4);
    length.writeUInt32BE(data.length - 4);
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(zlib.crc32(data));
    const icon = path.join(outDir, 'icons', 'icon-192.png');
    fs.mkdirSync(path.dirname(icon), {recursive: true});
    fs.writeFileSync(icon, Buffer.concat([png.subarray(0, idat), length, data, crc, png.subarray(idat + 12 + png.readUInt32BE(idat))]));
    const manifest = m => m.replace('"Glimtra"', '"Glimtra!"');  // then kept, so that each build changes one file
    const builds = [buildSite('manifest-changed', {manifest}), buildSite('icon-changed', {manifest, icons: {'icon-192.png': icon}})];
    await withSite(async site => {
      let page = await open(browser, {url: site.url});
      check((await worker(page)) === 'activated', 'no service worker takes up the first build');
      let before = cacheOf(siteDir, site.url);
      for (const dir of builds) {
        site.dir = dir;
        page = await revisit(browser, page, site.url);
        await worker(page);
        const names = await cacheNames(page);
        check(names.join() === cacheOf(dir, site.url) && names[0] !== before, `${path.basename(dir)}: the caches are ${names}`);
        before = names[0];
      }
    });
  },

  // A page left open (a reload would keep its build) learns of a new build, and offers it in Swedish between
  // rounds only; a tap loads it. Another page of the old build, in a round then, finishes the round before it
  // loads the new build too, and no cache holds the old one after.
  async newBuild(browser) {
    const next = buildSite('next', {page: markedPage()});
    await withSite(async site => {
      const first = await open(browser, {url: site.url});
      check((await worker(first)) === 'activated', 'no service worker takes up the first build');
      await first.reload();
      site.asked.length = 0;
      const other = await open(browser, {url: site.url}), offer = '#update:not([hidden])';
      for (const page of [other, first]) {  // the page in front is the one that plays
        await page.bringToFront();
        await expectGolden(page, 'startup');
        await page.evaluate(() => { window.glimtraNotReloaded = true; });
        await press(page, kGo);
      }
      // chromium's own look for a new worker after the visit is over before the new build is put up.
      for (const end = Date.now() + 20000; !site.asked.includes('sw.js') && Date.now() < end;) await frames(first, 2);
      site.dir = next;
      // Offline and back, each seen by the page: the network's return makes it ask for a new build.
      await first.setOfflineMode(true);
      await first.waitForFunction(() => !navigator.onLine, {polling: 100, timeout: 20000});
      await first.setOfflineMode(false);
      await first.waitForFunction(() => navigator.onLine, {polling: 100, timeout: 20000});
      await first.waitForFunction(() => navigator.serviceWorker.getRegistration().then(r => !!r.waiting),
                                  {polling: 250, timeout: 60000})
        .catch(e => { throw new Error('the open page does not learn of the new build: ' + e.message); });
      await first.evaluate(() => new Promise(done => setTimeout(done, 1000)));
      check(!(await first.$(offer)), 'the new build is offered during a round');
      await advance(first, 4001);
      await advance(first, 8001);
      await first.waitForSelector(offer, {timeout: 5000});
      const said = await first.$eval('#update', e => e.innerText.replace(/\s+/g, ' '));
      check(said === 'Det finns en ny version av Glimtra. Starta nya versionen', 'the offer says ' + said);
      await first.screenshot({path: path.join(outDir, 'newBuild-offer.png')});
      check(!(await other.$(offer)), 'the new build is offered during a round on the other page');
      // A page opened now is still of the old build, whose worker controls it, and offers the new one at once.
      const third = await open(browser, {url: site.url});
      await third.waitForSelector(offer, {timeout: 15000});
      check(!(await third.content()).includes(kMarker), 'a page opened while the new build waits mixes builds');
      await third.close();
      await first.bringToFront();
      await Promise.all([first.waitForNavigation(), first.click('#update button')]);
      await expectGolden(first, 'startup');
      check((await first.content()).includes(kMarker), 'a tap on the offer does not load the new build');
      await other.bringToFront();
      await other.evaluate(() => new Promise(done => setTimeout(done, 1000)));
      check(await other.evaluate(() => window.glimtraNotReloaded), 'the other page is loaded anew during its round');
      // In sight, it keeps its verdict and offers the new build, which one tap loads.
      await advance(other, 4001);
      await advance(other, 8001);
      await other.waitForSelector(offer, {timeout: 5000});
      check(await other.evaluate(() => window.glimtraNotReloaded), 'the other page is loaded anew over its verdict');
      await Promise.all([other.waitForNavigation(), other.click('#update button')]);
      check((await other.content()).includes(kMarker), 'the other page does not load the new build on a tap');
      const names = await cacheNames(first);
      check(names.join() === cacheOf(next, site.url), 'the caches after: ' + names);
      check(first.problems.length + other.problems.length === 0, first.problems.concat(other.problems).join('\n'));
    });
  },
});

// ---- Drawing only what changed ----
// The page's SDL layer tells the canvas only where a frame differs from the last (src/web/sdl_fixes.js).

// Counts the calls that draw on the game's canvas, from the page's first script on.
async function openCounted(browser) {
  const page = await open(browser);
  await page.evaluateOnNewDocument(() => {
    window.glimtraCalls = 0;
    for (const name of ['fillRect', 'drawImage', 'putImageData', 'clearRect', 'fill'])
      CanvasRenderingContext2D.prototype[name] = new Proxy(CanvasRenderingContext2D.prototype[name], {
        apply(draw, ctx, args) {
          if (ctx.canvas.id === 'canvas') ++window.glimtraCalls;
          return Reflect.apply(draw, ctx, args);
        },
      });
  });
  await page.reload();
  await expectGolden(page, 'startup');
  return page;
}

// Over n of the game's frames, with the round clock moved on `step` ms a frame: the calls on the canvas.
async function callsOver(page, n, step = 0) {
  return page.evaluate((n, step) => new Promise(done => {
    const calls = window.glimtraCalls, frames = Module.gameFrames;
    const look = () => {
      window.glimtraClock(step);
      if (Module.gameFrames - frames < n) requestAnimationFrame(look);
      else done(window.glimtraCalls - calls);
    };
    requestAnimationFrame(look);
  }), n, step);
}

// The canvas made anew, blank, as the browser leaves it when it drops a canvas's pixels; the game's frames
// that follow do not draw it again unless told to.
async function blank(page) {
  await page.evaluate(() => { const c = document.getElementById('canvas'); c.width = c.width; });
  await frames(page, 5);
  check(differing(await frame(page), new Uint32Array(kWidth * kHeight)) === 0, 'a frame at rest was drawn');
}

Object.assign(cases, {
  // At the title screen the canvas hears nothing; while a bar grows, a few calls a frame, where a whole frame
  // is about ninety.
  async atRest(browser) {
    const page = await openCounted(browser);
    const idle = await callsOver(page, 60);
    check(idle === 0, `the canvas was asked for ${idle} calls in 60 frames at rest`);
    await press(page, kGo);
    const round = await callsOver(page, 60, 20);
    check(round > 0 && round <= 60 * 6, `the canvas was asked for ${round} calls in 60 frames of a round`);
  },

  // A frame that differs from the last in one blit (a key's face), the screen back as it was, and whole
  // frames after the canvas lost its pixels on a resize, the page hidden and shown, a context restored.
  async redraw(browser) {
    const page = await openCounted(browser);
    for (const [s, name] of [[0, 'pressed-key2'], [8, 'pressed-key10']]) {
      await press(page, key(s), {hold: true});
      await expectGolden(page, name);
      await release(page);
      await expectGolden(page, 'startup');
    }
    await page.evaluate(() => { HEAP32[Module._butState >> 2] = 1; });
    await expectGolden(page, 'pressed-go');
    await page.evaluate(() => { HEAP32[Module._butState >> 2] = 0; });
    await expectGolden(page, 'startup');
    await blank(page);
    await page.setViewport({width: 900, height: 700});
    await expectGolden(page, 'startup');
    for (const [target, type] of [['document', 'visibilitychange'], ['canvas', 'contextrestored']]) {
      await blank(page);
      await page.evaluate((target, type) => {
        (target === 'document' ? document : document.getElementById('canvas')).dispatchEvent(new Event(type));
      }, target, type);
      await expectGolden(page, 'startup', 5);
    }
    check(page.problems.length === 0, page.problems.join('\n'));
  },
});

// ---- Run ----

function chromium() {
  for (const candidate of ['/usr/lib/chromium/chromium', '/usr/bin/chromium'])
    if (fs.existsSync(candidate)) return candidate;
  throw new Error('no chromium (Debian: apt install chromium)');
}

async function main() {
  for (const c of caseList.split(','))
    if (!cases[c]) throw new Error('no case ' + c + '; one of ' + Object.keys(cases).join(' '));
  fs.mkdirSync(outDir, {recursive: true});
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), `glimtra-${engine}-`));
  // A page whose game never gives the thread back fails its next call here, well within the test's limit.
  const browser = engine === 'webkit' ? await require('./webkit').launch({timeout: 20000})
    : engine === 'firefox' ? await puppeteer.launch({
      browser: 'firefox', executablePath: '/usr/lib/firefox-esr/firefox-esr', headless: true, userDataDir: profile,
      defaultViewport: {width: 800, height: 600}, protocolTimeout: 20000})
    : await puppeteer.launch({
    executablePath: chromium(),
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--window-size=800,600'],
    defaultViewport: {width: 800, height: 600},
    protocolTimeout: 20000,
  });
  try {
    for (testCase of caseList.split(',')) {
      await cases[testCase](browser);
      console.log(`web ${testCase}: passed${engine === 'chromium' ? '' : ' in ' + engine}`);
    }
  } finally {
    await browser.close();
    fs.rmSync(profile, {recursive: true, force: true});
  }
}

main().catch(e => {
  console.error(`web ${testCase}${engine === 'chromium' ? '' : ' in ' + engine}: ${e.stack || e}`);
  process.exitCode = 1;
});
