// SPDX-License-Identifier: GPL-3.0-or-later
// What the browser tests share: a static server for a built folder on 127.0.0.1, and the
// browsers, driven by puppeteer-core (Chromium over its DevTools protocol, Firefox ESR over
// WebDriver BiDi). A test that finds no browser or no puppeteer-core exits 77 (skipped).
import {existsSync, readFileSync, statSync} from 'node:fs';
import {createServer} from 'node:http';
import {createRequire} from 'node:module';
import {extname, join, normalize} from 'node:path';

export const require = createRequire(new URL('../../web/package.json', import.meta.url));

const types = {'.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript',
               '.css': 'text/css', '.svg': 'image/svg+xml', '.png': 'image/png',
               '.json': 'application/json', '.webmanifest': 'application/manifest+json',
               '.wasm': 'application/wasm'};
// Beneath /isolated/ the same files come with the headers of cross-origin isolation, which
// give the page SharedArrayBuffer.
const isolation = {'Cross-Origin-Opener-Policy': 'same-origin',
                   'Cross-Origin-Embedder-Policy': 'require-corp'};

// Serves root; a path ending in "/" serves its index.html. While server.offline is set, every
// request fails as with the network cut. server.requests counts what was asked for, by path.
export async function serve(root) {
  const server = createServer((request, response) => {
    if (server.offline) {
      request.socket.destroy();
      return;
    }
    let path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    server.requests.set(path, (server.requests.get(path) || 0) + 1);
    const isolated = path.startsWith('/isolated/');
    if (isolated) path = path.slice('/isolated'.length);
    if (path.endsWith('/')) path += 'index.html';
    const file = join(root, normalize(path));
    if (!file.startsWith(root) || !existsSync(file) || !statSync(file).isFile()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, {'Content-Type': types[extname(file)] || 'application/octet-stream',
                             ...(isolated ? isolation : {})});
    response.end(readFileSync(file));
  });
  server.offline = false;
  server.requests = new Map();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  server.origin = `http://127.0.0.1:${server.address().port}`;
  return server;
}

const executables = {chromium: '/usr/bin/chromium', firefox: '/usr/bin/firefox-esr'};
// Without these Chromium keeps trying the closed network.
const chromiumArgs = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                      '--disable-background-networking', '--disable-component-update',
                      '--disable-sync'];

// The browsers installed here, of those puppeteer-core drives: 'chromium', 'firefox'.
export function installedBrowsers() {
  try {
    require.resolve('puppeteer-core');
  } catch {
    return [];
  }
  return Object.keys(executables).filter((name) => existsSync(executables[name]));
}

export function skipUnlessBrowsers() {
  const names = installedBrowsers();
  if (!names.length) {
    console.log('skipped: no puppeteer-core (npm ci in web/) or no chromium or firefox-esr');
    process.exit(77);
  }
  return names;
}

export async function launch(name) {
  const puppeteer = require('puppeteer-core');
  return puppeteer.launch({
    browser: name === 'firefox' ? 'firefox' : 'chrome',
    executablePath: executables[name],
    headless: true,
    args: name === 'chromium' ? chromiumArgs : [],
  });
}

// Runs named checks, each reported with its time; exit() ends the test with their verdict.
export function checker() {
  let passed = 0;
  let failed = 0;
  return {
    async check(name, body) {
      const started = Date.now();
      try {
        await body();
        ++passed;
        console.log(`ok: ${name} (${Date.now() - started} ms)`);
      } catch (error) {
        ++failed;
        console.log(`FAILED: ${name}\n${error.stack || error}`);
      }
    },
    exit() {
      console.log(`${passed} passed, ${failed} failed`);
      process.exit(failed ? 1 : 0);
    },
  };
}
