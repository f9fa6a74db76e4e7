// Opens a kestrin shot page in headless Chromium and uses it as a person
// would, through the DevTools protocol on a pipe (no port, no network):
// reads what the page decoded, moves the frame slider with the keyboard (to
// the last frame, one back, the first), points the mouse at the arm, takes
// screenshots, reads the last frame's colours by weight, then by movement.
// Opens the page at ADDRESS ("#frame=12") when given. Writes what it saw to
// OUT/results.json and OUT/last.png, OUT/first.png; the C++ test judges it.
//
//   node drive_shot_page.js CHROMIUM PAGE.html OUT STRETCH_POINT SQUASH_POINT [ADDRESS]
//
// The mouse goes 0.3 of the way from the first point to the second as drawn at
// the last frame: on the arm, well inside its outline.
'use strict';

const fs = require('fs');
const path = require('path');
const { waitForShotPage, driveBrowser } = require('../../scripts/chromium_pipe.js');

const [chromiumPath, pagePath, outDir, stretchArg, squashArg, address = ''] = process.argv.slice(2);
const stretchPoint = Number(stretchArg);
const squashPoint = Number(squashArg);
const width = 800;
const height = 500;

async function main({ page, evaluate, errors, drawn }) {
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
      moved: document.getElementById('readout-moved')?.textContent ?? null,
      index: window.kestrinShot.frame(),
      address: window.location.hash,
      at: window.kestrinShot.screenPosition(${stretchPoint}) })`);

  await page('Runtime.enable');
  await page('Log.enable');
  await page('Page.enable');
  await page('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: 1, mobile: false });
  const started = Date.now();
  await page('Page.navigate', { url: 'file://' + path.resolve(pagePath) + address });
  await waitForShotPage(evaluate, 60000);
  const loadSeconds = (Date.now() - started) / 1000;
  const opened = await shown();

  const decoded = await evaluate(`(async () => {
      const shot = window.kestrinShot;
      await shot.decoded;
      const frames = [];
      for (let f = 0; f < shot.index.frames.length; ++f) {
        const corrected = shot.corrected(f);
        const weights = shot.weights(f);
        const displacement = shot.displacement ? shot.displacement(f) : null;
        frames.push({ pose: Array.from(shot.pose(f)), corrected: corrected && Array.from(corrected),
                      displacement: displacement && Array.from(displacement),
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
  const weightColours = await evaluate('Array.from(window.kestrinShot.colours())');
  await screenshot('last.png');
  await key('ArrowLeft', 37);
  const before = await shown();
  await key('Home', 36);
  const first = await shown();
  await screenshot('first.png');

  // Coloured by how far each point moved, as the menu sets it.
  await evaluate(`(() => { const menu = document.getElementById('colouring');
      menu.value = 'moved'; menu.dispatchEvent(new Event('change')); })()`);
  await evaluate("document.getElementById('frame').focus()");
  await key('End', 35);
  const movedColours = await evaluate('Array.from(window.kestrinShot.colours())');

  const results = { loadSeconds, errors, decoded, stretchAt, squashAt, mouse, opened, last, before, first,
                    weightColours, movedColours };
  fs.writeFileSync(path.join(outDir, 'results.json'), JSON.stringify(results));
}

driveBrowser('drive_shot_page', { chromium: chromiumPath, width, height }, main);
