// WebKitGTK for the browser tests: WebKitWebDriver and its MiniBrowser on an Xvfb of their own, driven over W3C
// WebDriver with plain HTTP requests, behind the part of puppeteer's Browser and Page that web_test.js uses, so
// that its cases stay one copy for the three engines.
'use strict';
const {spawn} = require('child_process');
const crypto = require('crypto');
const fs = require('fs');
const http = require('http');
const path = require('path');

function request(port, method, url, body) {
  return new Promise((done, fail) => {
    const data = body === undefined ? (method === 'POST' ? '{}' : '') : JSON.stringify(body);
    const req = http.request({host: '127.0.0.1', port, method, path: url,
                              headers: {'Content-Type': 'application/json', 'Content-Length': Buffer.byteLength(data)}},
                             res => {
                               const chunks = [];
                               res.on('data', c => chunks.push(c));
                               res.on('end', () => done({status: res.statusCode, body: Buffer.concat(chunks)}));
                             });
    req.on('error', fail);
    req.end(data);
  });
}

function freePort() {
  const server = http.createServer();
  return new Promise(done => server.listen(0, '127.0.0.1', () => {
    const {port} = server.address();
    server.close(() => done(port));
  }));
}

// Scripts run before the page's own, as puppeteer's evaluateOnNewDocument runs them; WebDriver has no such
// command, so every page comes through a server on 127.0.0.1 that writes them into its head: one server for
// files, one for each web server, each keeping the paths (a service worker's scope stays what it is). The
// site's service worker checks each file against its SHA-256, so the hash of an HTML file it names is the
// hash of the file as served, as make_site.py would write it for these bytes.
class Pages {
  constructor() {
    this.scripts = [];
    this.offline = false;
    this.servers = new Map();
  }

  inject(html) {
    const tags = this.scripts.map(s => `<script>${s}</script>`).join('');
    const head = /<head[^>]*>/i.exec(html);
    return head ? html.replace(head[0], head[0] + tags) : tags + html;
  }

  async fetch(origin, url) {
    if (origin === 'file:') {
      const file = decodeURIComponent(new URL(url, 'file://').pathname);
      return fs.existsSync(file) && fs.statSync(file).isFile()
        ? {status: 200, headers: {'content-type': /\.html$/.test(file) ? 'text/html' : 'application/octet-stream',
                                  'cache-control': 'no-store'}, body: fs.readFileSync(file)}
        : {status: 404, headers: {}, body: Buffer.alloc(0)};
    }
    const res = await new Promise((done, fail) => http.get(origin + url, done).on('error', fail));
    const chunks = [];
    for await (const c of res) chunks.push(c);
    return {status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks)};
  }

  async serve(origin, req, res) {
    try {
      const got = await this.fetch(origin, req.url), type = got.headers['content-type'] || '';
      let body = got.body;
      if (got.status === 200 && type.startsWith('text/html')) body = Buffer.from(this.inject(body.toString()));
      if (got.status === 200 && /javascript/.test(type)) {
        let text = body.toString();
        for (const [entry, name] of text.matchAll(/"([\w.-]+\.html)": ?"sha256-[\w+/=]+"/g)) {
          const page = await this.fetch(origin, new URL(name, 'http://x' + req.url).pathname);
          const hash = crypto.createHash('sha256').update(this.inject(page.body.toString())).digest('base64');
          text = text.replace(entry, `"${name}": "sha256-${hash}"`);
        }
        body = Buffer.from(text);
      }
      const headers = {...got.headers, 'content-length': body.length};
      delete headers['transfer-encoding'];
      res.writeHead(got.status, headers).end(body);
    } catch (e) {
      res.writeHead(502).end(String(e));
    }
  }

  // The address of `url` through its server, started on first use.
  async address(url) {
    const u = new URL(url), origin = u.protocol === 'file:' ? 'file:' : u.origin;
    if (!this.servers.has(origin)) {
      // Offline, every connection fails, kept-alive ones too, as a browser without a network would see it.
      const server = http.createServer((req, res) => (this.offline ? req.socket.destroy() : this.serve(origin, req, res)));
      server.on('connection', s => this.offline && s.destroy());
      await new Promise(done => server.listen(0, '127.0.0.1', done));
      this.servers.set(origin, server);
    }
    return `http://127.0.0.1:${this.servers.get(origin).address().port}${u.pathname}${u.search}`;
  }

  close() {
    for (const server of this.servers.values()) {
      server.closeAllConnections();
      server.close();
    }
  }
}

const kKeys = {Escape: '\uE00C', Enter: '\uE007'};

class Page {
  constructor(browser, handle) {
    this.browser = browser;
    this.handle = handle;
    this.scripts = [];
    this.view = null;
    this.offline = false;
    // No events in WebDriver: page errors show in what the page then draws or says.
    this.on = () => {};
    const pointer = actions => this.actions([{type: 'pointer', id: 'mouse', parameters: {pointerType: 'mouse'}, actions}]);
    this.mouse = {
      move: (x, y) => pointer([{type: 'pointerMove', x: Math.round(x), y: Math.round(y), origin: 'viewport'}]),
      down: () => pointer([{type: 'pointerDown', button: 0}]),
      up: () => pointer([{type: 'pointerUp', button: 0}]),
    };
    this.keyboard = {
      press: key => this.actions([{type: 'key', id: 'keys', actions: [{type: 'keyDown', value: kKeys[key]},
                                                                      {type: 'keyUp', value: kKeys[key]}]}]),
    };
  }

  command(method, url, body) {
    return this.browser.command(method, url, body, this);
  }

  // The scripts go with every page loaded from now on, whichever window or worker asks: a service worker
  // checks for an update in the background, and the hash its sw.js carries must not depend on when.
  navigate(method, url, body) {
    return this.browser.command(method, url, body, this, () => { this.browser.pages.scripts = [...this.scripts]; });
  }

  actions(actions) {
    return this.command('POST', '/actions', {actions});
  }

  // Runs `fn` (which may return a promise) in the page, with arguments and result as JSON.
  async evaluate(fn, ...args) {
    const script = `const done = arguments[arguments.length - 1];
      Promise.resolve().then(() => (${fn})(...${JSON.stringify(args)}))
        .then(value => done({value}), e => done({error: String(e)}));`;
    const {value, error} = await this.command('POST', '/execute/async', {script, args: []});
    if (error) throw new Error('in the page: ' + error);
    return value;
  }

  async evaluateOnNewDocument(fn, ...args) {
    this.scripts.push(`(${fn})(...${JSON.stringify(args)});`);
  }

  async goto(url) {
    await this.navigate('POST', '/url', {url: await this.browser.pages.address(url)});
  }

  async reload() {
    await this.navigate('POST', '/refresh');
  }

  // Resolves once another document than the present one has loaded: the present one is marked first, in the
  // order of the calls (what comes after this call runs after the mark).
  async waitForNavigation() {
    await this.evaluate(() => { window.glimtraLeft = true; });
    await this.until(() => !window.glimtraLeft && document.readyState === 'complete', 'no new page loads');
  }

  async waitForSelector(selector, {timeout = 15000} = {}) {
    await this.until(s => !!document.querySelector(s), `nothing shows ${selector}`, timeout, selector);
  }

  async until(test, what, timeout = 15000, ...args) {
    for (const end = Date.now() + timeout; !(await this.evaluate(test, ...args).catch(() => false));) {
      if (Date.now() > end) throw new Error(what);
      await new Promise(done => setTimeout(done, 50));
    }
  }

  content() {
    return this.evaluate(() => document.documentElement.outerHTML);
  }

  // The window made so that its page is `width` x `height` CSS pixels. WebKitGTK's driver has only the
  // display's density.
  async setViewport({width, height, deviceScaleFactor = 1}) {
    if (deviceScaleFactor !== 1) throw new Error('WebKitGTK\'s driver cannot emulate a display density');
    for (const end = Date.now() + 15000; ;) {
      const inner = await this.evaluate(() => [innerWidth, innerHeight]);
      if (inner[0] === width && inner[1] === height) break;
      if (Date.now() > end) throw new Error(`MiniBrowser's page stays ${inner.join('x')}, not ${width}x${height}`);
      const rect = await this.command('GET', '/window/rect');
      await this.command('POST', '/window/rect', {width: rect.width + width - inner[0],
                                                  height: rect.height + height - inner[1]});
      // The page learns its new size a moment later, on a loaded machine several.
      await this.until((w, h) => innerWidth === w && innerHeight === h, '', 3000, width, height).catch(() => {});
    }
    this.view = {width, height, deviceScaleFactor: 1};
  }

  viewport() {
    return this.view;
  }

  async setOfflineMode(offline) {
    this.offline = this.browser.pages.offline = offline;
  }

  async screenshot() {
    return this.command('GET', '/screenshot');
  }

  // The session's first window stays, in front again: a session without windows ends.
  async close() {
    const left = await this.command('DELETE', '/window');
    await this.browser.command('POST', '/window', {handle: left[0]});
    this.browser.current = null;
  }
}

class Browser {
  constructor(port, session, stop) {
    this.port = port;
    this.session = session;
    this.stop = stop;
    this.pages = new Pages();
    this.current = null;
    // One command at a time, in the order of the calls: the session has one window in front.
    this.queue = Promise.resolve();
  }

  command(method, url, body, page, before = () => {}) {
    const run = async () => {
      if (page && this.current !== page) {
        await this.send('POST', '/window', {handle: page.handle});
        this.current = page;
      }
      if (page) this.pages.offline = page.offline;
      before();
      return this.send(method, url, body);
    };
    const result = this.queue.then(run);
    this.queue = result.catch(() => {});
    return result;
  }

  async send(method, url, body) {
    const {status, body: got} = await request(this.port, method, `/session/${this.session}${url}`, body);
    const reply = JSON.parse(got.toString() || '{}');
    if (status !== 200) throw new Error(`WebKitWebDriver ${method} ${url}: ${reply.value?.error} ${reply.value?.message}`);
    return reply.value;
  }

  async newPage() {
    const {handle} = await this.command('POST', '/window/new', {type: 'window'});
    const page = new Page(this, handle);
    await page.setViewport({width: 800, height: 600});
    return page;
  }

  async close() {
    this.pages.close();
    await request(this.port, 'DELETE', `/session/${this.session}`).catch(() => {});
    await this.stop();
  }
}

// Xvfb on a display it picks itself, WebKitWebDriver on a free port of 127.0.0.1, and a session of MiniBrowser
// in it; everything started is stopped by the browser's close, here if the start fails, or when the test is
// ended from outside (CTest's time limit). `timeout` bounds each page load and script; the start may take
// longer on a loaded machine.
async function launch({driver = 'WebKitWebDriver', timeout = 30000} = {}) {
  const children = [];
  const ended = () => {
    children.forEach(child => child.kill());
    process.exit(1);
  };
  process.once('SIGTERM', ended).once('SIGINT', ended);
  const stop = async () => {
    process.removeListener('SIGTERM', ended).removeListener('SIGINT', ended);
    for (const child of children.reverse()) {
      if (child.exitCode !== null || child.signalCode !== null) continue;
      const gone = new Promise(done => child.once('exit', done));
      child.kill();
      await gone;
    }
  };
  try {
    // Xvfb tries displays until one is free, and says so of each taken one: heard only if it fails.
    const xvfb = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1920x1200x24', '-nolisten', 'tcp'],
                       {stdio: ['ignore', 'ignore', 'pipe', 'pipe']});
    children.push(xvfb);
    let complaints = '';
    xvfb.stderr.on('data', d => { complaints += d; });
    const display = await new Promise((done, fail) => {
      let said = '';
      xvfb.stdio[3].on('data', d => { said += d; if (said.includes('\n')) done(said.trim()); });
      xvfb.once('exit', () => fail(new Error('Xvfb did not start: ' + complaints)));
    });
    const port = await freePort();
    // Skia draws on the CPU: through its GPU path (Mesa's software GL, under Xvfb) WebKitGTK 2.50's web
    // process now and then crashes compiling the shader that reads a canvas back ("integer is too large:
    // 255"), which every golden frame does.
    const env = {...process.env, DISPLAY: ':' + display, WEBKIT_SKIA_ENABLE_CPU_RENDERING: '1'};
    delete env.WAYLAND_DISPLAY;
    const wd = spawn(driver, ['--port=' + port], {env, stdio: ['ignore', 'ignore', 'inherit']});
    children.push(wd);
    for (const end = Date.now() + 60000; ;) {
      const ready = await request(port, 'GET', '/status').then(r => JSON.parse(r.body).value.ready, () => false);
      if (ready) break;
      if (Date.now() > end || wd.exitCode !== null) throw new Error(`${driver} did not start`);
      await new Promise(done => setTimeout(done, 100));
    }
    const {status, body} = await request(port, 'POST', '/session', {capabilities: {alwaysMatch: {
      'webkitgtk:browserOptions': {args: ['--automation']}}}});
    const reply = JSON.parse(body);
    if (status !== 200) throw new Error('no WebKit session: ' + JSON.stringify(reply.value));
    const browser = new Browser(port, reply.value.sessionId, stop);
    await browser.send('POST', '/timeouts', {script: timeout, pageLoad: timeout});
    return browser;
  } catch (e) {
    await stop();
    throw e;
  }
}

module.exports = {launch};
