// How long a kestrin shot page takes to open: writes a production-sized
// shot (a 1000 x 500 grid, 500,000 points, bending a little more in each of
// 30 frames, as an animation moves) as a weights page and a morph page with
// the tool, opens each in headless Chromium with software WebGL, and prints
// the page's size against the 100 MB budget and the milliseconds from
// navigation until the page has decoded its data and drawn its first frame
// (best of three openings, target under 10 s), with the page's own marks of
// where that time went. A measurement, not a test: it exits non-zero only
// when something fails to run, and stops by itself after 400 s.
//
//   node page_load.js BUILD_DIR [CHROMIUM]
//   node page_load.js --pages PAGE.html... (opens pages already written)
//
// BUILD_DIR holds tools/kestrin (`make bench` builds it). Each page opens in
// its own browser, started in its own process group, which is killed
// whatever happens.
'use strict';

const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { startChromium, waitForShotPage } = require('../../scripts/chromium_pipe.js');

const givenPages = process.argv[2] === '--pages' ? process.argv.slice(3) : null;
const buildDir = givenPages ? null : process.argv[2];
const chromiumPath = (givenPages ? null : process.argv[3]) || '/usr/bin/chromium';
if (!buildDir && !(givenPages && givenPages.length > 0)) {
  process.stderr.write('usage: node page_load.js BUILD_DIR [CHROMIUM]\n');
  process.exit(2);
}
const pageTimeoutMs = 30000;
const runs = 3;
const targetMs = 10000;
const budgetMb = 100;
const width = 1280;
const height = 800;

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrin-page-load-'));
process.on('exit', () => fs.rmSync(scratch, { recursive: true, force: true }));
for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) {
  process.on(signal, () => process.exit(130));
}

// Opens `page` in a fresh browser; returns the page's timings in ms from
// the start of navigation.
async function measure(pagePath) {
  const browser = startChromium({ chromium: chromiumPath, width, height, scratch });
  try {
    const { page, evaluate } = await browser.attachToPage();
    await page('Page.enable');
    await page('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: 1, mobile: false });
    const started = Date.now();
    await page('Page.navigate', { url: 'file://' + path.resolve(pagePath) });
    await waitForShotPage(evaluate, pageTimeoutMs);
    const wallMs = Date.now() - started;
    const seen = await evaluate(`(() => {
        const shot = window.kestrinShot;
        const marks = {};
        for (const mark of performance.getEntriesByType('mark')) {
          if (mark.name.startsWith('kestrin:')) marks[mark.name.slice(8)] = mark.startTime;
        }
        return { error: shot.error || null, readyAt: shot.readyAt ?? null, marks };
      })()`);
    if (seen.error) throw new Error('the page failed: ' + seen.error);
    return { wallMs, ...seen };
  } catch (error) {
    error.message += '\n' + browser.log();
    throw error;
  } finally {
    await browser.close();
  }
}

// The shot: a grid of quads in the xy plane with a little relief of its own
// (as a scanned or sculpted surface has), each frame's a bend about the y
// axis a little deeper than the last, stretched and squashed in waves that
// travel along it, so that its weights vary as a character's do.
const columns = 1000;
const rows = 500;
const frameCount = 30;
function position(frame, column, row) {
  const relief = 0.004 * Math.sin(column * 12.9898 + row * 78.233) * Math.sin(column * 0.7 + row * 1.3);
  if (frame < 0) return [column * 0.01, row * 0.01, relief];
  const x = column * 0.01 * (1 + 0.1 * Math.sin(0.004 * column + 0.2 * frame));
  const y = row * 0.01 * (1 + 0.08 * Math.sin(0.01 * row + 0.15 * frame));
  const angle = (x - 5) * 0.02 * (frame + 1);
  const z = relief + 0.05 * Math.sin(0.3 * x + 0.2 * frame) * Math.cos(0.2 * y);
  const bendRadius = 1 / (0.02 * (frame + 1));
  return [5 + (bendRadius - z) * Math.sin(angle), y, bendRadius - (bendRadius - z) * Math.cos(angle)];
}
function writeShot(restPath, posesPath) {
  const lines = [];
  for (let row = 0; row < rows; ++row) {
    for (let column = 0; column < columns; ++column) lines.push('v ' + position(-1, column, row).join(' '));
  }
  for (let row = 0; row + 1 < rows; ++row) {
    for (let column = 0; column + 1 < columns; ++column) {
      const a = row * columns + column + 1;
      lines.push(`f ${a} ${a + 1} ${a + columns + 1} ${a + columns}`);
    }
  }
  fs.writeFileSync(restPath, lines.join('\n') + '\n');
  // MDD: big-endian frame and point counts, each frame's time, then x y z
  // per point per frame as big-endian float32.
  const points = columns * rows;
  const file = fs.openSync(posesPath, 'w');
  const header = Buffer.alloc(8 + 4 * frameCount);
  header.writeInt32BE(frameCount, 0);
  header.writeInt32BE(points, 4);
  for (let f = 0; f < frameCount; ++f) header.writeFloatBE(f / 24, 8 + 4 * f);
  fs.writeSync(file, header);
  const frame = Buffer.alloc(points * 12);
  for (let f = 0; f < frameCount; ++f) {
    let at = 0;
    for (let row = 0; row < rows; ++row) {
      for (let column = 0; column < columns; ++column) {
        for (const value of position(f, column, row)) at = frame.writeFloatBE(value, at);
      }
    }
    fs.writeSync(file, frame);
  }
  fs.closeSync(file);
}

const ms = (value) => (value === null || value === undefined ? '-' : Math.round(value) + ' ms');

// A page without readyAt (an older viewer) counts from the driver's clock.
async function report(label, pagePath) {
  const megabytes = fs.statSync(pagePath).size / 1e6;
  const results = [];
  for (let run = 0; run < runs; ++run) {
    const result = await measure(pagePath);
    results.push({ ...result, readyMs: result.readyAt ?? result.wallMs });
  }
  const best = results.reduce((a, b) => (b.readyMs < a.readyMs ? b : a));
  console.log(`  ${label.padEnd(8)} ${megabytes.toFixed(1)} MB (budget ${budgetMb} MB: ` +
              `${megabytes < budgetMb ? 'met' : 'MISSED'})   first frame on screen after ${ms(best.readyMs)}` +
              `   (runs: ${results.map((r) => Math.round(r.readyMs)).join(', ')} ms; target < ${targetMs} ms: ` +
              `${best.readyMs < targetMs ? 'met' : 'MISSED'})`);
  let previous = 0;
  for (const [name, at] of Object.entries(best.marks)) {
    console.log(`      ${name.padEnd(20)} ${String(Math.round(at)).padStart(6)} ms` +
                `   +${String(Math.round(at - previous)).padStart(5)} ms`);
    previous = at;
  }
}

async function main() {
  if (givenPages) {
    for (const pagePath of givenPages) await report(path.basename(pagePath), pagePath);
    return;
  }
  const tool = path.join(buildDir, 'tools', 'kestrin');
  const shot = path.join(scratch, 'shot');
  fs.mkdirSync(shot);
  const rest = path.join(shot, 'rest.obj');
  const poses = path.join(shot, 'poses.mdd');
  writeShot(rest, poses);
  const pages = [
    ['weights', ['weights', '--rest', rest, '--pose', poses]],
    ['morph', ['morph', '--rest', rest, '--stretch-target', rest, '--squash-target', rest, '--pose', poses]],
  ];
  console.log(`Shot page of ${columns * rows} points x ${frameCount} frames in headless Chromium (software WebGL), ` +
              `best of ${runs};`);
  console.log('the page\'s marks of its best opening in ms since navigation, and since the mark before:');
  for (const [kind, words] of pages) {
    const pagePath = path.join(shot, kind + '.html');
    execFileSync(tool, [...words, '-o', pagePath], { stdio: ['ignore', 'ignore', 'inherit'] });
    await report(kind, pagePath);
    fs.rmSync(pagePath);
  }
}

const watchdog = setTimeout(() => {
  process.stderr.write('page_load: gave up after 400 s\n');
  process.exit(2);
}, 400000);

main().then(() => 0, (error) => {
  process.stderr.write('page_load: ' + error.message + '\n');
  return 1;
}).then((code) => {
  clearTimeout(watchdog);
  process.exit(code);
});
