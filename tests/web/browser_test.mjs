// The browser test of the show: serves build-web/ on 127.0.0.1, drives
// Debian's Chromium (headless, WebGL 2 through SwiftShader) with
// puppeteer-core, and checks that
//  - the deterministic mode (?headless&fps=20&until=45&shots=10,44) ends the
//    show by itself with no console error, and its shots match the native
//    headless shots at the same times (mean absolute difference per channel
//    under a bound);
//  - the picture-quality options given as parameters (msaa, supersample,
//    filter) give the native picture with the same options;
//  - the live mode shows its download's progress up to 100 %, starts on a
//    click, its music position advances, Right moves it 5 s on, Page Down
//    30 s, Space holds it, a click on the position bar moves it there, and
//    the page downloads at most 8 MB in all;
//  - a missing data file gives the native message on the page.
// Prints figures (download sizes, time to the first frame, frames a second)
// and exits 1 on the first failed check.
//   node browser_test.mjs BUILD_WEB_DIR NATIVE_SHOTS_DIR
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import puppeteer from 'puppeteer-core';

const [webDir, nativeShots] = process.argv.slice(2);
// The rasterisers differ by a step here and there (llvmpipe against
// SwiftShader, desktop GL against WebGL): measured 0.16 (10 s) and 0.18 (44 s)
// levels of 255 on these shots; a wrong picture (a missing layer, a shifted camera, a
// wrong colour order) is far above 4.
const kMeanDifferenceBound = 4.0;
const kShotTimes = ['10', '44'];
// The most the page may download, with a static server that compresses nothing.
const kMaxDownloadBytes = 8e6;

function fail(message) {
  console.error('FAIL: ' + message);
  process.exit(1);
}

// Bytes the server has sent, whatever was asked for.
let bytesServed = 0;

function serve(folder) {
  const dir = path.resolve(folder);
  const types = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm', '.data': 'application/octet-stream'};
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = path.join(dir, name === '/' ? 'index.html' : name);
    if (!file.startsWith(dir + path.sep) || !fs.existsSync(file)) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, {'Content-Type': types[path.extname(file)] || 'application/octet-stream'});
    bytesServed += fs.statSync(file).size;
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

async function openPage(browser, url, before) {
  const page = await browser.newPage();
  const errors = [];
  page.on('console', (message) => { if (message.type() === 'error') errors.push(message.text()); });
  page.on('pageerror', (error) => errors.push(String(error)));
  // The music position, -1 while the program is loading or after it ended.
  await page.evaluateOnNewDocument(() => {
    window.bralmondMusic = () => { try { return Module._bralmond_music_seconds(); } catch (e) { return -1; } };
  });
  if (before) await page.evaluateOnNewDocument(before);
  await page.goto(url);
  return {page, errors};
}

// Mean absolute difference per channel of two PNG pictures, decoded by the page.
async function meanDifference(page, pngA, pngB) {
  return page.evaluate(async (a, b) => {
    const load = (source) => new Promise((resolve, reject) => {
      const image = new Image();
      image.onload = () => resolve(image);
      image.onerror = reject;
      image.src = source;
    });
    const [first, second] = [await load(a), await load(b)];
    if (first.width !== second.width || first.height !== second.height) return 1e9;
    const pixels = (image) => {
      const canvas = document.createElement('canvas');
      canvas.width = image.width;
      canvas.height = image.height;
      const context = canvas.getContext('2d');
      context.drawImage(image, 0, 0);
      return context.getImageData(0, 0, image.width, image.height).data;
    };
    const [p, q] = [pixels(first), pixels(second)];
    let sum = 0;
    for (let i = 0; i < p.length; i += 4) sum += Math.abs(p[i] - q[i]) + Math.abs(p[i + 1] - q[i + 1]) + Math.abs(p[i + 2] - q[i + 2]);
    return sum / (p.length / 4 * 3);
  }, pngA, pngB);
}

function sizes(dir) {
  const report = [];
  for (const name of ['bralmond.wasm', 'bralmond.js', 'bralmond.data']) {
    const bytes = fs.readFileSync(path.join(dir, name));
    report.push(`${name} ${(bytes.length / 1e6).toFixed(2)} MB (${(zlib.gzipSync(bytes, {level: 9}).length / 1e6).toFixed(2)} MB gzipped)`);
  }
  return report.join(', ');
}

// Waits for the page to say the show has ended, printing the music time now and then.
async function waitForEnd(page, limitSeconds) {
  const started = Date.now();
  let lastReport = started;
  for (;;) {
    const state = await page.evaluate(() => ({ended: window.bralmondEnded, music: window.bralmondMusic()}));
    if (state.ended !== undefined) return;
    if (Date.now() - started > limitSeconds * 1000) fail(`the page did not end the show within ${limitSeconds} s`);
    if (Date.now() - lastReport > 30000) {
      console.log(`  ... music at ${state.music.toFixed(1)} s`);
      lastReport = Date.now();
    }
    await new Promise((resolve) => setTimeout(resolve, 1000));
  }
}

const server = await serve(webDir);
const base = `http://127.0.0.1:${server.address().port}/`;
const browser = await puppeteer.launch({
  protocolTimeout: 600000,
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  args: ['--headless=new', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--no-sandbox', '--disable-gpu-sandbox',
         '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--autoplay-policy=user-gesture-required'],
});
try {
  console.log('download: ' + sizes(webDir));

  // The deterministic mode: the whole run to 45 s on the virtual clock.
  const started = Date.now();
  const {page, errors} = await openPage(browser, base + '?headless&fps=20&until=45&shots=10,44');
  await waitForEnd(page, 1800);
  const seconds = (Date.now() - started) / 1000;
  const status = await page.evaluate(() => window.bralmondEnded);
  if (status !== 0) fail(`the deterministic run ended with status ${status}: ${errors.join(' | ')}`);
  if (errors.length) fail('console errors: ' + errors.join(' | '));
  console.log(`deterministic run: 900 frames in ${seconds.toFixed(1)} s, ${(900 / seconds).toFixed(1)} frames a second`);
  const shots = await page.evaluate(() => window.bralmondShots || {});
  for (const time of kShotTimes) {
    if (!shots[time]) fail(`no shot at ${time} s`);
    const native = 'data:image/png;base64,' + fs.readFileSync(path.join(nativeShots, `shot-${time}.png`)).toString('base64');
    const difference = await meanDifference(page, shots[time], native);
    console.log(`shot at ${time} s: mean difference from the native picture ${difference.toFixed(3)} of 255`);
    if (!(difference < kMeanDifferenceBound)) fail(`the shot at ${time} s differs from the native one by ${difference}`);
    fs.writeFileSync(path.join(nativeShots, `web-shot-${time}.png`), Buffer.from(shots[time].split(',')[1], 'base64'));
  }
  await page.close();

  // The picture-quality options as the address's parameters: the page's
  // frame matches the native one made with the same options.
  const quality = await openPage(browser, base + '?headless&fps=20&start=44&until=44.2&shots=44&msaa=4&supersample=2&filter');
  await waitForEnd(quality.page, 600);
  if ((await quality.page.evaluate(() => window.bralmondEnded)) !== 0) fail('the run with the quality options failed: ' + quality.errors.join(' | '));
  const qualityShot = (await quality.page.evaluate(() => window.bralmondShots || {}))['44'];
  if (!qualityShot) fail('no shot at 44 s with the quality options');
  const nativeQuality = 'data:image/png;base64,' + fs.readFileSync(path.join(nativeShots, 'quality', 'shot-44.png')).toString('base64');
  const qualityDifference = await meanDifference(quality.page, qualityShot, nativeQuality);
  console.log(`quality options: the shot at 44 s differs from the native one by ${qualityDifference.toFixed(3)} of 255`);
  if (!(qualityDifference < kMeanDifferenceBound)) fail(`with the quality options the shot differs by ${qualityDifference}`);
  await quality.page.close();

  // The live mode: the download's progress, nothing before the click, then
  // the music runs and the keys move it.
  bytesServed = 0;
  const live = await openPage(browser, base);
  const loadStart = Date.now();
  await live.page.waitForFunction(() => document.getElementById('prompt').textContent === 'click to start', {timeout: 120000});
  const progress = await live.page.evaluate(() => document.getElementById('progress').value);
  console.log(`live: the progress bar reached ${progress} %; the page downloaded ${bytesServed} bytes`);
  if (progress !== 100) fail(`the progress bar stopped at ${progress} %`);
  if (!(bytesServed <= kMaxDownloadBytes)) fail(`the page downloaded ${bytesServed} bytes, more than ${kMaxDownloadBytes}`);
  await live.page.click('#start');
  await live.page.waitForFunction(() => window.bralmondMusic() >= 0, {timeout: 60000});
  console.log(`live: first timed frame ${((Date.now() - loadStart) / 1000).toFixed(2)} s after the page was ready and clicked`);
  const first = await live.page.evaluate(() => window.bralmondMusic());
  await new Promise((resolve) => setTimeout(resolve, 2000));
  const second = await live.page.evaluate(() => window.bralmondMusic());
  console.log(`live: music position ${first.toFixed(3)} s, then ${second.toFixed(3)} s two seconds later`);
  if (!(second > first + 0.5)) fail(`the music position did not advance (${first} then ${second})`);
  // Each key: the music position just before and a second after it, less
  // the second that plays on (none while paused).
  const keys = [['ArrowRight', 5, 1], ['PageDown', 30, 1], ['Space', 0, 0], ['Space', 0, 1], ['ArrowLeft', -5, 1]];
  for (const [key, amount, plays] of keys) {
    const before = await live.page.evaluate(() => window.bralmondMusic());
    await live.page.keyboard.press(key);
    await new Promise((resolve) => setTimeout(resolve, 1000));
    const after = await live.page.evaluate(() => window.bralmondMusic());
    const moved = after - before - plays;
    console.log(`live: ${key} at ${before.toFixed(3)} s, ${after.toFixed(3)} s a second later`);
    if (!(Math.abs(moved - amount) < 0.5)) fail(`${key} moved the music by ${(after - before).toFixed(3)} s in a second, not ${amount} s`);
  }
  // A click on the position bar, across the bottom of the picture (the page
  // is 800 by 600, as the picture), moves the show to the time under it.
  await live.page.mouse.move(400, 590);
  await live.page.mouse.click(400, 590);
  await new Promise((resolve) => setTimeout(resolve, 1000));
  const clicked = await live.page.evaluate(() => window.bralmondMusic());
  console.log(`live: a click in the middle of the bar, ${clicked.toFixed(3)} s a second later`);
  if (!(Math.abs(clicked - 1 - 105) < 0.5)) fail(`a click in the middle of the bar moved the music to ${clicked} s, not 105 s`);
  if (live.errors.length) fail('console errors in the live mode: ' + live.errors.join(' | '));
  await live.page.close();

  // A missing data file: the native message, on the page.
  const missing = await openPage(browser, base + '?headless&fps=10&until=1',
                                 () => { window.bralmondBeforeShow = (FS) => FS.unlink('/Data/Cred2.bmp'); });
  await waitForEnd(missing.page, 120);
  const text = await missing.page.evaluate(() => document.getElementById('text').textContent);
  const expected = 'P_Part1: Could not create texture from file: Data\\Cred2.bmp';
  if (!text.includes(expected)) fail(`the page says "${text}", not "${expected}"`);
  if ((await missing.page.evaluate(() => window.bralmondEnded)) !== 1) fail('a missing file did not end the show with status 1');
  console.log('missing file: the page says "' + text + '"');
  console.log('PASS');
} finally {
  await browser.close();
  server.close();
}
