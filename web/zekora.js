// SPDX-License-Identifier: GPL-3.0-or-later
// Zekora, the chess engine, for Web Workers and Node: loads the engine built for its host.
// Under Node it speaks UCI on standard input and output ("node zekora.js"); in a page,
// new Worker('zekora.js') takes one command per message and posts each line it writes.
// Both builds search the same trees. The blocking one waits for input in a thread of its own,
// which Node and a cross-origin isolated page (with SharedArrayBuffer) can give it; elsewhere
// the suspending one returns to the Worker's event loop to wait, which costs some speed.
if (typeof process == 'object' && typeof process.versions == 'object' &&
    typeof process.versions.node == 'string') {
  require('./zekora-blocking.js');
} else if (self.name == 'zekora-engine' ||
           (self.crossOriginIsolated === true && typeof Worker == 'function')) {
  importScripts('zekora-blocking.js');
} else {
  importScripts('zekora-suspending.js');
}
