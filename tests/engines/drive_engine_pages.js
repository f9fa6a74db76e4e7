// Opens the engine proof page and the shot page of the same shot in
// headless Chromium (DevTools protocol on a pipe), moves both to the last
// frame, and writes OUT/results.json: the colours the proof page's vertex
// shader gives each vertex (with the vertex's point), the shot page's
// colour of every point, where the proof page draws the mesh and what its
// label says; the C++ test judges them. Also OUT/proof.png.
//
//   node drive_engine_pages.js CHROMIUM PROOF.html SHOT.html OUT
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { startChromium, waitForShotPage, runDriver, sleep, collectPageErrors } = require('../../scripts/chromium_pipe.js');

const [chromiumPath, proofPath, shotPath, outDir] = process.argv.slice(2);
const width = 800;
const height = 500;
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrin-chromium-'));
const browser = startChromium({ chromium: chromiumPath, width, height, scratch });

async function open(file) {
  const { page, evaluate } = await browser.attachToPage();
  await page('Runtime.enable');
  await page('Page.enable');
  await page('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: 1, mobile: false });
  await page('Page.navigate', { url: 'file://' + path.resolve(file) });
  return { page, evaluate };
}

async function main() {
  const errors = collectPageErrors(browser);

  const shot = await open(shotPath);
  await waitForShotPage(shot.evaluate, 60000);
  const frame = await shot.evaluate('window.kestrinShot.index.frames.length - 1');
  // The page draws a frame it has not read yet once it has, later; with
  // every frame read, the slider's frame is the one drawn when it returns.
  await shot.evaluate(`(async () => { await window.kestrinShot.decoded;
      const slider = document.getElementById('frame');
      slider.value = '${frame}'; slider.dispatchEvent(new Event('input'));
      if (window.kestrinShot.frame() !== ${frame}) throw new Error('the slider did not move'); })()`);
  const shotColours = await shot.evaluate('Array.from(window.kestrinShot.colours())');

  const proof = await open(proofPath);
  for (let waited = 0; ; waited += 100) {
    const state = await proof.evaluate('window.kestrinEngine ? { ready: window.kestrinEngine.ready, error: window.kestrinEngine.error } : null');
    if (state && state.error) throw new Error('proof page: ' + state.error);
    if (state && state.ready) break;
    if (waited > 60000) throw new Error('proof page not ready after 60 s');
    await sleep(100);
  }
  await proof.evaluate(`window.kestrinEngine.showFrame(${frame})`);
  const engineColours = await proof.evaluate(`window.kestrinEngine.vertexColours(${frame})`);
  const drawn = await proof.evaluate('window.kestrinEngine.drawnBox()');
  const caption = await proof.evaluate("document.getElementById('about').textContent");
  await proof.evaluate('new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)))');
  const { data } = await proof.page('Page.captureScreenshot', { format: 'png' });
  fs.writeFileSync(path.join(outDir, 'proof.png'), Buffer.from(data, 'base64'));
  fs.writeFileSync(path.join(outDir, 'results.json'), JSON.stringify({ errors, frame, shotColours, engineColours, drawn, caption }));
}

runDriver('drive_engine_pages', browser, scratch, main);
