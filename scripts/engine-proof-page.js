// Makes the engine proof page: a .glb and the .exr textures that go with it
// (kestrin weights ... -o mesh.glb -o tension.exr, kestrin morph ... -o
// corrected.exr: either or both), played in the browser as an engine
// material plays them (formats/page/engine_proof.js). One self-contained
// file: three.js, its glTF and EXR loaders (Debian's libjs-three) and the
// files, base64, inside it.
//
// With --picture, also the page in headless Chromium at the last frame (or
// --frame N, from 1) as a PNG: the picture of docs/engines.md.
//
//   node scripts/engine-proof-page.js MESH.glb TEXTURE.exr [TEXTURE.exr] OUT.html [--picture OUT.png [--frame N]]
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');

const args = process.argv.slice(2);
const option = (name) => {
  const at = args.indexOf(name);
  return at < 0 ? null : args.splice(at, 2)[1];
};
const picturePath = option('--picture');
const pictureFrame = option('--frame');
const [meshPath, ...texturePaths] = args;
const outPath = texturePaths.pop();
if (texturePaths.length < 1 || texturePaths.length > 2) {
  process.stderr.write('usage: node engine-proof-page.js MESH.glb TEXTURE.exr [TEXTURE.exr] OUT.html ' +
                       '[--picture OUT.png [--frame N]]\n');
  process.exit(2);
}
const three = process.env.KESTRIN_THREE_DIR || '/usr/share/javascript/three';
const page = path.join(__dirname, '..', 'formats', 'page');
const scripts = [
  path.join(three, 'three.min.js'),
  path.join(three, 'examples/js/loaders/GLTFLoader.js'),
  path.join(three, 'examples/js/loaders/EXRLoader.js'),
  path.join(page, 'camera_framing.js'),
  path.join(page, 'engine_proof.js'),
];
// Each file base64 in a script element, named as the page's label names it.
const escaped = (text) => text.replace(/[&"<>]/g, (c) => `&#${c.charCodeAt(0)};`);
const embed = (attributes, file) =>
  `<script type="application/octet-stream" ${attributes} data-name="${escaped(path.basename(file))}">` +
  fs.readFileSync(file).toString('base64') + '</script>';
const data = [embed('id="kestrin-glb"', meshPath)]
  .concat(texturePaths.map((file) => embed('data-kestrin="exr"', file)))
  .join('\n');
const code = scripts.map((file) => '<script>\n' + fs.readFileSync(file, 'utf8') + '\n</script>').join('\n');
const template = fs.readFileSync(path.join(page, 'engine_proof.html'), 'utf8');
fs.writeFileSync(outPath, template.replace('<!--kestrin:data-->', () => data)
                                  .replace('<!--kestrin:scripts-->', () => code));

if (picturePath) {
  const { startChromium, runDriver, sleep } = require('./chromium_pipe.js');
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrin-chromium-'));
  const browser = startChromium({ width: 800, height: 500, scratch });
  runDriver('engine-proof-page', browser, scratch, async () => {
    const { page, evaluate } = await browser.attachToPage();
    await page('Runtime.enable');
    await page('Page.enable');
    await page('Emulation.setDeviceMetricsOverride', { width: 800, height: 500, deviceScaleFactor: 1, mobile: false });
    await page('Page.navigate', { url: 'file://' + path.resolve(outPath) });
    for (let waited = 0; !(await evaluate('!!(window.kestrinEngine && window.kestrinEngine.ready)')); waited += 100) {
      const failure = await evaluate('window.kestrinEngine && window.kestrinEngine.error');
      if (failure || waited > 60000) throw new Error(failure || 'the page was not ready after 60 s');
      await sleep(100);
    }
    const frame = pictureFrame ? Number(pictureFrame) - 1 : await evaluate("window.kestrinEngine.header['kestrin.frames'] - 1");
    await evaluate(`window.kestrinEngine.showFrame(${frame})`);
    await evaluate('new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)))');
    const { data } = await page('Page.captureScreenshot', { format: 'png' });
    fs.writeFileSync(picturePath, Buffer.from(data, 'base64'));
  });
}
