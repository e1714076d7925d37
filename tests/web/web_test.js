// Glimtra's page in Debian's chromium, driven over the DevTools protocol with real mouse, touch and key
// events: the golden frames, whole rounds, the level button, Escape, and what the page says when it cannot run;
// and the site beside it as an installed app.
// Usage: node web_test.js PAGE GOLDEN_DIR OUT_DIR golden|pressedGo|rounds|touch|escape|failures|installable|offline|
//                                                 update|failedInstall|sameSite
'use strict';
const {execFileSync} = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const puppeteer = require('puppeteer-core');

const [pageFile, goldenDir, outDir, testCase] = process.argv.slice(2);
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
    await expectGolden(page, 'startup');
    await press(page, kGo);
    await advance(page, 4001);
    for (const s of kCode.slice(0, 4)) await press(page, key(s));
    await expectGolden(page, 'right');
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
    await press(page, kGo, {touch: true});
    await advance(page, 4001);
    for (const s of kCode.slice(0, 4)) await press(page, key(s), {touch: true});
    await expectGolden(page, 'right');
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

  // Where the page cannot run it says so instead of showing an empty canvas: a browser without WebAssembly,
  // and a picture that does not decode (a copy of the page with pix/go.bmp cut short).
  async failures(browser) {
    let page = await open(browser, {noWasm: true});
    let said = await notice(page);
    check(/kan inte köras/.test(said.headline) && /WebAssembly/.test(said.detail), JSON.stringify(said));

    const html = fs.readFileSync(pageFile, 'utf8');
    const packed = /(<script type="application\/octet-stream" id="pictures">)([^<]*)</.exec(html);
    const files = zlib.gunzipSync(Buffer.from(packed[2], 'base64'));
    const at = files.indexOf('go.bmp\n') + 'go.bmp\n3426\n'.length;
    files.fill(0x55, at, at + 54);  // its headers
    const broken = path.join(outDir, 'broken-picture.html');
    fs.writeFileSync(broken, html.replace(packed[2], zlib.gzipSync(files).toString('base64')));
    page = await open(browser, {url: 'file://' + path.resolve(broken)});
    said = await notice(page);
    check(/kan inte köras/.test(said.headline) && /go\.bmp/.test(said.detail), JSON.stringify(said));
  },
};

// ---- The installed app ----
// build-web/site/, the page as a web app, served from 127.0.0.1 under a folder of the host, as a school's site
// would serve it: installable, offline once its service worker has it, updated whole, and the same bytes again.

const siteDir = path.join(path.dirname(pageFile), 'site');
const sourceDir = path.join(__dirname, '..', '..');

// A static server on an ephemeral port, serving `site.dir` under /spel/glimtra/ with an hour's HTTP caching,
// as hosts do. `dir` may change, to put another build at the same address; `replace` answers a file with
// other bytes, or with 404 where null. Stopped by the caller, always (withSite).
async function serve(dir) {
  const types = {'.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.png': 'image/png',
                 '.webmanifest': 'application/manifest+json'};
  const site = {dir, replace: {}, asked: []}, sockets = new Set();
  const server = http.createServer((request, response) => {
    const name = /^\/spel\/glimtra\/([\w.-]*)$/.exec(new URL(request.url, 'http://host').pathname)?.[1];
    const file = name === '' ? 'index.html' : name;
    site.asked.push(file);
    const body = !file ? null : file in site.replace ? site.replace[file]
                                : fs.existsSync(path.join(site.dir, file)) ? fs.readFileSync(path.join(site.dir, file)) : null;
    if (!body) return response.writeHead(404).end();
    response.writeHead(200, {'Content-Type': types[path.extname(file)] || 'application/octet-stream',
                             'Cache-Control': 'max-age=3600'}).end(body);
  });
  server.on('connection', s => { sockets.add(s); s.on('close', () => sockets.delete(s)); });
  await new Promise(done => server.listen(0, '127.0.0.1', done));
  site.url = `http://127.0.0.1:${server.address().port}/spel/glimtra/`;
  site.stop = () => new Promise(done => {
    server.close(done);
    sockets.forEach(s => s.destroy());
  });
  return site;
}

async function withSite(dir, body) {
  const site = await serve(dir);
  try {
    await body(site);
  } finally {
    if (site.stop) await site.stop();
  }
}

async function playRight(page) {
  await expectGolden(page, 'startup');
  await press(page, kGo);
  await advance(page, 4001);
  for (const s of kCode.slice(0, 4)) await press(page, key(s));
  await expectGolden(page, 'right');
}

// The page's service workers once they have settled, as chromium's DevTools see them: 'activated' when one
// is, 'none' where the install failed.
async function worker(page) {
  const cdp = await page.createCDPSession(), states = {};
  const settled = new Promise(done => cdp.on('ServiceWorker.workerVersionUpdated', ({versions}) => {
    versions.forEach(v => { states[v.versionId] = v.status; });
    const all = Object.values(states);
    // One installed waits for the active one to go, and settles only beside it; alone it is about to activate.
    const waiting = all.includes('installed') && !all.includes('activated');
    if (all.length && !waiting && all.every(s => /^(activated|installed|redundant)$/.test(s)))
      done(all.includes('activated') ? 'activated' : 'none');
  }));
  await cdp.send('ServiceWorker.enable');
  let timer;
  const state = await Promise.race([settled, new Promise((_, fail) => {
    timer = setTimeout(() => fail(new Error('no service worker settles: ' + JSON.stringify(states))), 30000);
  })]);
  clearTimeout(timer);
  await cdp.detach();
  return state;
}

// Each cache of the origin with the pages it holds, and whether each is the build marked `marker`.
async function cachedPages(page, marker) {
  return page.evaluate(async marker => {
    const found = [];
    for (const name of await caches.keys()) {
      const cache = await caches.open(name);
      for (const request of await cache.keys())
        if (/\/(index\.html)?$/.test(request.url))
          found.push([name, request.url, (await (await cache.match(request)).text()).includes(marker)]);
    }
    return found;
  }, marker);
}

// The width and height in a PNG's header.
const pngSize = bytes => bytes.readUInt32BE(16) + 'x' + bytes.readUInt32BE(20);

Object.assign(cases, {
  // chromium finds the site installable, from the manifest it links to and the icons it names, each the size
  // it claims; the site keeps its measures; and opened from a file, index.html plays as glimtra.html does.
  async installable(browser) {
    const sizes = fs.readdirSync(siteDir).map(f => fs.statSync(path.join(siteDir, f)).size);
    const total = sizes.reduce((a, b) => a + b);
    const extra = fs.statSync(path.join(siteDir, 'index.html')).size - fs.statSync(pageFile).size;
    check(total < 400 * 1024 && extra < 5 * 1024, `the site is ${total} bytes, index.html ${extra} over the page`);
    await withSite(siteDir, async site => {
      const page = await open(browser, {url: site.url});
      await expectGolden(page, 'startup');
      check((await worker(page)) === 'activated', 'no service worker took up the site');
      const cdp = await page.createCDPSession();
      const {installabilityErrors} = await cdp.send('Page.getInstallabilityErrors');
      check(installabilityErrors.length === 0, 'not installable: ' + JSON.stringify(installabilityErrors));
      const {url, errors, data} = await cdp.send('Page.getAppManifest');
      check(url === site.url + 'manifest.webmanifest' && errors.length === 0, url + ' ' + JSON.stringify(errors));
      const manifest = JSON.parse(data);
      const background = await page.evaluate(() => getComputedStyle(document.body).backgroundColor);
      check(manifest.name === 'Glimtra' && manifest.lang === 'sv' && /spel/.test(manifest.description) &&
            manifest.start_url === './' && manifest.scope === './' && manifest.display === 'standalone' &&
            background === 'rgb(51, 51, 51)' && manifest.background_color === '#333333' &&
            manifest.theme_color === '#333333', 'the manifest: ' + data);
      const apple = await page.evaluate(() => document.querySelector('link[rel=apple-touch-icon]').href);
      const icons = manifest.icons.map(i => [i.src, i.sizes, i.purpose]).concat([[apple, '180x180', 'apple']]);
      for (const [src, claimed] of icons) {
        const got = await page.evaluate(src => fetch(src).then(r => r.arrayBuffer())
                                               .then(b => Array.from(new Uint8Array(b, 0, 24))), src);
        check(pngSize(Buffer.from(got)) === claimed, `${src} is ${pngSize(Buffer.from(got))}, not ${claimed}`);
      }
      check(icons.map(i => i[1] + ' ' + i[2]).sort().join() === '180x180 apple,192x192 any,512x512 any,512x512 maskable',
            'the icons: ' + JSON.stringify(icons));
      check(page.problems.length === 0, page.problems.join('\n'));
    });
    const page = await open(browser, {url: 'file://' + path.resolve(siteDir, 'index.html')});
    const said = [];
    page.on('console', m => m.type() === 'error' && said.push(m.text()));
    await page.reload();
    await playRight(page);
    check(said.length + page.problems.length === 0, 'from a file: ' + said.concat(page.problems).join('\n'));
  },

  // Once its worker has the site, the page comes back with the server gone and the browser offline: the
  // start-up frame pixel for pixel, and a right round.
  async offline(browser) {
    await withSite(siteDir, async site => {
      const page = await open(browser, {url: site.url});
      check((await worker(page)) === 'activated', 'no service worker took up the site');
      await page.reload();
      check(await page.evaluate(() => !!navigator.serviceWorker.controller), 'the worker does not take the page');
      await site.stop();
      await page.setOfflineMode(true);
      await page.reload();
      await playRight(page);
      check(page.problems.length === 0, page.problems.join('\n'));
    });
  },

  // A second build with a changed page, put at the same address, is taken within three visits, whole: no
  // cache keeps the first build's page, and offline the second build plays.
  async update(browser) {
    const marker = '<meta name="build" content="second">';
    const changed = path.join(outDir, 'changed.html'), second = path.join(outDir, 'second-site');
    fs.writeFileSync(changed, fs.readFileSync(pageFile, 'utf8').replace('</title>', '</title>' + marker));
    execFileSync('python3', [path.join(sourceDir, 'src/web/make_site.py'), '--page', changed, '--out', second]);
    await withSite(siteDir, async site => {
      let page = await open(browser, {url: site.url});
      check((await worker(page)) === 'activated', 'no service worker took up the first build');
      await page.close();
      site.dir = second;
      let visits = 0, taken = false;
      while (!taken && visits++ < 3) {
        site.asked.length = 0;
        page = await open(browser, {url: site.url});
        await expectGolden(page, 'startup');
        taken = (await page.content()).includes(marker);
        // A visit lasts until chromium has asked whether the worker changed, a moment after the page loads,
        // and a new worker has installed, to take over once the page is closed.
        for (const end = Date.now() + 20000; !site.asked.includes('sw.js') && Date.now() < end;) await frames(page, 2);
        await worker(page);
        const got = await page.evaluate(() => fetch('index.html').then(r => r.text()));
        check(got.includes(marker) === taken, 'a page of one build gets the other\'s index.html');
        await page.close();
      }
      check(taken, 'the second build is not taken within three visits');
      page = await open(browser, {url: site.url});
      const pages = await cachedPages(page, marker);
      check(pages.length > 0 && pages.every(p => p[2]), 'the caches hold: ' + JSON.stringify(pages));
      await site.stop();
      await page.setOfflineMode(true);
      await page.reload();
      check((await page.content()).includes(marker), 'offline, the first build comes back');
      await playRight(page);
    });
  },

  // A worker that cannot install, for a file missing on the host or one of another build, leaves the page
  // playing online as before, and no cache behind.
  async failedInstall(browser) {
    for (const replace of [{'maskable-512.png': null}, {'manifest.webmanifest': Buffer.from('{"name": "Glimtra"}')}]) {
      await withSite(siteDir, async site => {
        site.replace = replace;
        const page = await open(browser, {url: site.url});
        await expectGolden(page, 'startup');
        check((await worker(page)) === 'none', 'a worker installed without ' + Object.keys(replace));
        await page.reload();
        await playRight(page);
        const left = await page.evaluate(() => caches.keys());
        check(left.length === 0 && page.problems.length === 0, 'left: ' + left + page.problems.join('\n'));
        await page.close();
      });
    }
  },

  // Two builds of the same tree make the same site: a copy of the tree in another folder, built anew.
  async sameSite() {
    const copy = path.join(outDir, 'another', 'glimtra');
    fs.rmSync(path.join(outDir, 'another'), {recursive: true, force: true});
    // The tree as it is, changes not yet committed included, without version control and build folders.
    for (const f of fs.readdirSync(sourceDir).filter(f => !/^(\.git|build.*)$/.test(f)))
      fs.cpSync(path.join(sourceDir, f), path.join(copy, f), {recursive: true});
    const env = {...process.env, NODE_PATH: '/usr/share/nodejs', TZ: 'Pacific/Auckland'};
    execFileSync('emcmake', ['cmake', '-S', copy, '-B', path.join(copy, 'build-web'), '-DCMAKE_BUILD_TYPE=Release'], {env, stdio: 'ignore'});
    execFileSync('cmake', ['--build', path.join(copy, 'build-web'), '--target', 'site'], {env, stdio: 'ignore'});
    for (const f of fs.readdirSync(siteDir))
      check(fs.readFileSync(path.join(siteDir, f)).equals(fs.readFileSync(path.join(copy, 'build-web/site', f))),
            `${f} differs in a second build (${copy})`);
    fs.rmSync(path.join(outDir, 'another'), {recursive: true, force: true});
  },
});

// ---- Run ----

function chromium() {
  for (const candidate of ['/usr/lib/chromium/chromium', '/usr/bin/chromium'])
    if (fs.existsSync(candidate)) return candidate;
  throw new Error('no chromium (Debian: apt install chromium)');
}

async function main() {
  if (!cases[testCase]) throw new Error('no case ' + testCase + '; one of ' + Object.keys(cases).join(' '));
  fs.mkdirSync(outDir, {recursive: true});
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'glimtra-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: chromium(),
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--window-size=800,600'],
    defaultViewport: {width: 800, height: 600},
    // A page whose game never gives the thread back fails its next call here, well within the test's limit.
    protocolTimeout: 20000,
  });
  try {
    await cases[testCase](browser);
  } finally {
    await browser.close();
    fs.rmSync(profile, {recursive: true, force: true});
  }
}

main().then(() => console.log(`web ${testCase}: passed`), e => {
  console.error(`web ${testCase}: ${e.stack || e}`);
  process.exitCode = 1;
});
