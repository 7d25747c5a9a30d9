// SPDX-License-Identifier: GPL-3.0-or-later
// The page as a player uses it, in headless Chromium and Firefox ESR: pieces dragged and
// clicked on the board, controls found by their visible names, moves typed. A game against
// Zekora (sides switched at any moment, takeback, hint, its thinking, a game's end, a
// reload), the analysis board (PGN and FEN in, a long game's end in view, steps through the
// moves, the engine's line after every change, a review cancelled and one completed), a phone
// played by keyboard and then offline, and the page opened from disk or without WebAssembly.
//   node tests/web/page_test.mjs SITE [SCREENSHOTS]
// With SCREENSHOTS, a folder, it also saves there a game and an analysis for the README.
// ONLY=REGEX runs only the checks whose names match. Exits 77 (skipped) where no browser or
// the npm modules (npm ci in web/) are missing.
import assert from 'node:assert/strict';
import {readFileSync} from 'node:fs';
import {join, resolve} from 'node:path';
import {gzipSync} from 'node:zlib';
import {checker, launch, require, serve, skipUnlessBrowsers} from './harness.mjs';

const [site, screenshots] = process.argv.slice(2).map((path) => resolve(path));
const browsers = skipUnlessBrowsers();
const {Chess} = require('chess.js');
const server = await serve(site);
const {check: checkAll, exit} = checker();
const only = process.env.ONLY ? new RegExp(process.env.ONLY) : null;
const check = (name, body) => (!only || only.test(name) ? checkAll(name, body) : null);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// 47 moves, mate at the end: the end of such a game once fell out of the move list's view.
const LONG = '1. Na3 e5 2. c4 Ne7 3. d4 c5 4. Bd2 e4 5. Qb1 f6 6. Bg5 h6 7. Nh3 Nbc6 8. Kd1 Ng8 ' +
  '9. Kc2 f5 10. Nb5 f4 11. Qe1 b6 12. Kb1 Nb4 13. Qd1 Qf6 14. Nd6+ Bxd6 15. Nxf4 Kd8 16. dxc5 ' +
  'Qe7 17. Nh5 Na6 18. c6 Nc5 19. Bf4 Qh4 20. Rg1 g5 21. Ng7 Ke7 22. g3 Ne6 23. Qb3 Bb4 ' +
  '24. Nxe6 a5 25. Be3 Ke8 26. Qxb4 Qxh2 27. c5 d5 28. Rh1 Ba6 29. Kc2 Bc8 30. Kd1 Rb8 ' +
  '31. Nc7+ Kf8 32. Rxh2 bxc5 33. Bd4 Bd7 34. Rc1 cxb4 35. g4 Bxc6 36. Ne8 h5 37. Bg7+ Kxe8 ' +
  '38. gxh5 b3 39. Rb1 bxa2 40. Rh3 axb1=Q+ 41. Kd2 Rxb2+ 42. Ke3 Qc1+ 43. Kd4 Rb4+ 44. Ke5 ' +
  'Qf4+ 45. Ke6 Bd7+ 46. Kxd5 Ne7+ 47. Kc5 Qc7# 0-1';
const SHORT = '1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7# 1-0';
// For the README's pictures: a game between a deeper and a shallower search.
const SICILIAN = '1. e4 c5 2. Nf3 d6 3. d4 cxd4 4. Nxd4 Nf6 5. Nc3 a6 6. Bc4 Nc6 7. Nxc6 bxc6 ' +
  '8. O-O Bg4 9. f3 Qb6+ 10. Rf2 Be6 11. Bxe6 fxe6 12. Rb1 e5 13. Qe2 Rb8 14. Be3 c5 15. Qc4 h5 ' +
  '16. b4 Qc6 17. Rb3 Nd7 18. bxc5 Rxb3 19. axb3 a5 20. Rf1 Nxc5 21. Ra1 Qb6 22. Nd5 Qc6 ' +
  '23. Rxa5 e6 24. Bxc5 dxc5 25. Nc7+ Kf7 *';

// A page of its own (its own storage and service workers) at the size of a desktop or a
// phone; storage, if given, is what the page finds in localStorage when it opens.
async function open(browser, {width = 1280, height = 800, phone = false, storage, path = '/'} = {}) {
  const context = await browser.createBrowserContext();
  const page = await context.newPage();
  page.errors = [];
  page.on('console', (message) => {
    if (message.type() === 'error') page.errors.push(message.text());
  });
  page.on('pageerror', (error) => page.errors.push(String(error)));
  await page.setViewport({width, height, ...(phone ? {isMobile: true, hasTouch: true} : {})});
  if (storage) {
    await page.evaluateOnNewDocument((state) => {
      if (sessionStorage.getItem('seeded')) return;
      sessionStorage.setItem('seeded', '1');
      localStorage.setItem('zekora-page', state);
    }, JSON.stringify(storage));
  }
  await page.goto(server.origin + path);
  await page.waitForSelector('#board rect[data-square="h8"]');
  return page;
}

async function center(page, square) {
  return page.$eval(`#board rect[data-square="${square}"]`, (rect) => {
    const box = rect.getBoundingClientRect();
    return {x: box.x + box.width / 2, y: box.y + box.height / 2};
  });
}

async function drag(page, from, to) {
  const [a, b] = [await center(page, from), await center(page, to)];
  await page.mouse.move(a.x, a.y);
  await page.mouse.down();
  await page.mouse.move(b.x, b.y, {steps: 4});
  await page.mouse.up();
}

// Waits until the board has turned to show side at the bottom.
const upright = (page, side) => until(page, (white) => {
  const [a1, a8] = ['a1', 'a8'].map((square) =>
    document.querySelector(`#board rect[data-square="${square}"]`).getBoundingClientRect().top);
  return white ? a1 > a8 : a1 < a8;
}, 10000, side === 'w');

async function clickMove(page, ...squares) {
  for (const square of squares) {
    const {x, y} = await center(page, square);
    await page.mouse.click(x, y);
  }
}

// The enabled, visible control with this name (its text or aria-label), clicked.
async function press(page, name) {
  const control = await page.waitForFunction((wanted) =>
    [...document.querySelectorAll('button, summary, label')].find((element) =>
      (element.textContent.trim() === wanted || element.getAttribute('aria-label') === wanted) &&
      element.getClientRects().length && !element.disabled), {timeout: 10000}, name);
  await control.asElement().click();
}

// Chooses, in the menu labelled label, the option with this text (or at this index).
async function choose(page, label, option) {
  const menu = await page.waitForFunction((wanted) =>
    [...document.querySelectorAll('label')].find((element) =>
      element.firstChild.textContent.trim() === wanted)?.querySelector('select'), {}, label);
  const value = await menu.evaluate((select, wanted) =>
    [...select.options].find((item, i) => item.text === wanted || i === wanted).value, option);
  await menu.asElement().select(value);
}

const text = (page, id) => page.$eval(`#${id}`, (element) => element.textContent);
const moves = (page) => page.$$eval('#moves .move', (items) =>
  items.map((item) => item.firstChild.textContent));

async function until(page, predicate, timeout = 30000, ...args) {
  try {
    await page.waitForFunction(predicate, {timeout, polling: 50}, ...args);
  } catch (error) {
    error.message += ` for ${predicate} ${args}; the status reads "${await text(page, 'status')}" ` +
        `after "${await moves(page)}", the engine's line "${await text(page, 'thinking')}"`;
    throw error;
  }
}

// Waits until the status reads status and the move list holds count moves.
const settled = (page, status, count, timeout) => until(page, (s, n) =>
  document.getElementById('status').textContent === s &&
  document.querySelectorAll('#moves .move').length === n, timeout, status, count);

async function fillIn(page, id, value) {
  await page.$eval(`#${id}`, (field, text) => {
    field.value = text;
    field.dispatchEvent(new Event('input', {bubbles: true}));
  }, value);
}

// The moves are legal from the start, and the position after them, for the FEN field.
function replay(san, fen) {
  const chess = new Chess(fen);
  for (const move of san) chess.move(move);
  return chess;
}

async function noErrors(page) {
  assert.deepEqual(page.errors, []);
  await page.browserContext().close();
}

// What a browser fetches, gzipped: the page must stay light beside the engine.
await check('the page without the engine is under 150 KB gzipped', () => {
  const files = /^const FILES = \[(.*)\];$/m.exec(readFileSync(join(site, 'sw.js'), 'utf8'))[1]
      .match(/'[^']+'/g).map((name) => name.slice(1, -1)).filter((name) => name !== './');
  const sizes = {};
  for (const file of ['sw.js', ...files]) {
    const part = /^(zekora\/.*|vendor\/[^/]*)/.exec(file)?.[1] ?? 'page';
    sizes[part] = (sizes[part] ?? 0) + gzipSync(readFileSync(join(site, file)), {level: 9}).length;
  }
  const kb = (bytes) => `${(bytes / 1024).toFixed(1)} KB`;
  let page = 0;
  for (const [part, size] of Object.entries(sizes)) {
    if (!part.startsWith('zekora/')) page += size;
    console.log(`${part}: ${kb(size)}`);
  }
  console.log(`the page without the engine: ${kb(page)}`);
  assert.ok(page < 150 * 1024);
});

for (const name of browsers) {
  const browser = await launch(name);

  await check(`${name}: a game with sides switched, takeback, hint and Zekora's thinking`, async () => {
    const page = await open(browser);
    await choose(page, "Zekora's level", 0);
    await choose(page, 'You play', 'Black');
    await press(page, 'New game');
    await settled(page, 'Your move', 1);
    await upright(page, 'b');
    // At the player's move, with the board's input on: it once stayed on for Black.
    await choose(page, 'You play', 'White');
    await press(page, 'New game');
    await settled(page, 'Your move', 0);
    await upright(page, 'w');
    await drag(page, 'e2', 'e4');
    await settled(page, 'Your move', 2);
    replay(await moves(page));
    assert.equal(await text(page, 'thinking'), '', 'the thinking shows before it is asked for');

    await press(page, 'Takeback');
    await settled(page, 'Your move', 0);
    // A piece taken shows where it may go.
    await clickMove(page, 'd2');
    assert.equal((await page.$$('#board use[href$="markerDot"]')).length, 2);
    await clickMove(page, 'd4');
    await settled(page, 'Your move', 2);
    assert.equal((await page.$$('#board .marker-last-move')).length, 2);
    await press(page, 'Hint');
    await until(page, () => /Hint: \S+$/.test(document.getElementById('status').textContent));
    const hinted = (await text(page, 'status')).split(' ').pop();
    replay([...await moves(page), hinted]);
    await press(page, "Show Zekora's thinking");
    const thought = await text(page, 'thinking');
    assert.match(thought, /^Zekora: (\+|−)?\d+\.\d\d, depth \d+: 1… \S+/);
    assert.equal(thought.split(': ').pop().split(' ')[1], (await moves(page))[1]);

    await press(page, 'Flip board');
    await upright(page, 'b');
    await press(page, 'Resign');
    await settled(page, 'You resigned: Zekora won', 2);

    // A new game while Zekora searches at full strength: nothing of that search shows.
    await choose(page, "Zekora's level", (await page.$$('#level option')).length - 1);
    await press(page, 'New game');
    await settled(page, 'Your move', 0);
    await upright(page, 'w');
    await drag(page, 'g1', 'f3');
    await settled(page, 'Zekora thinks…', 1);
    await press(page, 'New game');
    await settled(page, 'Your move', 0);
    await sleep(1500);
    assert.deepEqual(await moves(page), []);
    assert.equal(await text(page, 'status'), 'Your move');
    assert.equal(await text(page, 'thinking'), '');
    await noErrors(page);
  });

  await check(`${name}: the end of a game, after a reload, in PGN`, async () => {
    // After 1. Ra7 Black has one move, then White mates.
    const page = await open(browser, {storage: {
      settings: {showThinking: true},
      play: {game: {fen: '7k/8/6K1/8/8/8/8/R7 w - - 0 1', moves: []}, player: 'w'}}});
    await choose(page, "Zekora's level", (await page.$$('#level option')).length - 1);
    await drag(page, 'a1', 'a7');
    await settled(page, 'Your move', 2);
    assert.match(await text(page, 'thinking'), /^Zekora: #1, depth \d+: 1… Kg8 2\. Ra8#$/);
    await drag(page, 'a7', 'a8');
    await settled(page, 'You won by checkmate', 3);
    // Zekora's line for its last move, with the mate it saw, is gone with the game's end.
    assert.equal(await text(page, 'thinking'), '');
    assert.equal((await page.$$('#board .marker-check')).length, 1);
    await page.reload();
    await settled(page, 'You won by checkmate', 3);
    assert.deepEqual(await moves(page), ['Ra7', 'Kg8', 'Ra8#']);
    await press(page, 'PGN and FEN');
    const pgn = await page.$eval('#pgn', (field) => field.value);
    for (const tag of [/\[Event "[^"?]+"\]/, /\[Date "\d{4}\.\d\d\.\d\d"\]/, /\[White "Player"\]/,
                       /\[Black "Zekora \(.+\)"\]/, /\[Result "1-0"\]/, /\[FEN "7k\/8\/6K1/]) {
      assert.match(pgn, tag);
    }
    assert.match(pgn, /\n1\. Ra7 Kg8 2\. Ra8# 1-0$/);
    await press(page, 'Analyse this game');
    await settled(page, 'Checkmate: White wins', 3);
    await noErrors(page);
  });

  await check(`${name}: analysis of a PGN and a FEN, the moves stepped through, a review`, async () => {
    const page = await open(browser);
    await press(page, 'Analysis');
    await press(page, 'PGN and FEN');
    await fillIn(page, 'pgn', LONG);
    await press(page, 'Load this PGN');
    await settled(page, 'Checkmate: Black wins', 94);
    // The mate in view, and the list scrolling in one column.
    const view = await page.$eval('#moves', (list) => {
      const box = list.getBoundingClientRect();
      const last = [...list.querySelectorAll('.move')].pop().getBoundingClientRect();
      return {inside: last.top >= box.top && last.bottom <= box.bottom &&
                      last.left >= box.left && last.right <= box.right,
              wide: list.scrollWidth > list.clientWidth, tall: list.scrollHeight > list.clientHeight};
    });
    assert.deepEqual(view, {inside: true, wide: false, tall: true});
    const played = await moves(page);
    replay(played);

    await page.click('#moves .move[data-ply="10"]');
    const fen = () => page.$eval('#fen', (field) => field.value);
    assert.equal(await fen(), replay(played.slice(0, 10)).fen());
    await page.focus('#moves');
    await page.keyboard.press('ArrowLeft');
    assert.equal(await fen(), replay(played.slice(0, 9)).fen());
    // The game's own next move, made on the board, keeps the rest of the game.
    const tenth = replay(played.slice(0, 10)).history({verbose: true})[9];
    await drag(page, tenth.from, tenth.to);
    await until(page, () => document.querySelector('[aria-current]')?.dataset.ply === '10');
    assert.equal((await moves(page)).length, 94);
    await page.keyboard.press('End');
    assert.equal(await fen(), replay(played).fen());

    // White mates in one; after a move that does not, Black's line follows from there.
    await fillIn(page, 'fen', '6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1');
    await press(page, 'Set up this FEN');
    await until(page, () => /^#1, depth \d+: 1\. Ra8#$/.test(document.getElementById('thinking').textContent));
    await press(page, 'Play from here');
    await settled(page, 'Your move', 0);
    await press(page, 'Analysis');
    await drag(page, 'a1', 'a7');
    await until(page, () => /^(\+|−)\d+\.\d\d, depth \d+: 1… /.test(document.getElementById('thinking').textContent));
    const line = (await text(page, 'thinking')).split(': ')[1].replace(/\d+(\.|…) /g, '').split(' ');
    replay(line, '6k1/R4ppp/8/8/8/8/5PPP/6K1 b - - 1 1');
    assert.equal(await page.$eval('#eval-bar', (bar) => getComputedStyle(bar).visibility), 'visible');
    // A promotion asks for the piece.
    await fillIn(page, 'fen', '8/4P1k1/8/8/8/8/8/K7 w - - 0 1');
    await press(page, 'Set up this FEN');
    await drag(page, 'e7', 'e8');
    const knight = await page.waitForSelector('#board [data-piece="wn"]');
    const box = await knight.evaluate((element) => {
      const {x, y, width, height} = element.getBoundingClientRect();
      return {x: x + width / 2, y: y + height / 2};
    });
    await page.mouse.click(box.x, box.y);
    await until(page, () => document.querySelector('#moves .move')?.textContent === 'e8=N+');

    // A review stopped at once, then a whole one.
    await fillIn(page, 'pgn', LONG);
    await press(page, 'Load this PGN');
    await press(page, 'Review the game');
    await until(page, () => !document.getElementById('review-progress').hidden);
    await press(page, 'Cancel');
    await until(page, () => document.getElementById('review-progress').hidden &&
                            !document.getElementById('graph').getClientRects().length);
    await fillIn(page, 'pgn', SHORT);
    await press(page, 'Load this PGN');
    await press(page, 'Review the game');
    await until(page, () => document.getElementById('graph').getClientRects().length);
    assert.match(await text(page, 'review-summary'), /Black: .*1 blunder\b/);
    await page.click('#moves .blunder');
    assert.match(await text(page, 'review-move'),
                 /^3… Nf6 was a blunder \(\d+\.\d pawns lost\); Zekora preferred \S+\.$/);
    await noErrors(page);
  });

  // Puppeteer makes phones of Chromium only; there the page is cross-origin isolated too, and
  // runs the engine's other build.
  const phone = name === 'chromium';
  await check(`${name}: ${phone ? 'a phone 320 px wide, isolated, ' : ''}played by keyboard, then offline`, async () => {
    const page = await open(browser, phone ? {width: 320, height: 640, phone, path: '/isolated/'} : {});
    assert.equal(await page.evaluate(() => crossOriginIsolated), phone);
    if (phone) {
      await press(page, 'PGN and FEN');
      for (const mode of ['Analysis', 'Play']) {
        await press(page, mode);
        const faults = await page.evaluate(() => {
          const found = [];
          if (document.documentElement.scrollWidth > document.documentElement.clientWidth) {
            found.push(`page ${document.documentElement.scrollWidth} px wide`);
          }
          const targets = 'button, select, input:not([type="checkbox"]), summary, label.check';
          for (const element of document.querySelectorAll(targets)) {
            const box = element.getBoundingClientRect();
            if (!box.width) continue;
            if (box.height < 44 || (element.matches('button') && box.width < 44)) {
              found.push(`${element.id || element.textContent.trim()}: ${box.width}x${box.height}`);
            }
          }
          return found;
        });
        assert.deepEqual(faults, [], mode);
      }
    }

    // From the top of the page the keys reach the move's box soon, with a visible focus.
    await page.reload();
    await settled(page, 'Your move', 0);
    const order = [];
    while (order.length < 12 && order.at(-1) !== 'move-input') {
      await page.keyboard.press('Tab');
      order.push(await page.evaluate(() => document.activeElement.id || document.activeElement.tagName));
    }
    assert.deepEqual(order, ['mode-play', 'mode-analysis', 'move-input']);
    assert.notEqual(await page.$eval('#move-input', (box) => getComputedStyle(box).outlineStyle), 'none');
    await page.keyboard.type('e4\n');
    await settled(page, 'Your move', 2);
    await page.keyboard.type('g1f3\n');
    await settled(page, 'Your move', 4);
    await page.keyboard.type('Ke5\n');
    assert.match(await text(page, 'move-note'), /not a legal move/);

    // Once the service worker has taken the page's files, the page comes back without the
    // network.
    await page.evaluate(() => navigator.serviceWorker.ready.then(() => true));
    server.offline = true;
    try {
      await page.reload();
      await settled(page, 'Your move', 4);
      await page.type('#move-input', 'd4\n');
      await settled(page, 'Your move', 6);
    } finally {
      server.offline = false;
    }
    await noErrors(page);
  });

  await check(`${name}: opened from disk, or without WebAssembly, the page says why it cannot play`, async () => {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    await page.goto(`file://${site}/index.html`);
    assert.match(await text(page, 'status'), /opened from disk/);
    await page.evaluateOnNewDocument(() => delete globalThis.WebAssembly);
    await page.goto(`${server.origin}/`);
    assert.match(await text(page, 'status'), /needs WebAssembly/);
    await context.close();
  });

  if (screenshots && name === 'chromium') {
    await check('screenshots of a game and of an analysis', async () => {
      const size = {width: 880, height: 520};
      const opening = replay(SICILIAN.replace(/\d+\. /g, '').split(' ').slice(0, 11));
      const page = await open(browser, {...size, storage: {settings: {showThinking: true}, play: {
        game: {moves: opening.history({verbose: true}).map((move) => move.lan)}, player: 'w',
        level: 8}}});
      await settled(page, 'Your move', 12);
      await sleep(500); // the move's animation
      await page.screenshot({path: `${screenshots}/page-game.webp`, quality: 85});
      await press(page, 'Analysis');
      await press(page, 'PGN and FEN');
      await fillIn(page, 'pgn', SICILIAN);
      await press(page, 'Load this PGN');
      await press(page, 'Review the game');
      await until(page, () => document.getElementById('graph').getClientRects().length, 300000);
      await page.click('#data summary');
      await page.click('#moves .inaccuracy, #moves .mistake, #moves .blunder');
      await until(page, () => /depth (1[4-9]|[2-9]\d)/.test(document.getElementById('thinking').textContent), 60000);
      await page.setViewport({width: 960, height: 700});
      await page.mouse.move(0, 0);
      await page.screenshot({path: `${screenshots}/page-analysis.webp`, quality: 85});
      await page.browserContext().close();
    });
  }

  await browser.close();
}

server.close();
exit();
