#!/usr/bin/env node
// SPDX-License-Identifier: GPL-3.0-or-later
// Zekora, the chess engine, for Web Workers and Node: loads the engine built for its host.
// Under Node it speaks UCI on standard input and output ("node zekora.js", "npx zekora"); in
// a page, new Worker('zekora.js') takes one command per message and posts each line it writes.
// Under Node the engine runs in a thread of its own and blocks while it waits for input
// (zekora-blocking.js). A Worker has one thread, so there it suspends instead and returns to
// the event loop for input (zekora-suspending.js). (In a cross-origin isolated page the library,
// index.js, gives the engine a thread of its own: a Worker made by the page, never a Worker
// inside this one, which Firefox sometimes fails to start.) Both builds search the same trees.
if (typeof process == 'object' && typeof process.versions == 'object' &&
    typeof process.versions.node == 'string') {
  require('./zekora-blocking.js');
} else {
  try {
    importScripts('zekora-suspending.js');
  } catch (error) {
    // A module Worker has no importScripts, or one that always throws a TypeError.
    if (typeof importScripts == 'function' && !(error instanceof TypeError)) throw error;
    throw new Error("zekora.js runs as a classic Worker: new Worker(url), without " +
                    "{type: 'module'}; or import { Zekora } from the package's index.js");
  }
}
