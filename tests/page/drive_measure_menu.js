// Opens a shot page of several measures in headless Chromium, chooses each
// measure in its menu as a person would and reads what the page then shows
// (every point's colour, the legend's title, the readout under the mouse,
// the address); then opens each measure's page of its own at the same frame
// and reads its colours. Writes what it saw to OUT/results.json; the C++
// test judges it.
//
//   node drive_measure_menu.js CHROMIUM OUT ADDRESS POINT MENU_PAGE.html ALONE_PAGE.html...
//
// ADDRESS ("#frame=3") is where every page opens; the mouse rests on POINT.
'use strict';

const fs = require('fs');
const path = require('path');
const { waitForShotPage, driveBrowser } = require('../../scripts/chromium_pipe.js');

const [chromiumPath, outDir, address, pointArg, menuPage, ...alonePages] = process.argv.slice(2);
const width = 800;
const height = 500;

async function main({ page, evaluate, errors, drawn }) {
  await page('Runtime.enable');
  await page('Page.enable');
  await page('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor: 1, mobile: false });
  const open = async (file) => {
    await page('Page.navigate', { url: 'file://' + path.resolve(file) + address });
    await waitForShotPage(evaluate, 60000);
  };
  const colours = () => evaluate('Array.from(window.kestrinShot.colours())');

  await open(menuPage);
  const at = await evaluate(`window.kestrinShot.screenPosition(${Number(pointArg)})`);
  await page('Input.dispatchMouseEvent', { type: 'mouseMoved', x: at.x, y: at.y });
  const options = await evaluate(`Array.from(document.getElementById('measure').options,
      (option) => ({ name: option.value, label: option.textContent, help: option.title }))`);
  const menuVisible = await evaluate("getComputedStyle(document.getElementById('measure')).display !== 'none'");
  const shown = [];
  for (const option of options) {
    await evaluate(`(() => { const menu = document.getElementById('measure');
        menu.value = ${JSON.stringify(option.name)}; menu.dispatchEvent(new Event('change')); })()`);
    await drawn();
    shown.push(await evaluate(`({ measure: window.kestrinShot.measure(),
        legend: document.getElementById('legend-title').textContent,
        readout: document.getElementById('readout').textContent,
        address: window.location.hash })`));
    shown[shown.length - 1].colours = await colours();
  }
  const alone = [];
  for (const file of alonePages) {
    await open(file);
    alone.push({ colours: await colours(), menuVisible: await evaluate("document.body.classList.contains('measures')") });
  }
  fs.writeFileSync(path.join(outDir, 'results.json'), JSON.stringify({ errors, options, menuVisible, shown, alone }));
}

driveBrowser('drive_measure_menu', { chromium: chromiumPath, width, height }, main);
