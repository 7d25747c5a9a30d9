// SPDX-License-Identifier: GPL-3.0-or-later
// The web package in headless Chromium, served from 127.0.0.1 without cross-origin isolation
// headers, and then with them: the engine in a Worker plays a session (the depth-10 tree of
// the native program, "isready" and "stop" answered within 300 ms during a search, ponder and
// "ponderhit", "quit").
//   node tests/web/browser_test.mjs SITE NATIVE-PROGRAM
// Exits 77 (skipped) where Chromium or the npm modules (npm ci in web/) are missing.
import {spawnSync} from 'node:child_process';
import assert from 'node:assert/strict';
import {checker, launch, serve, skipUnlessBrowsers} from './harness.mjs';

const [site, native] = process.argv.slice(2);
if (!skipUnlessBrowsers().includes('chromium')) {
  console.log('skipped: no chromium (Debian: apt-get install chromium)');
  process.exit(77);
}
const server = await serve(site);
const origin = server.origin;
const browser = await launch('chromium');
const {check, exit} = checker();
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Search lines without the fields that depend on the speed.
const tree = (lines) => lines.map((line) => line.replace(/ (nps|time) \d+/g, ''));

// Without isolation the Worker runs the suspending build; with it, it starts a Worker of its
// own for the blocking build.
for (const isolated of [false, true]) {
  const where = isolated ? '(isolated)' : '(not isolated)';
  const base = `${origin}${isolated ? '/isolated' : ''}`;
  await check(`the Worker plays a UCI session like the native program ${where}`, async () => {
    const page = await browser.newPage();
    await page.goto(`${base}/index.html`);
    assert.equal(await page.evaluate(() => self.crossOriginIsolated), isolated);
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
    // Commands longer than the shared ring of the blocking build pass it in pieces.
    let from = await count();
    for (let i = 0; i < 3; ++i) await send('x'.repeat(100000));
    await send('isready');
    assert.deepEqual((await until('readyok', from)).map((l) => l.text), ['readyok']);

    const script = 'uci\nposition startpos\ngo depth 10\n';
    const reference = spawnSync(native, {input: script, encoding: 'utf8'}).stdout.split('\n');
    from = await count();
    await send('position startpos');
    await send('go depth 10');
    const web = (await until('bestmove', from)).map((l) => l.text);
    assert.deepEqual(tree(web), tree(reference.slice(reference.indexOf('uciok') + 1, -1)));

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

    // The page's own engine and this one: a Worker each, or two each when isolated.
    assert.equal(page.workers().length, isolated ? 4 : 2);
    await send('quit');
    from = await count();
    await send('isready');
    await sleep(500);
    assert.equal(await count(), from, 'the engine answered after quit');
    await page.close();
  });
}

await browser.close();
server.close();
exit();
