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

const { spawn, execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

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
const browsers = new Set();

// The browser and whatever helpers it left, by its process group.
function killBrowser(browser) {
  try {
    process.kill(-browser.pid, 'SIGKILL');
  } catch (ignored) { /* already gone */ }
  browsers.delete(browser);
}

function cleanUp() {
  for (const browser of browsers) killBrowser(browser);
  fs.rmSync(scratch, { recursive: true, force: true });
}
process.on('exit', cleanUp);
for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) {
  process.on(signal, () => process.exit(130));
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// One headless Chromium on the DevTools pipe: JSON messages ending in a NUL
// byte, commands on fd 3, replies and events on fd 4.
function startBrowser() {
  const profile = fs.mkdtempSync(path.join(scratch, 'profile-'));
  const browser = spawn(chromiumPath, [
    '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--hide-scrollbars',
    '--user-data-dir=' + profile, '--window-size=' + width + ',' + height,
    '--remote-debugging-pipe', 'about:blank',
  ], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'], detached: true });
  browsers.add(browser);
  let log = '';
  browser.stderr.on('data', (chunk) => { log = (log + chunk).slice(-4000); });

  let nextId = 1;
  const pending = new Map();
  let incoming = '';
  browser.stdio[4].on('data', (chunk) => {
    incoming += chunk.toString('utf8');
    let end;
    while ((end = incoming.indexOf('\0')) >= 0) {
      const message = JSON.parse(incoming.slice(0, end));
      incoming = incoming.slice(end + 1);
      if (message.id !== undefined && pending.has(message.id)) {
        const { resolve, reject } = pending.get(message.id);
        pending.delete(message.id);
        if (message.error) reject(new Error(JSON.stringify(message.error)));
        else resolve(message.result);
      }
    }
  });
  browser.stdio[3].on('error', () => {});
  browser.on('exit', (code, signal) => {
    for (const { reject } of pending.values()) reject(new Error('Chromium exited (' + (signal || code) + ')'));
    pending.clear();
  });
  const send = (method, params = {}, sessionId = undefined) => {
    const id = nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    browser.stdio[3].write(JSON.stringify(message) + '\0');
    return new Promise((resolve, reject) => pending.set(id, { resolve, reject }));
  };
  const close = async () => {
    const exited = new Promise((resolve) => browser.once('exit', () => resolve(true)));
    if (browser.exitCode === null && browser.signalCode === null) {
      try {
        send('Browser.close').catch(() => {});
      } catch (ignored) { /* pipe already closed */ }
      if ((await Promise.race([exited, sleep(5000)])) !== true) killBrowser(browser);
    }
    killBrowser(browser);
  };
  return { send, close, log: () => log };
}

// Opens `page` in a fresh browser; returns the page's timings in ms from
// the start of navigation.
async function measure(pagePath) {
  const browser = startBrowser();
  try {
    const { targetInfos } = await browser.send('Target.getTargets');
    const target = targetInfos.find((t) => t.type === 'page');
    const { sessionId } = await browser.send('Target.attachToTarget', { targetId: target.targetId, flatten: true });
    const page = (method, params) => browser.send(method, params, sessionId);
    const evaluate = async (expression) => {
      const { result, exceptionDetails } = await page('Runtime.evaluate', { expression, returnByValue: true });
      if (exceptionDetails) throw new Error(expression + ': ' + JSON.stringify(exceptionDetails));
      return result.value;
    };
    await page('Page.enable');
    await page('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: 1, mobile: false });
    const started = Date.now();
    await page('Page.navigate', { url: 'file://' + path.resolve(pagePath) });
    const readyCheck = "!!(window.kestrinShot && (window.kestrinShot.ready || window.kestrinShot.error))";
    while (!(await evaluate(readyCheck))) {
      if (Date.now() - started > pageTimeoutMs) throw new Error('not ready after ' + pageTimeoutMs / 1000 + ' s');
      await sleep(20);
    }
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
