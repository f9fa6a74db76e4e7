// How long a kestrin shot page takes to open: writes the benchmark shot
// (a 500 x 500 grid, 20 poses; bench/shot/) as a weights page and a morph
// page with the tool, opens each in headless Chromium with software WebGL,
// and prints the page's size and the milliseconds from navigation until the
// page has decoded its data and drawn its first frame (best of three
// openings), with the page's own marks of where that time went. A
// measurement, not a test: it exits non-zero only when something fails to
// run, and stops by itself after 110 s.
//
//   node page_load.js BUILD_DIR [CHROMIUM]
//   node page_load.js --pages PAGE.html... (opens pages already written)
//
// BUILD_DIR holds bench/kestrin_make_shot and tools/kestrin (`make bench`
// builds both). Each page opens in its own browser, started in its own
// process group, which is killed whatever happens.
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
const targetMs = 5000;
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
  console.log(`  ${label.padEnd(8)} ${megabytes.toFixed(1)} MB   first frame on screen after ${ms(best.readyMs)}` +
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
  execFileSync(path.join(buildDir, 'bench', 'kestrin_make_shot'), [shot], { stdio: 'inherit' });
  const rest = path.join(shot, 'rest.obj');
  const poses = path.join(shot, 'poses.mdd');
  const pages = [
    ['weights', ['weights', '--rest', rest, '--pose', poses]],
    ['morph', ['morph', '--rest', rest, '--stretch-target', rest, '--squash-target', rest, '--pose', poses]],
  ];
  console.log(`Shot page of 250,000 points x 20 poses in headless Chromium (software WebGL), best of ${runs};`);
  console.log('the page\'s marks of its best opening in ms since navigation, and since the mark before:');
  for (const [kind, words] of pages) {
    const pagePath = path.join(shot, kind + '.html');
    execFileSync(tool, [...words, '-o', pagePath], { stdio: 'ignore' });
    await report(kind, pagePath);
    fs.rmSync(pagePath);
  }
}

const watchdog = setTimeout(() => {
  process.stderr.write('page_load: gave up after 110 s\n');
  process.exit(2);
}, 110000);

main().then(() => 0, (error) => {
  process.stderr.write('page_load: ' + error.message + '\n');
  return 1;
}).then((code) => {
  clearTimeout(watchdog);
  process.exit(code);
});
