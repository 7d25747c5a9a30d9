// SPDX-License-Identifier: GPL-3.0-or-later
// What the browser tests share: a static server for a built folder on 127.0.0.1, and the
// browsers: Chromium (over its DevTools protocol) and Firefox ESR (over WebDriver BiDi), driven
// by puppeteer-core, and WebKit (WebKitGTK's MiniBrowser under Xvfb, over plain W3C WebDriver,
// which gives no console events: a test reads errors from the page). A test that finds no
// browser exits 77 (skipped).
import {spawn} from 'node:child_process';
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

// Serves root, and files given by path and content ({'/blank.html': '<!doctype html>...'}) as if
// they were in it; a path ending in "/" serves its index.html. While server.offline is set, every
// request fails as with the network cut. server.requests counts what was asked for, by path.
export async function serve(root, pages = {}) {
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
    if (path in pages) {
      response.writeHead(200, {'Content-Type': types[extname(path)], ...(isolated ? isolation : {})});
      response.end(pages[path]);
      return;
    }
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
const webkit = {driver: '/usr/bin/WebKitWebDriver', xvfb: '/usr/bin/Xvfb',
                browser: '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser'};
// Without these Chromium keeps trying the closed network.
const chromiumArgs = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                      '--disable-background-networking', '--disable-component-update',
                      '--disable-sync'];

// Of the browsers named, those installed here: 'chromium' and 'firefox' (with puppeteer-core,
// whose whole API their browsers and pages have), 'webkit' (only what launch() describes).
export function installedBrowsers(names = ['chromium', 'firefox']) {
  let puppeteer = true;
  try {
    require.resolve('puppeteer-core');
  } catch {
    puppeteer = false;
  }
  return names.filter((name) => name === 'webkit' ? Object.values(webkit).every(existsSync)
                                                  : puppeteer && existsSync(executables[name]));
}

export function skipUnlessBrowsers(names) {
  const found = installedBrowsers(names);
  if (!found.length) {
    console.log('skipped: no browser (chromium or firefox-esr with npm ci in web/, or ' +
                'webkit2gtk-driver with xvfb)');
    process.exit(77);
  }
  return found;
}

// A browser with newPage() and close(); its pages have goto(url), evaluate(function, ...args),
// waitForFunction(function, {timeout}, ...args) and close(). WebKit's environment may set
// JSC_useSharedArrayBuffer=1, which gives its isolated pages SharedArrayBuffer.
export async function launch(name, environment = {}) {
  if (name === 'webkit') return launchWebKit(environment);
  const puppeteer = require('puppeteer-core');
  return puppeteer.launch({
    browser: name === 'firefox' ? 'firefox' : 'chrome',
    executablePath: executables[name],
    headless: true,
    args: name === 'chromium' ? chromiumArgs : [],
    env: {...process.env, ...environment},
  });
}

// WebKitWebDriver on a free port, on a display of its own; one window, so one page at a time.
async function launchWebKit(environment) {
  const xvfb = spawn(webkit.xvfb, ['-displayfd', '3', '-nolisten', 'tcp'],
                     {stdio: ['ignore', 'ignore', 'ignore', 'pipe']});
  const display = await new Promise((resolve) => xvfb.stdio[3].once('data', resolve));
  const port = await new Promise((resolve) => {
    const probe = createServer().listen(0, '127.0.0.1', () => {
      const {port} = probe.address();
      probe.close(() => resolve(port));
    });
  });
  const driver = spawn(webkit.driver, [`--port=${port}`], {
    stdio: 'ignore',
    env: {...process.env, ...environment, DISPLAY: `:${String(display).trim()}`},
  });
  const stop = () => {
    driver.kill();
    xvfb.kill();
  };
  process.once('exit', stop);
  const call = async (method, path, body) => {
    const response = await fetch(`http://127.0.0.1:${port}${path}`, {
      method, headers: {'Content-Type': 'application/json'}, body: JSON.stringify(body)});
    const {value} = await response.json();
    if (value?.error) throw new Error(`WebDriver ${path}: ${value.error}: ${value.message}`);
    return value;
  };
  let session = null;
  for (let tries = 0; !session; ++tries) {
    try {
      session = await call('POST', '/session', {capabilities: {alwaysMatch: {
        'webkitgtk:browserOptions': {binary: webkit.browser, args: ['--automation']}}}});
    } catch (error) {
      if (tries === 50) throw error;
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
  }
  const path = `/session/${session.sessionId}`;
  await call('POST', `${path}/timeouts`, {script: 600000});
  // Runs body in the page and returns its result (a promise's, once it settles).
  const evaluate = async (body, ...args) => {
    const {result, error} = await call('POST', `${path}/execute/async`, {
      script: `const done = arguments[arguments.length - 1];
               Promise.resolve().then(() => (${body})(...arguments[0]))
                 .then((result) => done({result}), (error) => done({error: String(error)}));`,
      args: [args]});
    if (error) throw new Error(error);
    return result;
  };
  const page = {
    goto: (url) => call('POST', `${path}/url`, {url}),
    evaluate,
    async waitForFunction(body, {timeout = 30000} = {}, ...args) {
      const end = Date.now() + timeout;
      while (!(await evaluate(body, ...args))) {
        if (Date.now() > end) throw new Error(`waiting failed: ${timeout} ms exceeded`);
        await new Promise((resolve) => setTimeout(resolve, 20));
      }
    },
    close: () => call('POST', `${path}/url`, {url: 'about:blank'}),
  };
  return {
    newPage: async () => page,
    async close() {
      await call('DELETE', path).catch(() => {});
      stop();
    },
  };
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
