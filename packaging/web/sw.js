// Keeps one version of the page whole, in a cache of its own, and starts it without the network. A newer version is
// fetched whole in the background into a cache of its own and serves the next start; a page already running keeps
// the files of its own version, which stay in theirs (every file but the page carries its content's hash in its
// name), and is never reloaded or changed, so no turn is interrupted. web_site.py fills in the version and files.
const version = "@VERSION@";
const files = @FILES@;
const prefix = `qelo ${self.registration.scope} `;
const cacheName = prefix + version;

// Waiting for the pages of the older version to close would keep a single tab on it for good (a reload keeps its
// tab); nothing the older pages need goes away, so the new version serves from the next start on.
self.addEventListener('install', event => event.waitUntil((async () => {
  const cache = await caches.open(cacheName);
  try {
    // The files named by their content come from the browser's cache if the page fetched them already; the others
    // are asked of the host anew, so that an older page in the browser's cache is never kept as this version's.
    const fresh = file => file.startsWith('assets/') ? 'default' : 'no-cache';
    await cache.addAll(files.map(file => new Request(file, { cache: fresh(file) })));
    // A host that moved on to yet another version meanwhile gave a page of that one: keep nothing then.
    const page = await (await cache.match('index.html')).text();
    if (!files.filter(file => file.startsWith('assets/') && !file.endsWith('.png')).every(file => page.includes(file)))
      throw new Error('the host serves another version');
  } catch (error) {
    await caches.delete(cacheName);
    throw error;
  }
  self.skipWaiting();
})()));

// The version before this one may still run in a tab and is kept; older ones go (caches.keys() is oldest first).
self.addEventListener('activate', event => event.waitUntil((async () => {
  const older = (await caches.keys()).filter(name => name.startsWith(prefix) && name !== cacheName);
  await Promise.all(older.slice(0, -1).map(name => caches.delete(name)));
})()));

self.addEventListener('fetch', event => {
  if (event.request.method !== 'GET')
    return;
  event.respondWith((async () => {
    const url = event.request.url.split(/[?#]/)[0];
    const page = url === self.registration.scope ? 'index.html' : url;
    const kept = await (await caches.open(cacheName)).match(page) ||
      // A hashed name is the same file in any version's cache: an older page still running finds its own there.
      (url.includes('/assets/') && await caches.match(url));
    return kept || fetch(event.request);
  })());
});
