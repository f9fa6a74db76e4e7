// Opens a kestrin shot page in headless Chromium and uses it as a person
// would, through the DevTools protocol on a pipe (no port, no network):
// reads what the page decoded, moves the frame slider with the keyboard (to
// the last frame, one back, the first), points the mouse at the arm, and
// takes screenshots. Writes what it saw to
// OUT/results.json and OUT/last.png, OUT/first.png; the C++ test judges it.
//
//   node drive_shot_page.js CHROMIUM PAGE.html OUT STRETCH_POINT SQUASH_POINT
//
// The mouse goes 0.3 of the way from the first point to the second as drawn at
// the last frame: on the arm, well inside its outline.
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const [chromiumPath, pagePath, outDir, stretchArg, squashArg] = process.argv.slice(2);
const stretchPoint = Number(stretchArg);
const squashPoint = Number(squashArg);
const width = 800;
const height = 500;

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrin-chromium-'));
const browser = spawn(chromiumPath, [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--hide-scrollbars',
  '--user-data-dir=' + profile, '--window-size=' + width + ',' + height,
  '--remote-debugging-pipe', 'about:blank',
], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
let browserLog = '';
browser.stderr.on('data', (chunk) => { browserLog += chunk; });

// The protocol: JSON messages ending in a NUL byte, commands on fd 3,
// replies and events on fd 4.
let nextId = 1;
const pending = new Map();
const listeners = [];
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
    } else {
      for (const listener of listeners) listener(message);
    }
  }
});

function send(method, params = {}, sessionId = undefined) {
  const id = nextId++;
  const message = { id, method, params };
  if (sessionId) message.sessionId = sessionId;
  browser.stdio[3].write(JSON.stringify(message) + '\0');
  return new Promise((resolve, reject) => pending.set(id, { resolve, reject }));
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function main() {
  const errors = [];
  listeners.push((message) => {
    const p = message.params || {};
    if (message.method === 'Runtime.exceptionThrown') {
      errors.push('exception: ' + (p.exceptionDetails.exception?.description || p.exceptionDetails.text));
    } else if (message.method === 'Runtime.consoleAPICalled' && p.type === 'error') {
      errors.push('console.error: ' + p.args.map((a) => a.value ?? a.description).join(' '));
    } else if (message.method === 'Log.entryAdded' && p.entry.level === 'error') {
      errors.push('log: ' + p.entry.text);
    }
  });

  const { targetInfos } = await send('Target.getTargets');
  const target = targetInfos.find((t) => t.type === 'page');
  const { sessionId } = await send('Target.attachToTarget', { targetId: target.targetId, flatten: true });
  const page = (method, params) => send(method, params, sessionId);
  const evaluate = async (expression) => {
    const { result, exceptionDetails } = await page('Runtime.evaluate',
      { expression, returnByValue: true, awaitPromise: true });
    if (exceptionDetails) throw new Error(expression + ': ' + JSON.stringify(exceptionDetails));
    return result.value;
  };
  const drawn = () => evaluate('new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)))');
  const key = async (name, code) => {
    for (const type of ['rawKeyDown', 'keyUp']) {
      await page('Input.dispatchKeyEvent', { type, key: name, code: name, windowsVirtualKeyCode: code });
    }
    await drawn();
  };
  const screenshot = async (file) => {
    const { data } = await page('Page.captureScreenshot', { format: 'png' });
    fs.writeFileSync(path.join(outDir, file), Buffer.from(data, 'base64'));
  };
  const shown = () => evaluate(`({
      frame: document.getElementById('frame-label').textContent,
      point: document.getElementById('readout-point')?.textContent ?? null,
      weight: document.getElementById('readout-weight')?.textContent ?? null,
      moved: document.getElementById('readout-moved')?.textContent ?? null })`);

  await page('Runtime.enable');
  await page('Log.enable');
  await page('Page.enable');
  await page('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: 1, mobile: false });
  const started = Date.now();
  await page('Page.navigate', { url: 'file://' + path.resolve(pagePath) });
  while (!(await evaluate('!!(window.kestrinShot && (window.kestrinShot.ready || window.kestrinShot.error))'))) {
    if (Date.now() - started > 60000) throw new Error('the page did not get ready in 60 s');
    await sleep(100);
  }
  const loadSeconds = (Date.now() - started) / 1000;
  const failure = await evaluate('window.kestrinShot.error || null');
  if (failure) throw new Error('the page failed: ' + failure);

  const decoded = await evaluate(`(() => {
      const shot = window.kestrinShot;
      const frames = [];
      for (let f = 0; f < shot.index.frames.length; ++f) {
        const corrected = shot.corrected(f);
        const weights = shot.weights(f);
        frames.push({ pose: Array.from(shot.pose(f)), corrected: corrected && Array.from(corrected),
                      weights: weights && Array.from(weights) });
      }
      return { kind: shot.index.kind, points: shot.index.points, frames };
    })()`);

  // The frame slider, as a keyboard user moves it.
  await evaluate("document.getElementById('frame').focus()");
  await key('End', 35);
  const stretchAt = await evaluate(`window.kestrinShot.screenPosition(${stretchPoint})`);
  const squashAt = await evaluate(`window.kestrinShot.screenPosition(${squashPoint})`);
  const mouse = { x: stretchAt.x + 0.3 * (squashAt.x - stretchAt.x), y: stretchAt.y + 0.3 * (squashAt.y - stretchAt.y) };
  await page('Input.dispatchMouseEvent', { type: 'mouseMoved', x: mouse.x, y: mouse.y });
  await drawn();
  const last = await shown();
  await screenshot('last.png');
  await key('ArrowLeft', 37);
  const before = await shown();
  await key('Home', 36);
  const first = await shown();
  await screenshot('first.png');

  const results = { loadSeconds, errors, decoded, stretchAt, squashAt, mouse, last, before, first };
  fs.writeFileSync(path.join(outDir, 'results.json'), JSON.stringify(results));
}

const watchdog = setTimeout(() => {
  process.stderr.write('drive_shot_page: gave up after 120 s\n' + browserLog);
  browser.kill('SIGKILL');
  process.exit(2);
}, 120000);

main().then(() => 0, (error) => {
  process.stderr.write('drive_shot_page: ' + error.message + '\n' + browserLog.slice(-4000));
  return 1;
}).then(async (code) => {
  clearTimeout(watchdog);
  try {
    browser.stdio[3].write(JSON.stringify({ id: nextId++, method: 'Browser.close' }) + '\0');
  } catch (ignored) { /* already gone */ }
  const exited = new Promise((resolve) => browser.once('exit', resolve));
  if (browser.exitCode === null && (await Promise.race([exited.then(() => true), sleep(5000)])) !== true) {
    browser.kill('SIGKILL');
  }
  fs.rmSync(profile, { recursive: true, force: true });
  process.exit(code);
});
