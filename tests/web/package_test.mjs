// SPDX-License-Identifier: GPL-3.0-or-later
// The npm package as a developer gets it: "npm pack" of the built package holds exactly its
// files; installed from the tarball (offline) into an app, require('zekora') and
// import('zekora') give the API and start nothing, "npx zekora" speaks UCI, the library under
// Node searches the native tree without touching standard output and starts with the smaller
// table it is asked for, the types accept the README's example (tsc), and apps built by Vite,
// webpack and esbuild with their defaults search the native tree in headless Chromium.
//   node tests/web/package_test.mjs DIST NATIVE-PROGRAM
// Exits 77 (skipped) where npm or the modules of web/ (npm ci in web/) are missing.
import {execFileSync, spawnSync} from 'node:child_process';
import {existsSync, mkdirSync, mkdtempSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {dirname, join, resolve} from 'node:path';
import {fileURLToPath} from 'node:url';
import assert from 'node:assert/strict';
import {checker, installedBrowsers, launch, serve} from './harness.mjs';

const [dist, native] = process.argv.slice(2).map((path) => resolve(path));
const bin = fileURLToPath(new URL('../../web/node_modules/.bin/', import.meta.url));
if (spawnSync('npm', ['--version']).status !== 0 || !existsSync(join(bin, 'tsc'))) {
  console.log('skipped: no npm, or no modules in web/ (npm ci --prefix web)');
  process.exit(77);
}
const {check, exit} = checker();
const work = mkdtempSync(join(tmpdir(), 'zekora-package-'));
process.on('exit', () => rmSync(work, {recursive: true, force: true}));
const run = (command, args, options = {}) =>
  execFileSync(command, args, {encoding: 'utf8', stdio: ['pipe', 'pipe', 'inherit'], ...options});
const write = (path, text) => {
  mkdirSync(dirname(path), {recursive: true});
  writeFileSync(path, text);
};

// Search lines without the fields that depend on the speed.
const tree = (lines) => lines.map((line) => line.replace(/ (nps|time) \d+/g, ''));
const session = (lines) => tree(lines.slice(lines.indexOf('uciok') + 1).filter(Boolean));
const script = 'uci\nposition startpos\ngo depth 10\n';
const nativeTree = session(spawnSync(native, {input: script, encoding: 'utf8'}).stdout.split('\n'));
const nativeNodes = Number(/ nodes (\d+)/.exec(nativeTree.at(-2))[1]);
const nativeMove = nativeTree.at(-1).split(' ')[1];

const app = join(work, 'app');
await check('npm pack holds exactly the package, and it installs offline', async () => {
  const [packed] = JSON.parse(run('npm', ['pack', '--json', '--pack-destination', work, dist]));
  assert.deepEqual(packed.files.map((file) => file.path).sort(), [
    'LICENSE', 'README.md', 'engine-blocking.js', 'engine-suspending.js', 'index.cjs',
    'index.d.ts', 'index.js', 'levels.cjs', 'levels.d.ts', 'levels.js', 'package.json',
    'zekora-blocking.js', 'zekora-suspending.js', 'zekora.js']);
  write(join(app, 'package.json'), '{"private": true}\n');
  run('npm', ['install', '--offline', '--no-audit', '--no-fund', join(work, packed.filename)],
      {cwd: app});
});

await check('require and import give the API and start nothing', async () => {
  for (const load of ['require', 'await import']) {
    const names = run(process.execPath, ['--input-type=module', '-e', `
      import {createRequire} from 'node:module';
      const require = createRequire(process.cwd() + '/');
      const api = ${load}('zekora');
      const levels = ${load}('zekora/levels');
      console.log(typeof api.Zekora.start, typeof api.parseInfo, typeof levels.chooseMove);`],
                      {cwd: app, timeout: 10000});
    assert.equal(names, 'function function function\n', load);
  }
});

await check('npx zekora speaks UCI on standard input and output', async () => {
  const output = run('npx', ['--offline', 'zekora'], {cwd: app, input: script});
  assert.deepEqual(session(output.split('\n')), nativeTree);
});

await check('the library under Node searches the native tree, standard output untouched, ' +
            'and a smaller table takes less memory', async () => {
  write(join(app, 'node.mjs'), `
    import {Zekora} from 'zekora';
    const memory = () => process.memoryUsage().rss / 1048576;
    const results = [];
    for (const hash of [undefined, 16]) {
      const before = memory();
      const engine = await Zekora.start({hash});
      const grown = memory() - before;
      const lines = [];
      engine.onLine((line) => lines.push(line));
      engine.send('position startpos');
      const {bestmove, info} = await engine.go('depth 10');
      await engine.quit();
      results.push({build: engine.build, grown, lines, bestmove, nodes: info.nodes});
    }
    console.log(JSON.stringify(results));`);
  const output = run(process.execPath, ['node.mjs'], {cwd: app, timeout: 60000});
  const [large, small] = JSON.parse(output);
  for (const result of [large, small]) {
    assert.equal(result.build, 'blocking');
    assert.deepEqual(tree(result.lines), nativeTree);
    assert.equal(result.nodes, nativeNodes);
  }
  // The 64 MB table against the 16 MB one.
  assert.ok(large.grown - small.grown > 32, `${large.grown} MB, then ${small.grown} MB`);
});

await check('the types accept the API as the README uses it (tsc)', async () => {
  write(join(app, 'types/example.mts'), `
    import { Zekora, parseInfo, type Info } from 'zekora';
    import { LEVELS, chooseMove, createRandom } from 'zekora/levels';
    const engine: Zekora = await Zekora.start({ hash: 16 });
    const off: () => void = engine.onLine((line: string) => console.log(line));
    engine.send('position startpos moves e2e4');
    await engine.ready();
    const { bestmove, ponder, info } = await engine.go('depth 12');
    const move: string = bestmove;
    const reply: string | undefined = ponder;
    const score: number | undefined = info?.score?.cp ?? info?.score?.mate;
    const parsed: Info | null = parseInfo('info depth 1 score cp 20 pv e2e4');
    const random = createRandom(1);
    const chosen = await chooseMove(engine, 'startpos', LEVELS[0].level, { random });
    const answer: string | undefined = chosen?.move;
    off();
    await engine.quit();
    export { move, reply, score, parsed, answer };`);
  write(join(app, 'types/tsconfig.json'), JSON.stringify({
    compilerOptions: {module: 'nodenext', target: 'es2022', strict: true, noEmit: true,
                      types: []},
    files: ['example.mts']}));
  run(join(bin, 'tsc'), ['-p', join(app, 'types')], {cwd: app});
});

// One app for the three bundlers: it searches and leaves its result on the window.
const main = `import {Zekora} from 'zekora';

async function search() {
  const engine = await Zekora.start();
  engine.send('position startpos');
  const {bestmove, info} = await engine.go('depth 10');
  await engine.quit();
  return {build: engine.build, bestmove, nodes: info.nodes};
}
search().then((result) => { window.result = result; },
              (error) => { window.result = {error: String(error)}; });
`;
const page = (script, module) => `<!doctype html>\n<title>Zekora</title>\n` +
    `<script ${module ? 'type="module" ' : ''}src="${script}"></script>\n`;
const bundlers = {
  // Vite builds index.html and what it loads into dist/.
  vite: (dir) => {
    write(join(dir, 'index.html'), page('/src/index.js', true));
    run(join(bin, 'vite'), ['build', '--logLevel', 'warn'], {cwd: dir});
  },
  // webpack's defaults: src/index.js to dist/main.js.
  webpack: (dir) => {
    run(join(bin, 'webpack'), ['--mode', 'production', '--no-stats'], {cwd: dir});
    write(join(dir, 'dist/index.html'), page('main.js'));
  },
  esbuild: (dir) => {
    run(join(bin, 'esbuild'), ['src/index.js', '--bundle', '--outdir=dist', '--log-level=warning'],
        {cwd: dir});
    write(join(dir, 'dist/index.html'), page('index.js'));
  },
};
if (installedBrowsers().includes('chromium')) {
  const browser = await launch('chromium');
  for (const [name, build] of Object.entries(bundlers)) {
    await check(`an app built by ${name} searches the native tree`, async () => {
      const dir = join(app, name);
      write(join(dir, 'src/index.js'), main);
      build(dir);
      const server = await serve(join(dir, 'dist'));
      try {
        for (const prefix of ['', '/isolated']) {
          const tab = await browser.newPage();
          await tab.goto(`${server.origin}${prefix}/`);
          await tab.waitForFunction(() => window.result, {timeout: 60000});
          const result = await tab.evaluate(() => window.result);
          assert.deepEqual(result, {build: prefix ? 'blocking' : 'suspending', bestmove: nativeMove,
                                    nodes: nativeNodes});
          await tab.close();
        }
      } finally {
        server.close();
      }
    });
  }
  await browser.close();
} else {
  console.log('bundled apps not tried: no chromium');
}
exit();
