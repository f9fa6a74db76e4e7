// The demo's correction before and after, as docs/demo_correction.png: the
// shot page that `kestrin demo` writes, at one frame and from one camera,
// with "corrected" unticked and ticked, side by side, each labelled. The
// page is used as a person uses it (the slider, a drag to turn the view,
// the check box) in headless Chromium; also writes the whole page at that
// frame, uncorrected, as docs/demo_shot.png shows it.
//
//   node scripts/correction-picture.js [out/demo/shot.html] [docs/demo_correction.png] [docs/demo_shot.png]
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { startChromium, waitForShotPage, runDriver } = require('./chromium_pipe.js');

const root = path.join(__dirname, '..');
const [pagePath = path.join(root, 'out/demo/shot.html'),
  outPath = path.join(root, 'docs/demo_correction.png'),
  shotPath = path.join(root, 'docs/demo_shot.png')] = process.argv.slice(2);
const width = 800;
const height = 500;
// The last frame (120 degrees), turned to look into the inner elbow from
// above the arm; each half is the elbow's neighbourhood, drawn at twice
// the page's resolution.
const frame = 4;
const drag = { x: 30, y: 40 };
// The inside of the elbow's middle ring (20 of 41 rings of 24 points),
// where the fold is: the middle of each half.
const foldPoint = 20 * 24;
const crop = { width: 300, height: 220 };
const scale = 2;

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrin-chromium-'));
const browser = startChromium({ width, height, scratch });

async function main() {
  const { page, evaluate } = await browser.attachToPage();
  await page('Runtime.enable');
  await page('Page.enable');
  const drawn = () => evaluate('new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)))');
  const mouse = (type, x, y, buttons) =>
    page('Input.dispatchMouseEvent', { type, x, y, button: buttons || type === 'mouseReleased' ? 'left' : 'none',
                                       buttons, clickCount: type === 'mouseMoved' ? 0 : 1 });
  const shoot = async (clip) => {
    const { data } = await page('Page.captureScreenshot', { format: 'png', ...(clip && { clip }) });
    return Buffer.from(data, 'base64');
  };

  await page('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: 1, mobile: false });
  await page('Page.navigate', { url: 'file://' + path.resolve(pagePath) });
  await waitForShotPage(evaluate, 60000);
  // Every frame read first: a frame not read yet would be drawn later.
  await evaluate(`(async () => { await window.kestrinShot.decoded;
      const slider = document.getElementById('frame');
      slider.value = '${frame}'; slider.dispatchEvent(new Event('input')); })()`);
  await drawn();
  fs.writeFileSync(shotPath, await shoot());

  await page('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: scale, mobile: false });
  const from = { x: width * 0.4, y: height * 0.5 };
  await mouse('mouseMoved', from.x, from.y, 0);
  await mouse('mousePressed', from.x, from.y, 1);
  for (let step = 1; step <= 10; ++step) {
    await mouse('mouseMoved', from.x + drag.x * step / 10, from.y + drag.y * step / 10, 1);
  }
  await mouse('mouseReleased', from.x + drag.x, from.y + drag.y, 0);
  await mouse('mouseMoved', width - 1, 1, 0);  // off the arm: no point readout
  await drawn();
  const fold = await evaluate(`window.kestrinShot.screenPosition(${foldPoint})`);
  const clip = { x: Math.round(fold.x - crop.width / 2), y: Math.round(fold.y - crop.height / 2),
                 width: crop.width, height: crop.height, scale: 1 };
  const halves = [];
  for (const corrected of [false, true]) {
    await evaluate(`(() => { const box = document.getElementById('corrected');
        box.checked = ${corrected}; box.dispatchEvent(new Event('change')); })()`);
    await drawn();
    halves.push((await shoot(clip)).toString('base64'));
  }

  // The two halves with their labels, drawn by the browser too.
  const label = `frame ${frame + 1} of the demo (bent 120 degrees), the same camera`;
  const composed = path.join(scratch, 'pair.html');
  fs.writeFileSync(composed, `<!DOCTYPE html><html><body style="margin:0;background:#fff;
      font:15px/1.3 system-ui,sans-serif;color:#282828">
    <div style="display:flex">${['as posed', 'corrected by the Strainshaper'].map((title, i) => `
      <figure style="margin:0;width:${crop.width}px">
        <img style="display:block;width:${crop.width}px;height:${crop.height}px"
             src="data:image/png;base64,${halves[i]}">
        <figcaption style="text-align:center;padding:4px 0">${title}</figcaption>
      </figure>`).join('')}</div>
    <div style="text-align:center;font-size:13px;color:#555;padding-bottom:6px">${label}</div>
    </body></html>`);
  const pairHeight = crop.height + 50;
  await page('Emulation.setDeviceMetricsOverride',
             { width: crop.width * 2, height: pairHeight, deviceScaleFactor: scale, mobile: false });
  await page('Page.navigate', { url: 'file://' + composed });
  await evaluate('new Promise((r) => document.readyState === "complete" ? r() : addEventListener("load", r))');
  fs.writeFileSync(outPath, await shoot());
}

runDriver('correction-picture', browser, scratch, main);
