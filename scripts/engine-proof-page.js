// Makes the engine proof page: a .glb and the .exr texture that goes with it
// (kestrin weights ... -o mesh.glb -o tension.exr), played in the browser as
// an engine material plays them (formats/page/engine_proof.js). One
// self-contained file: three.js, its glTF and EXR loaders (Debian's
// libjs-three) and both files, base64, inside it.
//
//   node scripts/engine-proof-page.js MESH.glb TEXTURE.exr OUT.html
'use strict';

const fs = require('fs');
const path = require('path');

const [meshPath, texturePath, outPath] = process.argv.slice(2);
if (!outPath) {
  process.stderr.write('usage: node engine-proof-page.js MESH.glb TEXTURE.exr OUT.html\n');
  process.exit(2);
}
const three = process.env.KESTRIN_THREE_DIR || '/usr/share/javascript/three';
const page = path.join(__dirname, '..', 'formats', 'page');
const scripts = [
  path.join(three, 'three.min.js'),
  path.join(three, 'examples/js/loaders/GLTFLoader.js'),
  path.join(three, 'examples/js/loaders/EXRLoader.js'),
  path.join(page, 'engine_proof.js'),
];
const data = [['kestrin-glb', meshPath], ['kestrin-exr', texturePath]]
  .map(([id, file]) => `<script type="application/octet-stream" id="${id}">` +
                       fs.readFileSync(file).toString('base64') + '</script>')
  .join('\n');
const code = scripts.map((file) => '<script>\n' + fs.readFileSync(file, 'utf8') + '\n</script>').join('\n');
const template = fs.readFileSync(path.join(page, 'engine_proof.html'), 'utf8');
fs.writeFileSync(outPath, template.replace('<!--kestrin:data-->', () => data)
                                  .replace('<!--kestrin:scripts-->', () => code));
