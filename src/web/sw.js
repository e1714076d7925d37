// Glimtra's service worker: keeps every file of one build of the site in a cache of that build alone, so that
// the game starts at once and offline, and a new build (a new worker, since this file names it) is taken
// whole. make_site.py fills in the build and each file's SHA-256.
'use strict';
const kFiles = @FILES@;
const kScope = self.registration.scope;
// Per folder as well as per build: another copy of the game elsewhere on the same host keeps its own caches.
const kPrefix = 'glimtra ' + kScope + ' ';
const kCache = kPrefix + '@BUILD@';

// Past the HTTP cache, so that no stale copy gets in, and only with this build's bytes, so that a host caught
// between two builds fails the install (the page plays online, and a later visit tries again) instead of
// mixing them. All or nothing: a file that fails leaves no cache behind.
self.addEventListener('install', event => {
  const requests = Object.keys(kFiles).map(name => new Request(name, {cache: 'reload', integrity: kFiles[name]}));
  event.waitUntil(caches.open(kCache).then(cache => cache.addAll(requests)).catch(error =>
    caches.delete(kCache).then(() => { throw error; })));
});

// It takes over once no page of the build before is open, or at once when a page of that build asks for it (the
// player took the page's offer of the new version between rounds; every page of the build before then loads
// this one, see app_head.html), so that no page of one build goes on with files of another; the older caches
// then go.
self.addEventListener('message', event => {
  if (event.data === 'glimtra: take over') self.skipWaiting();
});

self.addEventListener('activate', event => {
  event.waitUntil(caches.keys().then(names => Promise.all(
    names.filter(name => name.startsWith(kPrefix) && name !== kCache).map(name => caches.delete(name)))));
});

self.addEventListener('fetch', event => {
  const url = new URL(event.request.url);
  url.search = url.hash = '';
  const name = url.href === kScope ? 'index.html' : url.href.slice(kScope.length);
  if (event.request.method !== 'GET' || !url.href.startsWith(kScope) || !(name in kFiles)) return;
  // From the cache first; the network only where the browser has evicted it.
  event.respondWith(caches.open(kCache).then(cache => cache.match(name)).then(hit => hit || fetch(event.request)));
});
