// SPDX-License-Identifier: GPL-3.0-or-later
// STAND-IN for the level module (page branch only; removed before landing).
export const LEVELS = [1, 2, 3, 4, 5, 6, 7, 8].map((level) => ({
  level, rating: 800 + 250 * level, label: `Level ${level}, about ${800 + 250 * level}`,
  description: 'stand-in'}));
export function createRandom(seed = Date.now()) {
  let s = seed >>> 0;
  return () => ((s = (s * 1664525 + 1013904223) >>> 0) / 4294967296);
}
export async function chooseMove(engine, position, level, {signal} = {}) {
  let info = null;
  const off = engine.onLine((line) => { if (line.includes(' pv ')) info = line; });
  const stop = () => engine.send('stop');
  signal?.addEventListener('abort', stop);
  engine.send(`position ${position}`);
  const done = new Promise((resolve) => {
    const end = engine.onLine((line) => { if (line.startsWith('bestmove')) { end(); resolve(line); } });
  });
  engine.send(`go nodes ${1000 * 2 ** level}`);
  const line = await done;
  off();
  signal?.removeEventListener('abort', stop);
  if (signal?.aborted) return null;
  const {parseInfo} = await import('./index.js');
  return {move: line.split(' ')[1], info: info && parseInfo(info)};
}
