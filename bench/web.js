// Measures the browser page next to a floor page in the same chromium and prints the rows of
// docs/benchmarks.md on the browser page: its size, its cost at rest at the title screen and in a round, its
// first frame and what that first frame is made of.
// Usage: NODE_PATH=build-web/driver/node_modules node bench/web.js build-web/glimtra.html [RUNS]
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const puppeteer = require('puppeteer-core');

const pageFile = path.resolve(process.argv[2] || 'build-web/glimtra.html');
const runs = Number(process.argv[3] || 5);
const kSettleMs = 2000, kMeasureMs = 10000;
const ticksPerSecond = 100;  // USER_HZ of /proc/PID/stat on Linux

// The least a page that shows the game's window can do: each animation frame, clear the canvas and draw
// one full-window picture (the game's background), at the same size and scale as the game's page. With
// `still`, it draws that picture once and then only asks for every animation frame: what a page paced by the
// display costs when nothing on it changes, below which no such page at rest can go.
function floorPage(dir, still = false) {
  const skin = fs.readFileSync(path.join(__dirname, '..', 'pix', 'skin3.bmp')).toString('base64');
  const html = fs.readFileSync(pageFile, 'utf8');
  const style = /<style>[\s\S]*?<\/style>/.exec(html)[0];
  const file = path.join(dir, still ? 'still.html' : 'floor.html');
  fs.writeFileSync(file, `<!DOCTYPE html><html><head><meta charset="utf-8">${style}</head><body>
<canvas id="canvas" width="350" height="300"></canvas><script>
const canvas = document.getElementById('canvas'), ctx = canvas.getContext('2d');
const ratio = devicePixelRatio || 1;
const factor = Math.max(1, Math.floor(Math.min(innerWidth * ratio / 350, innerHeight * ratio / 300)));
document.documentElement.style.setProperty('--canvas-width', 350 * factor / ratio + 'px');
document.documentElement.style.setProperty('--canvas-height', 300 * factor / ratio + 'px');
const skin = new Image();
skin.src = 'data:image/bmp;base64,${skin}';
skin.decode().then(() => {
  let drawn = false;
  const frame = () => { if (!drawn) { ctx.fillStyle = '#aaa'; ctx.fillRect(0, 0, 350, 300); ctx.drawImage(skin, 0, 0); }
                        drawn = ${still}; requestAnimationFrame(frame); };
  requestAnimationFrame(frame);
});
</script></body></html>`);
  return file;
}

// User and system time, in seconds, of every process under `root` (chromium's renderer, GPU and utility
// processes are its children).
function treeSeconds(root) {
  const parent = new Map(), times = new Map();
  for (const entry of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    let stat;
    try {
      stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
    } catch (e) {
      continue;
    }
    const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    parent.set(Number(entry), Number(fields[1]));
    times.set(Number(entry), (Number(fields[11]) + Number(fields[12])) / ticksPerSecond);
  }
  let total = 0;
  for (const [pid, seconds] of times) {
    for (let p = pid; p > 1; p = parent.get(p) || 0) {
      if (p === root) {
        total += seconds;
        break;
      }
    }
  }
  return total;
}

const median = values => {
  const v = [...values].sort((a, b) => a - b);
  return v.length % 2 ? v[(v.length - 1) / 2] : (v[v.length / 2 - 1] + v[v.length / 2]) / 2;
};

// CPU share of all the browser's processes over kMeasureMs from now, in %.
async function cpuShare(browser) {
  const pid = browser.process().pid;
  const before = treeSeconds(pid), start = process.hrtime.bigint();
  await new Promise(done => setTimeout(done, kMeasureMs));
  const used = treeSeconds(pid) - before, elapsed = Number(process.hrtime.bigint() - start) / 1e9;
  return 100 * used / elapsed;
}

// The moments of the game page's start, in ms from navigation, seen from outside the page: its script run
// (Module set), the game's script run (its preRun), the pictures unpacked (each handed to the file system),
// the runtime ready with every picture decoded and the WebAssembly instantiated (main starts), and the game's
// first flip.
function watchStart() {
  const at = window.glimtraStart = {};
  let module;
  Object.defineProperty(window, 'Module', {configurable: true, get: () => module, set: m => {
    module = m;
    at.pageScript = performance.now();
    const preRun = m.preRun[0];
    m.preRun = [() => { at.gameScript = performance.now(); preRun(); }];
    m.onRuntimeInitialized = () => { at.main = performance.now(); };
  }});
  const instantiate = WebAssembly.instantiate;
  WebAssembly.instantiate = function () {
    at.compileFrom = performance.now();
    return instantiate.apply(this, arguments).then(r => { at.compiled = performance.now(); return r; });
  };
  const watch = () => {
    if (module && module.FS_createPreloadedFile && !at.unpacked) {
      const preload = module.FS_createPreloadedFile;
      module.FS_createPreloadedFile = function () {
        at.unpacked = at.unpacked || performance.now();
        return preload.apply(this, arguments);
      };
    }
    if (module && module.gameFrames >= 1 && !at.flip) at.flip = performance.now();
    if (!at.flip) setTimeout(watch, 0);
  };
  setTimeout(watch, 0);
}

// One run: a fresh chromium opens the page; the time from navigation to the first drawn frame, then the
// CPU share of all its processes over kMeasureMs at rest; for the game's page then also in a round, from a
// press of GO on (its two bars grow for 12 s).
async function measure(file, game) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'glimtra-bench-'));
  const browser = await puppeteer.launch({
    executablePath: fs.existsSync('/usr/lib/chromium/chromium') ? '/usr/lib/chromium/chromium' : '/usr/bin/chromium',
    headless: true, userDataDir: profile, defaultViewport: {width: 800, height: 600},
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--window-size=800,600'],
  });
  try {
    const page = await browser.newPage();
    // Watches for the first frame with something drawn; it stops once it has seen it.
    await page.evaluateOnNewDocument(() => {
      const look = () => {
        const canvas = document.getElementById('canvas');
        const drawn = canvas && canvas.getContext('2d').getImageData(175, 150, 1, 1).data[3] !== 0;
        if (drawn) window.firstFrameMs = performance.now();
        else requestAnimationFrame(look);
      };
      requestAnimationFrame(look);
    });
    if (game) await page.evaluateOnNewDocument(watchStart);
    await page.goto('file://' + file);
    await page.waitForFunction(() => window.firstFrameMs !== undefined, {timeout: 20000});
    const firstFrame = await page.evaluate(() => window.firstFrameMs);
    const start = game ? await page.evaluate(() => window.glimtraStart) : {};
    const nav = await page.evaluate(() => {
      const n = performance.getEntriesByType('navigation')[0];
      return {loaded: n.responseEnd, parsed: n.domInteractive};
    });
    await new Promise(done => setTimeout(done, kSettleMs));
    const cpu = await cpuShare(browser);
    if (!game) return {firstFrame, cpu};
    const go = await page.evaluate(() => {
      const c = document.getElementById('canvas').getBoundingClientRect();
      return {x: c.left + 120.5 * c.width / 350, y: c.top + 101.5 * c.height / 300};
    });
    await page.mouse.click(go.x, go.y, {delay: 100});
    const round = await cpuShare(browser);
    return {firstFrame, cpu, round, start: {...nav, ...start}};
  } finally {
    await browser.close();
    fs.rmSync(profile, {recursive: true, force: true});
  }
}

async function main() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'glimtra-floor-'));
  try {
    const floor = floorPage(dir), still = floorPage(dir, true);
    const game = [], least = [], frames = [];
    // The two pages take turns, so that whatever else the machine does weighs on both alike.
    for (let run = 1; run <= runs; ++run) {
      console.error(`In chromium, run ${run} of ${runs} (${kMeasureMs / 1000} s each)...`);
      game.push(await measure(pageFile, true));
      least.push(await measure(floor, false));
      frames.push(await measure(still, false));
    }
    const bytes = fs.statSync(pageFile).size, gzipped = zlib.gzipSync(fs.readFileSync(pageFile), {level: 9}).length;
    const g = median(game.map(r => r.cpu)), f = median(least.map(r => r.cpu)), gr = median(game.map(r => r.round));
    const s = median(frames.map(r => r.cpu));
    const gFirst = median(game.map(r => r.firstFrame)), fFirst = median(least.map(r => r.firstFrame));
    const ratio = g / f, roundRatio = gr / f;
    const spread = values => `${Math.min(...values).toFixed(1)}–${Math.max(...values).toFixed(1)}`;
    const spreadMs = values => `${Math.min(...values).toFixed(0)}–${Math.max(...values).toFixed(0)}`;
    // The first frame's parts, each the median over the runs of the time from one moment to the next.
    const moments = [['loaded', 'the page file read'], ['pageScript', 'the page\'s script starts'],
                     ['compileFrom', 'the game\'s script run, WebAssembly asked for'],
                     ['parsed', 'the page parsed'], ['compiled', 'the WebAssembly compiled'],
                     ['gameScript', 'emscripten\'s runtime starts (preRun)'],
                     ['unpacked', 'the pictures unpacked'], ['main', 'the pictures decoded, main starts'],
                     ['flip', 'the game\'s first flip']]
      .sort((a, b) => median(game.map(r => r.start[a[0]])) - median(game.map(r => r.start[b[0]])));
    // Each part as the difference of the medians of its ends, so that the parts add up to the last.
    const at = name => median(game.map(r => r.start[name]));
    const parts = moments.map(([name, what], i) => {
      const d = at(name) - (i ? at(moments[i - 1][0]) : 0);
      return `  ${what.padEnd(46)} +${d.toFixed(0).padStart(4)} ms  (at ${at(name).toFixed(0)})`;
    });
    console.log(`
Measured ${new Date().toISOString().slice(0, 10)} in ${(await chromiumVersion())}, headless, an 800x600 window

| Figure | Page | Floor | Ratio | Target | Met |
|---|---:|---:|---:|---|---|
| glimtra.html, KB (gzip -9 KB) | ${(bytes / 1024).toFixed(0)} (${(gzipped / 1024).toFixed(0)}) | | | < 300 | ${bytes < 300 * 1024 ? 'yes' : 'no'} |
| CPU share of all chromium processes at rest at the title screen over ${kMeasureMs / 1000} s (%, median of ${runs}; runs ${spread(game.map(r => r.cpu))} against ${spread(least.map(r => r.cpu))}) | ${g.toFixed(1)} | ${f.toFixed(1)} | ${ratio.toFixed(2)} | ≤ 0.5 | ${ratio <= 0.5 ? 'yes' : 'no'} |
| The same in a round, its bars growing, from a press of GO (%, median of ${runs}; runs ${spread(game.map(r => r.round))}) | ${gr.toFixed(1)} | ${f.toFixed(1)} | ${roundRatio.toFixed(2)} | ≤ 1.1 | ${roundRatio <= 1.1 ? 'yes' : 'no'} |
| For comparison: a page that asks for every animation frame and draws nothing after its first (%, median of ${runs}; runs ${spread(frames.map(r => r.cpu))}) | ${s.toFixed(1)} | ${f.toFixed(1)} | ${(s / f).toFixed(2)} | | |
| Navigation to the first frame drawn (ms, median of ${runs}; runs ${spreadMs(game.map(r => r.firstFrame))} against ${spreadMs(least.map(r => r.firstFrame))}) | ${gFirst.toFixed(0)} | ${fFirst.toFixed(0)} | ${(gFirst / fFirst).toFixed(2)} | | |

The page's first frame, from navigation (medians of ${runs}):
${parts.join('\n')}
  ${'the first frame seen drawn'.padEnd(46)} +${(gFirst - at('flip')).toFixed(0).padStart(4)} ms  (at ${gFirst.toFixed(0)})

Runs, in turn (CPU % at rest, in a round; first frame ms):
${game.map((r, i) => `  page  ${r.cpu.toFixed(1)} ${r.round.toFixed(1)} ${r.firstFrame.toFixed(0)}\n  floor ${least[i].cpu.toFixed(1)} ${least[i].firstFrame.toFixed(0)}\n  still ${frames[i].cpu.toFixed(1)}`).join('\n')}

Floor: a page of the same size and scale that clears its canvas and draws the game's background each frame;
still: the same page drawing it once, then only asking for each animation frame.`);
  } finally {
    fs.rmSync(dir, {recursive: true, force: true});
  }
}

async function chromiumVersion() {
  const browser = await puppeteer.launch({
    executablePath: fs.existsSync('/usr/lib/chromium/chromium') ? '/usr/lib/chromium/chromium' : '/usr/bin/chromium',
    headless: true, args: ['--no-sandbox', '--disable-gpu'],
  });
  try {
    return (await browser.version()).replace('HeadlessChrome/', 'chromium ');
  } finally {
    await browser.close();
  }
}

main().catch(e => {
  console.error('bench/web.js: ' + (e.stack || e));
  process.exitCode = 1;
});
