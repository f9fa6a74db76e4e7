// Headless Chromium driven over the DevTools protocol on a pipe (no port, no
// network), for the shot page's browser test and its load-time benchmark.
// Each browser runs in a process group of its own, which close() and this
// process's exit kill whatever happened, helpers included.
//
//   const { startChromium } = require('.../scripts/chromium_pipe.js');
//   const browser = startChromium({ chromium, width, height, scratch });
//   const { page, evaluate } = await browser.attachToPage();
//   ...
//   await browser.close();
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const live = new Set();

function killGroup(child) {
  try {
    process.kill(-child.pid, 'SIGKILL');
  } catch (ignored) { /* already gone */ }
  live.delete(child);
}
process.on('exit', () => {
  for (const child of live) killGroup(child);
});

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// `scratch`: a directory for the browser's profile, removed on close.
function startChromium({ chromium = '/usr/bin/chromium', width, height, scratch }) {
  const profile = fs.mkdtempSync(path.join(scratch, 'chromium-profile-'));
  const browser = spawn(chromium, [
    '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--hide-scrollbars',
    '--user-data-dir=' + profile, '--window-size=' + width + ',' + height,
    '--remote-debugging-pipe', 'about:blank',
  ], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'], detached: true });
  live.add(browser);
  let log = '';
  browser.stderr.on('data', (chunk) => { log = (log + chunk).slice(-4000); });

  // JSON messages ending in a NUL byte, commands on fd 3, replies and
  // events on fd 4.
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

  // The browser's one page: `page(method, params)` sends to it, `evaluate`
  // returns an expression's value (awaiting a promise).
  const attachToPage = async () => {
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
    return { page, evaluate };
  };

  const close = async () => {
    const exited = new Promise((resolve) => browser.once('exit', () => resolve(true)));
    if (browser.exitCode === null && browser.signalCode === null) {
      try {
        send('Browser.close').catch(() => {});
      } catch (ignored) { /* pipe already closed */ }
      if ((await Promise.race([exited, sleep(5000)])) !== true) killGroup(browser);
    }
    killGroup(browser);
    fs.rmSync(profile, { recursive: true, force: true });
  };

  return { send, attachToPage, close, onEvent: (listener) => listeners.push(listener), log: () => log };
}

// Waits until the shot page is ready (or failed); throws after timeoutMs.
async function waitForShotPage(evaluate, timeoutMs) {
  const started = Date.now();
  const readyCheck = '!!(window.kestrinShot && (window.kestrinShot.ready || window.kestrinShot.error))';
  while (!(await evaluate(readyCheck))) {
    if (Date.now() - started > timeoutMs) throw new Error('the page was not ready after ' + timeoutMs / 1000 + ' s');
    await sleep(20);
  }
  const failure = await evaluate('window.kestrinShot.error || null');
  if (failure) throw new Error('the page failed: ' + failure);
}

// Runs a driver script's `main` against `browser` and exits: 0 when it
// succeeds, 1 when it throws, 2 when it takes longer than timeoutMs. The
// browser is closed and `scratch` removed in every case; a failure prints
// `name`, the reason and the browser's last words.
function runDriver(name, browser, scratch, main, timeoutMs = 120000) {
  const watchdog = setTimeout(() => {
    process.stderr.write(name + ': gave up after ' + timeoutMs / 1000 + ' s\n' + browser.log());
    process.exit(2);
  }, timeoutMs);
  main().then(() => 0, (error) => {
    process.stderr.write(name + ': ' + error.message + '\n' + browser.log());
    return 1;
  }).then(async (code) => {
    clearTimeout(watchdog);
    await browser.close();
    fs.rmSync(scratch, { recursive: true, force: true });
    process.exit(code);
  });
}

// The pages' exceptions, console errors and error log entries, collected as
// they happen into the array returned.
function collectPageErrors(browser) {
  const errors = [];
  browser.onEvent((message) => {
    const p = message.params || {};
    if (message.method === 'Runtime.exceptionThrown') {
      errors.push('exception: ' + (p.exceptionDetails.exception?.description || p.exceptionDetails.text));
    } else if (message.method === 'Runtime.consoleAPICalled' && p.type === 'error') {
      errors.push('console.error: ' + p.args.map((a) => a.value ?? a.description).join(' '));
    } else if (message.method === 'Log.entryAdded' && p.entry.level === 'error') {
      errors.push('log: ' + p.entry.text);
    }
  });
  return errors;
}

// A test's driver: a browser of width x height in a scratch directory of
// its own, run as runDriver runs it. main gets the page's `page` and
// `evaluate`, the `errors` collected, and `drawn()`, which resolves once
// the page's next frame has reached the screen.
function driveBrowser(name, { chromium, width, height }, main) {
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrin-chromium-'));
  const browser = startChromium({ chromium, width, height, scratch });
  runDriver(name, browser, scratch, async () => {
    const errors = collectPageErrors(browser);
    const { page, evaluate } = await browser.attachToPage();
    const drawn = () => evaluate('new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)))');
    await main({ page, evaluate, errors, drawn });
  });
}

module.exports = { startChromium, waitForShotPage, runDriver, sleep, collectPageErrors, driveBrowser };
