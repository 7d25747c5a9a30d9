// SPDX-License-Identifier: GPL-3.0-or-later
// The page offline: on install every file of the page goes into a cache named after its folder
// and this version of the site, and the page's requests are answered from there, from the
// network only for what it lacks. tools/build-web.sh writes the version and the files.
const VERSION = 'development';
const FILES = ['./'];
const PREFIX = `zekora ${self.registration.scope} `;
const CACHE = PREFIX + VERSION;

self.addEventListener('install', (event) => {
  // Revalidated, so that no file of an earlier version comes from the HTTP cache.
  const requests = FILES.map((file) => new Request(file, {cache: 'no-cache'}));
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(requests))
      .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
      .then((keys) => Promise.all(keys.filter((key) => key.startsWith(PREFIX) && key !== CACHE)
                                      .map((key) => caches.delete(key))))
      .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  const {request} = event;
  if (request.method !== 'GET' || !request.url.startsWith(self.registration.scope)) return;
  event.respondWith(caches.open(CACHE)
      .then((cache) => cache.match(request, {ignoreSearch: true}))
      .then((cached) => cached ?? fetch(request)));
});
