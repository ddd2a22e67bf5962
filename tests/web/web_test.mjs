// The browser build end to end, in headless Chromium (Debian's, drawing WebGL2 with SwiftShader),
// driven by playwright-core on the page served at 127.0.0.1:
//  1. the attract sequence, unpaced, to the title menu, with shots of the logo, the
//     demonstration and the title compared with the native game's shots of the same frames;
//  2. course 1 driven by the autopilot to its finish at the real pace (its late frames reported),
//     with a shot of the race compared likewise; its replay and results follow, and the course
//     clear saves the game;
//  3. the page loaded again: the save is read back from the browser's storage at the boot, and
//     real key presses lead through the title menu to Course Select;
// and no GL error on the console in any of them.
// Usage: node web_test.mjs BUILD_WEB NATIVE_BUILD   (NODE_PATH names playwright-core's folder)
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, statSync, symlinkSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { serveFolder } from './serve.mjs';

const require = createRequire(import.meta.url);
const { chromium } = require('playwright-core');

const [webDir, nativeDir] = process.argv.slice(2).map((p) => resolve(p));
const kPort = 8765;
const kSeed = 7;
// The share of pixels that must lie within kPixelTolerance (per channel, of 255) of the native
// picture. The two differ where the rasterisers round differently (edges, filtered textures,
// fog) and where the race's arithmetic has drifted apart by a hair between x86 and WebAssembly
// (the demonstration's computer cars: about 98 % alike at frame 3300).
const kPixelTolerance = 24;
const kAttractShare = 0.95;
const kRaceShare = 0.90;
const kAttractShots = { logo: 150, demonstration: 3300, title: 4300 };
const kRaceShot = 600;

let failures = 0, passes = 0;
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (ok) ++passes; else ++failures;
}

// The native game's shots of the same frames, off-screen.
function nativeShots(args, shots) {
  const run = mkdtempSync(join(tmpdir(), 'korvan-web-native-'));
  symlinkSync(join(nativeDir, 'data'), join(run, 'data'));
  const shotArgs = Object.entries(shots).flatMap(([name, frame]) => ['--shot', `${frame}:${join(run, name)}.png`]);
  execFileSync(join(nativeDir, 'korvan'), ['--headless', '--unpaced', '--seed', String(kSeed), ...args, ...shotArgs], {
    cwd: run, stdio: 'ignore',
    env: { ...process.env, XDG_RUNTIME_DIR: run, XDG_DATA_HOME: join(run, 'share'), XDG_CONFIG_HOME: join(run, 'config'),
           XDG_STATE_HOME: join(run, 'state') },
  });
  const out = {};
  for (const name of Object.keys(shots)) out[name] = readFileSync(join(run, `${name}.png`));
  rmSync(run, { recursive: true, force: true });
  return out;
}

const consoleLines = [];
async function openGame(page, args) {
  const lines = [];
  const listener = (m) => { lines.push(m.text()); consoleLines.push(m.text()); };
  page.on('console', listener);
  const started = Date.now();
  await page.goto(`http://127.0.0.1:${kPort}/index.html?args=${encodeURIComponent(args.join(' '))}`);
  return { lines, started, stop: () => page.off('console', listener) };
}

async function waitFor(page, what, predicate, timeoutMs) {
  const until = Date.now() + timeoutMs;
  while (Date.now() < until) {
    if (await predicate()) return true;
    await page.waitForTimeout(250);
  }
  console.log(`  (gave up waiting for ${what})`);
  return false;
}

// A key held as a person holds it: the game reads the keys once a frame, so a press and release
// between two frames would not be seen.
async function pressKey(page, key) {
  await page.keyboard.down(key);
  await page.waitForTimeout(300);
  await page.keyboard.up(key);
}

const gameEnded = (page) => page.evaluate(() => window.korvanEnded === true);
const readGameFile = (page, path) => page.evaluate((p) => {
  try { return Array.from(window.Module.FS.readFile(p)); } catch (e) { return null; }
}, path);

// The share of pixels of two PNGs of the same size whose channels all lie within the tolerance;
// decoded by the browser itself.
async function matchingShare(page, pngA, pngB) {
  return page.evaluate(async ([a, b, tolerance]) => {
    async function pixels(base64) {
      const image = new Image();
      image.src = 'data:image/png;base64,' + base64;
      await image.decode();
      const c = document.createElement('canvas');
      c.width = image.width;
      c.height = image.height;
      const g = c.getContext('2d');
      g.drawImage(image, 0, 0);
      return g.getImageData(0, 0, c.width, c.height);
    }
    const [pa, pb] = [await pixels(a), await pixels(b)];
    if (pa.width !== pb.width || pa.height !== pb.height) return -1;
    let close = 0;
    for (let i = 0; i < pa.data.length; i += 4) {
      if (Math.abs(pa.data[i] - pb.data[i]) <= tolerance && Math.abs(pa.data[i + 1] - pb.data[i + 1]) <= tolerance &&
          Math.abs(pa.data[i + 2] - pb.data[i + 2]) <= tolerance) ++close;
    }
    return close / (pa.width * pa.height);
  }, [Buffer.from(pngA).toString('base64'), Buffer.from(pngB).toString('base64'), kPixelTolerance]);
}

async function compareShots(page, webShots, native, least) {
  for (const name of Object.keys(native)) {
    const shot = webShots[name];
    if (!shot) {
      check(false, `${name}: the page wrote its shot`);
      continue;
    }
    const share = await matchingShare(page, shot, native[name]);
    check(share >= least, `${name}: ${(100 * share).toFixed(2)} % of pixels as the native picture (at least ${100 * least} %)`);
  }
}

const server = await serveFolder(webDir, kPort);
const profile = mkdtempSync(join(tmpdir(), 'korvan-web-chromium-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: '/usr/bin/chromium',
  headless: true,
  viewport: { width: 1280, height: 960 },
  args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--ignore-gpu-blocklist',
         '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run',
         '--disable-quic', '--autoplay-policy=no-user-gesture-required'],
});
// Every debug line on the console: the test reads the save's and the race's lines.
await context.addInitScript(() => { window.korvanEnvironment = { KORVAN_VERBOSE: '1' }; });
const page = context.pages()[0] || await context.newPage();
let raceJson = null;

try {
  const bytes = ['korvan.js', 'korvan.wasm', 'korvan.data'].map((f) => statSync(join(webDir, f)).size);
  console.log(`download: korvan.js ${bytes[0]}, korvan.wasm ${bytes[1]}, korvan.data ${bytes[2]} bytes`);

  // 1. The attract sequence to the title menu.
  const attractArgs = ['--unpaced', '--frames', '4310'];
  const native = nativeShots(attractArgs, kAttractShots);
  const shotArgs = Object.entries(kAttractShots).flatMap(([n, f]) => ['--shot', `${f}:/tmp/${n}.png`]);
  let run = await openGame(page, ['--seed', String(kSeed), ...attractArgs, '--stats', '/tmp/boot.json', ...shotArgs]);
  const firstFrame = await waitFor(page, 'the first frame', () => page.evaluate(() => !!window.korvanStarted), 60000);
  check(firstFrame, `the game started ${((Date.now() - run.started) / 1000).toFixed(1)} s after the page was asked for`);
  check(await waitFor(page, 'the attract sequence', () => gameEnded(page), 420000), 'the attract sequence ran its 4310 frames');
  const boot = JSON.parse(Buffer.from((await readGameFile(page, '/tmp/boot.json')) || []).toString() || '{}');
  check(!!(boot.scenes && boot.scenes.title && boot.scenes.logo && boot.scenes.demonstration),
        'the logo, the demonstration and the title menu were shown');
  const webShots = {};
  for (const name of Object.keys(kAttractShots)) {
    const b = await readGameFile(page, `/tmp/${name}.png`);
    if (b) webShots[name] = Buffer.from(b);
  }
  await compareShots(page, webShots, native, kAttractShare);
  run.stop();

  // 2. Course 1 to its finish at the real pace, then its replay and results as a player sees them;
  // the course clear that follows saves the game (course 2 opened), and Escape ends it there.
  const raceArgs = ['--course', '1', '--autopilot'];
  const nativeRace = nativeShots([...raceArgs, '--exit-after-race'], { race: kRaceShot });
  run = await openGame(page, ['--seed', String(kSeed), ...raceArgs, '--stats', '/tmp/race.json', '--shot', `${kRaceShot}:/tmp/race.png`]);
  const lineSeen = (pattern) => () => run.lines.some((l) => pattern.test(l));
  check(await waitFor(page, 'the race', lineSeen(/race: course 1 finished/), 420000), 'the autopilot finished course 1');
  check(await waitFor(page, 'the course clear', lineSeen(/save file: saved to/), 300000), 'the won race saved the game');
  await page.waitForTimeout(2000);
  await page.locator('#canvas').click();
  await pressKey(page, 'Escape');
  check(await waitFor(page, 'the quit', () => gameEnded(page), 30000), 'Escape ended the game after the save');
  raceJson = JSON.parse(Buffer.from((await readGameFile(page, '/tmp/race.json')) || []).toString() || '{}');
  const raceScene = (raceJson.scenes || {}).race || {};
  console.log(`paced race: ${raceJson.frames} frames, ${raceJson.late_frames} late (the race scene: ${raceScene.frames} frames, ` +
              `${raceScene.late_frames} late, median ${raceScene.median} ms, p99 ${raceScene.p99} ms)`);
  const raceShot = await readGameFile(page, '/tmp/race.png');
  await compareShots(page, raceShot ? { race: Buffer.from(raceShot) } : {}, nativeRace, kRaceShare);
  run.stop();

  // 3. The page again: the save comes back, and the keys lead to Course Select.
  run = await openGame(page, ['--stats', '/tmp/menus.json']);
  check(await waitFor(page, 'the boot', () => run.lines.some((l) => /Auto Load Success/.test(l)), 60000),
        'the save was read back at the boot');
  await page.locator('#canvas').click();
  // X skips the story and the demonstration to the title (and does nothing there): pressed for a
  // while, it leaves the game at the title menu whatever the loading steps took.
  for (let i = 0; i < 25; ++i) {
    await pressKey(page, 'KeyX');
    await page.waitForTimeout(700);
  }
  const titleAsked = Date.now();
  await page.waitForTimeout(3000);
  await pressKey(page, 'KeyZ');   // "Rash Into Races"
  await page.waitForTimeout(8000);
  await pressKey(page, 'Escape'); // the game ends, its statistics written
  check(await waitFor(page, 'the quit', () => gameEnded(page), 30000), 'Escape ended the game');
  const menus = JSON.parse(Buffer.from((await readGameFile(page, '/tmp/menus.json')) || []).toString() || '{}');
  check(!!(menus.scenes && menus.scenes.title && menus.scenes.course_select), 'the keys led through the title to Course Select');
  console.log(`title menu reached by ${((titleAsked - run.started) / 1000).toFixed(1)} s after the page`);
  run.stop();

  const glErrors = consoleLines.filter((l) => /GL_INVALID|GL_OUT_OF_MEMORY|WebGL.*(error|INVALID)|GL error/i.test(l));
  for (const l of glErrors.slice(0, 5)) console.log(`  console: ${l}`);
  check(glErrors.length === 0, `no GL error on the console (${consoleLines.length} lines)`);
} finally {
  await context.close();
  server.close();
  rmSync(profile, { recursive: true, force: true });
}
console.log(`${passes} passed, ${failures} failed`);
process.exit(failures === 0 ? 0 : 1);
