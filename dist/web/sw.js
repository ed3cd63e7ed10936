// The page's service worker: it keeps every file of the page, so that a
// page opened once starts and plays without the network. Online, every file
// still comes from the server first (a new release's files are taken, and
// kept, the next time the page is opened), the kept one only when the
// server cannot be reached. The build writes in the release and the page's
// files; each release keeps its files under a name of its own, and the
// older releases' are let go once it takes over.
"use strict";

var RELEASE = "@VERSION@";
var FILES = @FILES@;
var KEPT = "torvek-" + RELEASE;

self.addEventListener("install", function (event) {
  event.waitUntil(caches.open(KEPT).then(function (cache) {
    return cache.addAll(["./"].concat(FILES).map(function (file) {
      return new Request(file, {cache: "reload"});
    }));
  }).then(function () {
    return self.skipWaiting();
  }));
});

self.addEventListener("activate", function (event) {
  event.waitUntil(caches.keys().then(function (names) {
    return Promise.all(names.filter(function (name) {
      return name.indexOf("torvek-") === 0 && name !== KEPT;
    }).map(function (name) {
      return caches.delete(name);
    }));
  }).then(function () {
    return self.clients.claim();
  }));
});

// The page itself ("./" with or without its options) or one of its files.
function keptAs(request) {
  if (request.method !== "GET")
    return null;
  var url = new URL(request.url);
  var base = new URL("./", self.registration.scope);
  if (url.origin !== base.origin || url.pathname.indexOf(base.pathname) !== 0)
    return null;
  var name = url.pathname.substring(base.pathname.length);
  if (name === "" || name === "index.html")
    return "./";
  return FILES.indexOf(name) >= 0 ? name : null;
}

self.addEventListener("fetch", function (event) {
  var name = keptAs(event.request);
  if (!name)
    return;
  event.respondWith(caches.open(KEPT).then(function (cache) {
    return fetch(event.request).then(function (response) {
      if (response.ok)
        cache.put(name, response.clone());
      return response;
    }, function () {
      return cache.match(name).then(function (kept) {
        return kept || Response.error();
      });
    });
  }));
});
