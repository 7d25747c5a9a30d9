// SPDX-License-Identifier: GPL-3.0-or-later
// Zekora, the chess engine, for Web Workers and Node: loads the engine built for its host.
// Under Node it speaks UCI on standard input and output ("node zekora.js"); in a page,
// new Worker('zekora.js') takes one command per message and posts each line it writes.
// Both builds search the same trees. The one for Node blocks while it waits for input, which
// only a thread of its own can do; the one for Workers suspends instead, which costs speed.
if (typeof process == 'object' && typeof process.versions == 'object' &&
    typeof process.versions.node == 'string') {
  require('./zekora-node.js');
} else {
  importScripts('zekora-worker.js');
}
