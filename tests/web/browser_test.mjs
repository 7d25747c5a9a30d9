// SPDX-License-Identifier: GPL-3.0-or-later
// The web package in every browser installed (Chromium, Firefox ESR, WebKit), served from
// 127.0.0.1 without cross-origin isolation headers, and then with them:
// - the raw Worker (new Worker('zekora.js'), string messages) plays a session: the depth-10
//   tree of the native program, "isready" and "stop" answered within 300 ms during a search,
//   ponder and "ponderhit", "quit";
// - the library (index.js) starts the build the page can run (the blocking one only where
//   SharedArrayBuffer really exists) and searches the native tree;
// - a module Worker is refused with a clear message;
// - in Chromium, an engine that does not answer as it starts is dropped for the other build.
// WebKit runs with SharedArrayBuffer enabled, and once more without it, where its isolated
// pages claim isolation but lack SharedArrayBuffer.
//   node tests/web/browser_test.mjs SITE NATIVE-PROGRAM
// Exits 77 (skipped) where no browser is installed.
import {spawnSync} from 'node:child_process';
import {readFileSync} from 'node:fs';
import {join} from 'node:path';
import assert from 'node:assert/strict';
import {checker, launch, serve, skipUnlessBrowsers} from './harness.mjs';

const [site, native] = process.argv.slice(2);
const browsers = skipUnlessBrowsers(['chromium', 'firefox', 'webkit']);
// A page of its own, beside the package, so that the site's page and its engine stay out; and
// a folder where the blocking build never answers.
const server = await serve(site, {
  '/blank.html': '<!doctype html>\n<title>Zekora</title>\n',
  '/stalled/zekora-blocking.js': 'onmessage = () => {};\n',
  '/stalled/zekora-suspending.js': readFileSync(join(site, 'zekora/zekora-suspending.js')),
});
const origin = server.origin;
const {check, exit} = checker();
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Search lines without the fields that depend on the speed.
const tree = (lines) => lines.map((line) => line.replace(/ (nps|time) \d+/g, ''));
const nativeTree = (() => {
  const script = 'uci\nposition startpos\ngo depth 10\n';
  const lines = spawnSync(native, {input: script, encoding: 'utf8'}).stdout.split('\n');
  return tree(lines.slice(lines.indexOf('uciok') + 1, -1));
})();

async function rawSession(page) {
  await page.evaluate(() => {
    self.engine = new Worker('zekora/zekora.js');
    self.lines = [];
    engine.onmessage = (event) => lines.push({at: performance.now(), text: event.data});
  });
  const send = (command) => page.evaluate((c) => {
    engine.postMessage(c);
    return performance.now();
  }, command);
  // The lines from index from on, up to the first that starts with prefix.
  const until = async (prefix, from, timeout = 60000) => {
    await page.waitForFunction((p, i) => lines.slice(i).some((l) => l.text.startsWith(p)),
                               {timeout}, prefix, from);
    const all = await page.evaluate(() => lines);
    const end = all.findIndex((l, i) => i >= from && l.text.startsWith(prefix));
    return all.slice(from, end + 1);
  };
  const count = () => page.evaluate(() => lines.length);

  await send('uci');
  const id = await until('uciok', 0);
  assert.equal(id[0].text, 'id name Zeko SPWo 1.0 Beta ');
  // Commands longer than a message port's or a ring's comfortable size arrive whole.
  let from = await count();
  for (let i = 0; i < 3; ++i) await send('x'.repeat(100000));
  await send('isready');
  assert.deepEqual((await until('readyok', from)).map((l) => l.text), ['readyok']);

  from = await count();
  await send('position startpos');
  await send('go depth 10');
  assert.deepEqual(tree((await until('bestmove', from)).map((l) => l.text)), nativeTree);

  from = await count();
  await send('go infinite');
  await until('info depth 5', from);
  let sent = await send('isready');
  let answer = (await until('readyok', from, 2000)).pop();
  assert.ok(answer.at - sent < 300, `readyok after ${answer.at - sent} ms`);
  sent = await send('stop');
  answer = (await until('bestmove', from, 2000)).pop();
  assert.ok(answer.at - sent < 300, `bestmove after ${answer.at - sent} ms`);

  from = await count();
  await send('position startpos moves e2e4');
  await send('go ponder depth 4');
  // The depth is reached long before this; the answer must still wait for "ponderhit".
  await sleep(300);
  await send('isready');
  const waiting = await until('readyok', from);
  assert.ok(!waiting.some((l) => l.text.startsWith('bestmove')), 'answered before ponderhit');
  sent = await send('ponderhit');
  answer = (await until('bestmove', from, 2000)).pop();
  assert.ok(answer.at - sent < 300, `bestmove after ponderhit in ${answer.at - sent} ms`);

  await send('quit');
  from = await count();
  await send('isready');
  await sleep(500);
  assert.equal(await count(), from, 'the engine answered after quit');
}

// The library as a page uses it: the build it chose, and the lines of a depth-10 search.
async function librarySession(page) {
  const result = await page.evaluate(async () => {
    const {Zekora} = await import('./zekora/index.js');
    const engine = await Zekora.start({hash: 16});
    const lines = [];
    engine.onLine((line) => lines.push(line));
    engine.send('position startpos');
    const {bestmove, info} = await engine.go('depth 10');
    await engine.quit();
    return {build: engine.build, lines, bestmove, nodes: info.nodes,
            shared: self.crossOriginIsolated && typeof SharedArrayBuffer === 'function'};
  });
  assert.equal(result.build, result.shared ? 'blocking' : 'suspending');
  assert.deepEqual(tree(result.lines), nativeTree);
  // What go() resolved with: the move of the last line, the nodes of the one before.
  assert.equal(`bestmove ${result.bestmove} `, /^bestmove \S+ /.exec(nativeTree.at(-1))[0]);
  assert.equal(` nodes ${result.nodes} `, / nodes \d+ /.exec(nativeTree.at(-2))[0]);
  return result;
}

const shared = {JSC_useSharedArrayBuffer: '1'};
for (const name of browsers) {
  const browser = await launch(name, name === 'webkit' ? shared : {});
  for (const isolated of [false, true]) {
    const where = isolated ? '(isolated)' : '(not isolated)';
    const base = `${origin}${isolated ? '/isolated' : ''}`;
    await check(`${name}: the Worker plays a UCI session like the native program ${where}`,
                async () => {
                  const page = await browser.newPage();
                  await page.goto(`${base}/blank.html`);
                  assert.equal(await page.evaluate(() => self.crossOriginIsolated), isolated);
                  await rawSession(page);
                  await page.close();
                });
    await check(`${name}: the library searches the native tree ${where}`, async () => {
      const page = await browser.newPage();
      await page.goto(`${base}/blank.html`);
      const {build} = await librarySession(page);
      // Chromium's and Firefox's isolated pages have SharedArrayBuffer.
      if (name !== 'webkit') assert.equal(build, isolated ? 'blocking' : 'suspending');
      await page.close();
    });
  }
  if (name === 'chromium') {
    await check(`${name}: an engine that does not answer is dropped for the other build`,
                async () => {
                  const page = await browser.newPage();
                  await page.goto(`${origin}/isolated/blank.html`);
                  const build = await page.evaluate(async () => {
                    const {Zekora} = await import('./zekora/index.js');
                    const engine = await Zekora.start({url: 'stalled/', timeout: 2000});
                    await engine.quit();
                    return engine.build;
                  });
                  assert.equal(build, 'suspending');
                  await page.close();
                });
  }
  await check(`${name}: a module Worker is refused with a clear message`, async () => {
    const page = await browser.newPage();
    await page.goto(`${origin}/blank.html`);
    const answer = await page.evaluate(() => new Promise((resolve) => {
      const worker = new Worker('zekora/zekora.js', {type: 'module'});
      worker.onerror = (event) => resolve(`error: ${event.message}`);
      worker.onmessage = (event) => resolve(`answer: ${event.data}`);
      worker.postMessage('uci');
    }));
    assert.match(answer, /^error: .*zekora\.js runs as a classic Worker/);
    await page.close();
  });
  await browser.close();
}

// WebKit as it comes: an isolated page there lacks SharedArrayBuffer.
if (browsers.includes('webkit')) {
  await check('webkit without SharedArrayBuffer: the library runs the suspending build (isolated)',
              async () => {
                const browser = await launch('webkit');
                const page = await browser.newPage();
                await page.goto(`${origin}/isolated/blank.html`);
                const {build, shared} = await librarySession(page);
                assert.deepEqual([build, shared], ['suspending', false]);
                await browser.close();
              });
}

server.close();
exit();
