// Runs the Khronos glTF validator (scripts/node/node_modules, put there by
// scripts/install-deps.sh) on a .glb and prints its JSON report.
//
//   node validate_glb.js MESH.glb > report.json
'use strict';

const fs = require('fs');
const path = require('path');
const validator = require(path.join(__dirname, '../../scripts/node/node_modules/gltf-validator'));

const file = process.argv[2];
validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
  uri: path.basename(file),
  maxIssues: 100,
  externalResourceFunction: () => Promise.reject(new Error('a .glb needs no other file')),
}).then((report) => {
  process.stdout.write(JSON.stringify(report, null, 1));
}, (error) => {
  process.stdout.write(String(error));
  process.exit(1);
});
