// SPDX-License-Identifier: GPL-3.0-or-later
// The web package in headless Chromium, served from 127.0.0.1 without cross-origin isolation
// headers, and then with them: the engine in a Worker plays a session (the depth-10 tree of
// the native program, "isready" and "stop" answered within 300 ms during a search, ponder and
// "ponderhit", "quit"), and on the page a move made on the board gets a legal reply, with no
// console error.
//   node tests/web/browser_test.mjs DIST NATIVE-PROGRAM
// Exits 77 (skipped) where Chromium or the npm modules (npm ci in web/) are missing.
import {spawnSync} from 'node:child_process';
import {existsSync, mkdtempSync, readFileSync, rmSync} from 'node:fs';
import {createServer} from 'node:http';
import {createRequire} from 'node:module';
import {tmpdir} from 'node:os';
import {extname, join, normalize} from 'node:path';
import assert from 'node:assert/strict';

const [dist, native] = process.argv.slice(2);
const chromiumPath = '/usr/bin/chromium';
const require = createRequire(new URL('../../web/package.json', import.meta.url));
let chromium, Chess;
try {
  ({chromium} = require('playwright-core'));
  ({Chess} = require('chess.js'));
} catch {
  console.log('skipped: playwright-core and chess.js are not installed (npm ci in web/)');
  process.exit(77);
}
if (!existsSync(chromiumPath)) {
  console.log(`skipped: no ${chromiumPath} (Debian: apt-get install chromium)`);
  process.exit(77);
}

const types = {'.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
               '.svg': 'image/svg+xml', '.json': 'application/json'};
// Beneath /isolated/ the same files come with the headers of cross-origin isolation, which
// give the page SharedArrayBuffer.
const isolation = {'Cross-Origin-Opener-Policy': 'same-origin',
                   'Cross-Origin-Embedder-Policy': 'require-corp'};
const server = createServer((request, response) => {
  let path = decodeURIComponent(new URL(request.url, 'http://x').pathname);
  const isolated = path.startsWith('/isolated/');
  if (isolated) path = path.slice('/isolated'.length);
  const file = join(dist, normalize(path));
  if (!file.startsWith(dist) || !existsSync(file) || !extname(file)) {
    response.writeHead(404).end();
    return;
  }
  response.writeHead(200, {'Content-Type': types[extname(file)] || 'application/octet-stream',
                           ...(isolated ? isolation : {})});
  response.end(readFileSync(file));
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const origin = `http://127.0.0.1:${server.address().port}`;

const profile = mkdtempSync(join(tmpdir(), 'zekora-chromium-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: chromiumPath,
  headless: true,
  chromiumSandbox: false,
  args: ['--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync'],
});
let checks = 0;
let failed = 0;
async function check(name, body) {
  ++checks;
  const started = Date.now();
  try {
    await body();
    console.log(`ok: ${name} (${Date.now() - started} ms)`);
  } catch (error) {
    ++failed;
    console.log(`FAILED: ${name}\n${error.stack || error}`);
  }
}

// Search lines without the fields that depend on the speed.
const tree = (lines) => lines.map((line) => line.replace(/ (nps|time) \d+/g, ''));

// Without isolation the Worker runs the suspending build; with it, it starts a Worker of its
// own for the blocking build.
for (const isolated of [false, true]) {
  const where = isolated ? '(isolated)' : '(not isolated)';
  const base = `${origin}${isolated ? '/isolated' : ''}`;
  await check(`the Worker plays a UCI session like the native program ${where}`, async () => {
    const page = await context.newPage();
    await page.goto(`${base}/index.html`);
    assert.equal(await page.evaluate(() => self.crossOriginIsolated), isolated);
    await page.evaluate(() => {
      self.engine = new Worker('zekora.js');
      self.lines = [];
      engine.onmessage = (event) => lines.push({at: performance.now(), text: event.data});
    });
    const send = (command) => page.evaluate((c) => {
      engine.postMessage(c);
      return performance.now();
    }, command);
    // The lines from index from on, up to the first that starts with prefix.
    const until = async (prefix, from, timeout = 60000) => {
      await page.waitForFunction(([p, i]) => lines.slice(i).some((l) => l.text.startsWith(p)),
                                 [prefix, from], {timeout});
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
    await page.waitForTimeout(300);
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
    await page.waitForTimeout(500);
    assert.equal(await count(), from, 'the engine answered after quit');
    await page.close();
  });

  await check(`on the page a move made on the board gets a legal reply ${where}`, async () => {
    const page = await context.newPage();
    const errors = [];
    page.on('console', (message) => {
      if (message.type() === 'error') errors.push(message.text());
    });
    page.on('pageerror', (error) => errors.push(String(error)));
    await page.goto(`${base}/index.html`);
    await page.waitForFunction(() => document.getElementById('status').textContent === 'Your move');
    for (const square of ['e2', 'e4']) {
      // The board may still be drawing itself a moment after the page is ready: its squares
      // have no box until then.
      const rect = page.locator(`#board rect[data-square="${square}"]`);
      let box = null;
      for (let tries = 0; !box && tries < 100; ++tries) {
        box = await rect.boundingBox();
        if (!box) await page.waitForTimeout(50);
      }
      assert.ok(box, `square ${square} is not drawn`);
      await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
    }
    await page.waitForFunction(() => document.querySelector('#moves li')?.textContent.includes(' '),
                               null, {timeout: 30000});
    const [white, black] = (await page.locator('#moves li').first().textContent()).split(' ');
    assert.equal(white, 'e4');
    const game = new Chess();
    game.move(white);
    game.move(black); // throws on an illegal move
    await page.waitForFunction(() => document.getElementById('status').textContent === 'Your move');
    assert.deepEqual(errors, []);
    await page.close();
  });
}

await context.close();
server.close();
rmSync(profile, {recursive: true, force: true});
console.log(`${checks - failed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
