// The viewer inside a kestrin shot page: decodes the frames the tool wrote
// into the page (layout in formats/page/shot_page.h), draws the posed mesh as
// a heat map with three.js, and lets the user orbit, scrub, play and point at
// a point to read its weight. window.kestrinShot offers the decoded data and
// the current state to scripts (the tool's browser test uses it); its `ready`
// turns true once the first frame is on screen, `readyAt` then holding the
// milliseconds since navigation. Performance marks named "kestrin:..." record
// where the opening time goes (bench/page/page_load.js prints them).
(function () {
  'use strict';
  performance.mark('kestrin:viewer-start');

  // The tool's colour map (tools/colour_map.cpp): blue squash, white rest,
  // red stretch; movement runs from white to purple.
  const squashEnd = [33, 102, 172];
  const stretchEnd = [178, 24, 43];
  const movedEnd = [84, 39, 143];
  const grey = [128, 128, 128];

  const shot = JSON.parse(document.getElementById('kestrin-shot').textContent);
  const pointCount = shot.points;
  const frameCount = shot.frames.length;
  const isMorph = shot.kind === 'morph';
  const anyWeights = shot.frames.some((frame) => frame.weights !== null);
  // The shot's own frame numbers (a chunk of frames 11-20 shows 11 to 20),
  // which the label and a link to a frame use.
  const shotFrames = frameCount === 0 ? ''
    : frameCount === 1 ? String(shot.frames[0].frame)
    : shot.frames[0].frame + '-' + shot.frames[frameCount - 1].frame;

  const element = (id) => document.getElementById(id);
  const slider = element('frame');
  const frameLabel = element('frame-label');
  const playButton = element('play');
  const correctedBox = element('corrected');
  const colouringMenu = element('colouring');
  const readout = element('readout');

  // ---- decoding ---------------------------------------------------------

  // A table lookup per character straight from the block's text: twice
  // to four times as fast as atob and a copy out of its binary string, which
  // counts on a page of a hundred megabytes.
  const base64Codes = new Uint8Array(128);
  const base64Alphabet = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';
  for (let i = 0; i < 64; ++i) base64Codes[base64Alphabet.charCodeAt(i)] = i;

  // The data blocks are comments in the body, "kestrin-block-N BASE64".
  const blockComments = new Map();
  for (const node of document.body.childNodes) {
    if (node.nodeType === Node.COMMENT_NODE && node.data.startsWith('kestrin-block-')) {
      blockComments.set(node.data.slice(0, node.data.indexOf(' ')), node);
    }
  }

  function blockBytes(id) {
    const text = blockComments.get(id).data;
    const code = (i) => base64Codes[text.charCodeAt(i) & 127];
    const start = id.length + 1;
    let end = text.length;
    while (end > start && text.charCodeAt(end - 1) === 61) --end;  // '=' padding
    const bytes = new Uint8Array(((end - start) * 3) >> 2);
    const whole = start + ((end - start) & ~3);
    let out = 0;
    for (let i = start; i < whole; i += 4) {
      const group = code(i) << 18 | code(i + 1) << 12 | code(i + 2) << 6 | code(i + 3);
      bytes[out] = group >> 16;
      bytes[out + 1] = group >> 8;
      bytes[out + 2] = group;
      out += 3;
    }
    if (end - whole >= 2) {
      const group = code(whole) << 18 | code(whole + 1) << 12 | (end - whole === 3 ? code(whole + 2) << 6 : 0);
      bytes[out] = group >> 16;
      if (end - whole === 3) bytes[out + 1] = group >> 8;
    }
    return bytes;
  }

  // float32 x 3 per point, or 16-bit codes that each axis maps to
  // offset + code * step: the writer's arithmetic, in double, then float32.
  function decodeTriples(entry, Codes, offset, step) {
    const bytes = blockBytes(entry.block);
    if (entry.encoding === 'f32') return new Float32Array(bytes.buffer, 0, pointCount * 3);
    const codes = new Codes(bytes.buffer, 0, pointCount * 3);
    const out = new Float32Array(pointCount * 3);
    for (let axis = 0; axis < 3; ++axis) {
      const low = offset(axis);
      const size = step(axis);
      for (let i = axis; i < out.length; i += 3) out[i] = low + codes[i] * size;
    }
    return out;
  }
  // Positions on the frame's box.
  const decodePositions = (entry) =>
    decodeTriples(entry, Uint16Array, (axis) => entry.min[axis], (axis) => (entry.max[axis] - entry.min[axis]) / 65535);
  // Each point's move from its pose, symmetric about 0: code 0, a point that
  // did not move, gives exactly 0.
  const decodeDisplacement = (entry) => decodeTriples(entry, Int16Array, () => 0, (axis) => entry.scale[axis] / 32767);

  // block id (or "corrected-F") -> typed array; frames may share weights
  const decoded = new Map();
  function cached(id, decode) {
    if (!decoded.has(id)) decoded.set(id, decode());
    return decoded.get(id);
  }
  const pose = (f) => cached(shot.frames[f].pose.block, () => decodePositions(shot.frames[f].pose));
  const displacement = (f) => isMorph
    ? cached(shot.frames[f].displacement.block, () => decodeDisplacement(shot.frames[f].displacement))
    : null;
  // The corrected mesh as the pose moved by its displacement: a point that
  // did not move stays exactly where the pose has it.
  const corrected = (f) => isMorph
    ? cached('corrected-' + f, () => {
      const from = pose(f);
      const by = displacement(f);
      const out = new Float32Array(pointCount * 3);
      for (let i = 0; i < out.length; ++i) out[i] = from[i] + by[i];
      return out;
    })
    : null;
  const weights = (f) => {
    const entry = shot.frames[f].weights;
    return entry === null ? null : cached(entry.block, () => new Float32Array(blockBytes(entry.block).buffer));
  };
  const triangles = new Uint32Array(blockBytes(shot.triangles.block).buffer);
  performance.mark('kestrin:triangles-decoded');

  // ---- colours ----------------------------------------------------------

  const f32 = Math.fround;
  function mix(from, to, amount) {
    return Math.round(f32(from + f32(f32(to - from) * amount)));
  }
  // Each writes one colour, 0..255 divided by `unit`, at out[at..at+2]: with
  // unit 255 straight into the heat attribute, with no array per point.
  function putDivergingColour(weight, range, out, at, unit) {
    let end = grey;
    let reach = 1;
    if (!Number.isNaN(weight)) {
      let amount = range > 0 ? f32(weight / range) : 0;
      amount = Math.max(-1, Math.min(1, amount));
      end = amount < 0 ? squashEnd : stretchEnd;
      reach = Math.abs(amount);
    }
    out[at] = mix(255, end[0], reach) / unit;
    out[at + 1] = mix(255, end[1], reach) / unit;
    out[at + 2] = mix(255, end[2], reach) / unit;
  }
  function putMovedColour(length, out, at, unit) {
    const amount = shot.largestMove > 0 ? Math.min(1, length / shot.largestMove) : 0;
    out[at] = mix(255, movedEnd[0], amount) / unit;
    out[at + 1] = mix(255, movedEnd[1], amount) / unit;
    out[at + 2] = mix(255, movedEnd[2], amount) / unit;
  }
  function divergingColour(weight, range) {
    const rgb = [0, 0, 0];
    putDivergingColour(weight, range, rgb, 0, 1);
    return rgb;
  }
  function movedColour(length) {
    const rgb = [0, 0, 0];
    putMovedColour(length, rgb, 0, 1);
    return rgb;
  }
  const css = (rgb) => 'rgb(' + rgb.join(',') + ')';

  // The shortest text that reads back as the same float32, as the CSV's.
  function floatText(value) {
    if (!Number.isFinite(value)) return String(value);
    for (let digits = 1; digits <= 9; ++digits) {
      const text = value.toPrecision(digits);
      if (f32(Number(text)) === value) return String(Number(text));
    }
    return String(value);
  }
  function rangeText(value) {
    return value === 0 ? '0' : (value > 0 ? '+' : '') + String(Number(value.toPrecision(3)));
  }

  // ---- scene ------------------------------------------------------------

  const state = { frame: 0, showCorrected: false, colouring: anyWeights ? 'weight' : 'moved',
                  pointer: null, picked: -1, playing: false, playStart: 0, playFrom: 0 };

  // Multisampling costs a software renderer (no GPU, or a headless browser)
  // most of a second a frame on a mesh of half a million triangles, more than
  // the rest of opening the page; a GPU does it for next to nothing.
  function softwareRenderer() {
    const gl = document.createElement('canvas').getContext('webgl');
    if (!gl) return false;
    const info = gl.getExtension('WEBGL_debug_renderer_info');
    const name = String(gl.getParameter(info ? info.UNMASKED_RENDERER_WEBGL : gl.RENDERER));
    const lose = gl.getExtension('WEBGL_lose_context');
    if (lose) lose.loseContext();
    return /swiftshader|llvmpipe|softpipe|software/i.test(name);
  }

  let renderer;
  try {
    renderer = new THREE.WebGLRenderer({ antialias: !softwareRenderer() });
  } catch (failure) {
    const message = element('message');
    message.textContent = 'This browser could not start WebGL, which the viewer needs: ' + failure.message;
    message.style.display = 'block';
    window.kestrinShot = { ready: false, error: String(failure.message) };
    return;
  }
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  renderer.setClearColor(0xececec);
  element('view').appendChild(renderer.domElement);
  performance.mark('kestrin:renderer-created');

  const positionAttribute = new THREE.BufferAttribute(new Float32Array(pointCount * 3), 3);
  const heatAttribute = new THREE.BufferAttribute(new Float32Array(pointCount * 3), 3);
  const geometry = new THREE.BufferGeometry();
  geometry.setIndex(new THREE.BufferAttribute(triangles, 1));
  geometry.setAttribute('position', positionAttribute);
  geometry.setAttribute('heat', heatAttribute);

  // Shaded as the tool's PNG: two-sided, 0.35 ambient + 0.65 |n . light|,
  // the light fixed to the view.
  const material = new THREE.ShaderMaterial({
    uniforms: { light: { value: new THREE.Vector3(-0.4, 0.6, 1.0).normalize() } },
    vertexShader: [
      'attribute vec3 heat;',
      'varying vec3 vHeat;',
      'varying vec3 vNormal;',
      'void main() {',
      '  vHeat = heat;',
      '  vNormal = normalMatrix * normal;',
      '  gl_Position = projectionMatrix * modelViewMatrix * vec4(position, 1.0);',
      '}'].join('\n'),
    fragmentShader: [
      'uniform vec3 light;',
      'varying vec3 vHeat;',
      'varying vec3 vNormal;',
      'void main() {',
      '  float lit = length(vNormal) > 0.0 ? abs(dot(normalize(vNormal), light)) : 0.0;',
      '  gl_FragColor = vec4(vHeat * (0.35 + 0.65 * lit), 1.0);',
      '}'].join('\n'),
    side: THREE.DoubleSide,
  });
  const mesh = new THREE.Mesh(geometry, material);
  const scene = new THREE.Scene();
  scene.add(mesh);

  // Framed on every frame's box, seen from the front, a little from the
  // right and above: a bend about the view axis shows both of its sides.
  const box = new THREE.Box3();
  for (const frame of shot.frames) {
    for (const entry of [frame.pose, frame.corrected]) {
      if (entry && entry.min.every(Number.isFinite) && entry.max.every(Number.isFinite)) {
        box.expandByPoint(new THREE.Vector3().fromArray(entry.min));
        box.expandByPoint(new THREE.Vector3().fromArray(entry.max));
      }
    }
  }
  if (box.isEmpty()) box.set(new THREE.Vector3(-1, -1, -1), new THREE.Vector3(1, 1, 1));
  const centre = box.getCenter(new THREE.Vector3());
  const radius = Math.max(box.getSize(new THREE.Vector3()).length() / 2, 1e-6);
  const camera = new THREE.PerspectiveCamera(35, 1, radius / 100, radius * 100);
  const yaw = 15 * Math.PI / 180;
  const pitch = 12 * Math.PI / 180;
  const direction = new THREE.Vector3(Math.sin(yaw) * Math.cos(pitch), Math.sin(pitch),
                                      Math.cos(yaw) * Math.cos(pitch));
  camera.position.copy(centre).addScaledVector(direction, radius / Math.sin(17.5 * Math.PI / 180) * 0.85);
  camera.lookAt(centre);

  const controls = new THREE.OrbitControls(camera, renderer.domElement);
  controls.target.copy(centre);
  controls.screenSpacePanning = true;
  controls.update();

  const marker = new THREE.Mesh(new THREE.SphereBufferGeometry(radius * 0.012, 12, 8),
                                new THREE.MeshBasicMaterial({ color: 0x202020, depthTest: false }));
  marker.renderOrder = 1;
  marker.visible = false;
  scene.add(marker);

  // ---- frames -----------------------------------------------------------

  function shownPositions() {
    return state.showCorrected && isMorph ? corrected(state.frame) : pose(state.frame);
  }

  function movedLength(f, point) {
    return lengthAt(displacement(f), point * 3);
  }
  function lengthAt(by, i) {
    return Math.hypot(by[i], by[i + 1], by[i + 2]);
  }

  function colourBy() {
    return state.colouring === 'weight' && weights(state.frame) !== null ? 'weight' : 'moved';
  }

  function updateLegend() {
    const stops = [];
    if (colourBy() === 'weight') {
      const range = shot.frames[state.frame].weights.range;
      for (let i = 0; i <= 10; ++i) stops.push(css(divergingColour(range * (1 - i / 5), range)));
      element('legend-title').textContent = 'weight';
      element('legend-high').textContent = 'stretch';
      element('legend-high').style.color = css(stretchEnd);
      element('legend-low').textContent = 'squash';
      element('legend-low').style.color = css(squashEnd);
      element('legend-top').textContent = rangeText(range);
      element('legend-middle').textContent = '0 rest';
      element('legend-bottom').textContent = rangeText(-range);
    } else {
      for (let i = 0; i <= 10; ++i) stops.push(css(movedColour(shot.largestMove * (1 - i / 10))));
      element('legend-title').textContent = 'moved';
      element('legend-high').textContent = 'most';
      element('legend-high').style.color = css(movedEnd);
      element('legend-low').textContent = 'still';
      element('legend-low').style.color = '';
      element('legend-top').textContent = String(Number(shot.largestMove.toPrecision(3)));
      element('legend-middle').textContent = String(Number((shot.largestMove / 2).toPrecision(3)));
      element('legend-bottom').textContent = '0';
    }
    element('legend-bar').style.background = 'linear-gradient(to bottom, ' + stops.join(', ') + ')';
  }

  function showFrame(f) {
    state.frame = Math.max(0, Math.min(frameCount - 1, f));
    positionAttribute.array.set(shownPositions());
    performance.mark('kestrin:positions');
    positionAttribute.needsUpdate = true;
    const heat = heatAttribute.array;
    if (colourBy() === 'weight') {
      const values = weights(state.frame);
      const range = shot.frames[state.frame].weights.range;
      for (let i = 0; i < pointCount; ++i) putDivergingColour(values[i], range, heat, i * 3, 255);
    } else if (isMorph) {
      const by = displacement(state.frame);
      for (let i = 0; i < pointCount; ++i) putMovedColour(lengthAt(by, i * 3), heat, i * 3, 255);
    } else {
      heat.fill(1);
    }
    heatAttribute.needsUpdate = true;
    performance.mark('kestrin:colours');
    geometry.computeVertexNormals();
    geometry.computeBoundingSphere();
    geometry.computeBoundingBox();
    performance.mark('kestrin:normals-bounds');
    slider.value = String(state.frame);
    frameLabel.textContent = 'frame ' + shot.frames[state.frame].frame + ' of ' + shotFrames;
    updateLegend();
    state.needsPick = true;
    requestRender();
  }

  // ---- the point under the cursor ---------------------------------------

  const raycaster = new THREE.Raycaster();

  function pick() {
    state.picked = -1;
    if (state.pointer !== null) {
      const canvas = renderer.domElement.getBoundingClientRect();
      const ndc = new THREE.Vector2(state.pointer.x / canvas.width * 2 - 1,
                                    1 - state.pointer.y / canvas.height * 2);
      raycaster.setFromCamera(ndc, camera);
      const hit = raycaster.intersectObject(mesh)[0];
      if (hit) {
        const positions = positionAttribute.array;
        let nearest = Infinity;
        for (const corner of [hit.face.a, hit.face.b, hit.face.c]) {
          const distance = hit.point.distanceToSquared(new THREE.Vector3().fromArray(positions, corner * 3));
          if (distance < nearest) {
            nearest = distance;
            state.picked = corner;
          }
        }
      }
    }
    const point = state.picked;
    marker.visible = point >= 0;
    if (point < 0) {
      readout.innerHTML = 'Point under the cursor: none';
      return;
    }
    marker.position.fromArray(positionAttribute.array, point * 3);
    const values = weights(state.frame);
    let html = 'point <span id="readout-point">' + point + '</span><br>weight <span id="readout-weight">' +
               (values === null ? '-' : floatText(values[point])) + '</span>';
    if (isMorph) html += '<br>moved <span id="readout-moved">' + floatText(f32(movedLength(state.frame, point))) + '</span>';
    readout.innerHTML = html;
  }

  renderer.domElement.addEventListener('mousemove', (event) => {
    const canvas = renderer.domElement.getBoundingClientRect();
    state.pointer = { x: event.clientX - canvas.left, y: event.clientY - canvas.top };
    state.needsPick = true;
    requestRender();
  });
  renderer.domElement.addEventListener('mouseleave', () => {
    state.pointer = null;
    state.needsPick = true;
    requestRender();
  });

  // ---- playback and drawing ---------------------------------------------

  let renderQueued = false;
  function requestRender() {
    if (renderQueued) return;
    renderQueued = true;
    requestAnimationFrame(draw);
  }

  function draw(now) {
    renderQueued = false;
    if (state.playing) {
      const frame = (state.playFrom + Math.floor((now - state.playStart) * shot.rate / 1000)) % frameCount;
      if (frame !== state.frame) showFrame(frame);
      requestRender();
    }
    if (state.needsPick) {
      state.needsPick = false;
      pick();
    }
    renderer.render(scene, camera);
    performance.mark('kestrin:render');
  }

  function setPlaying(playing) {
    state.playing = playing && frameCount > 1;
    state.playStart = performance.now();
    state.playFrom = state.frame;
    playButton.textContent = state.playing ? 'Pause' : 'Play';
    requestRender();
  }

  function resize() {
    renderer.setSize(window.innerWidth, window.innerHeight);
    camera.aspect = window.innerWidth / Math.max(1, window.innerHeight);
    camera.updateProjectionMatrix();
    requestRender();
  }

  slider.max = String(frameCount - 1);
  slider.addEventListener('input', () => {
    setPlaying(false);
    showFrame(Number(slider.value));
  });
  playButton.addEventListener('click', () => setPlaying(!state.playing));
  window.addEventListener('keydown', (event) => {
    if (event.code === 'Space' && event.target.tagName !== 'INPUT') {
      event.preventDefault();
      setPlaying(!state.playing);
    }
  });
  if (isMorph) {
    document.body.classList.add('morph');
    colouringMenu.querySelector('option[value="weight"]').disabled = !anyWeights;
    colouringMenu.value = state.colouring;
    correctedBox.addEventListener('change', () => {
      state.showCorrected = correctedBox.checked;
      showFrame(state.frame);
    });
    colouringMenu.addEventListener('change', () => {
      state.colouring = colouringMenu.value;
      showFrame(state.frame);
    });
  }
  controls.addEventListener('change', () => {
    state.needsPick = true;
    requestRender();
  });
  window.addEventListener('resize', resize);
  document.title = 'kestrin ' + shot.kind + ' shot: ' + frameCount + ' frames, ' + pointCount + ' points';

  window.kestrinShot = {
    ready: false,
    index: shot,
    frame: () => state.frame,
    pose,
    displacement,
    corrected,
    weights,
    // The shown frame's colour of every point (r, g, b in 0..1, unshaded).
    colours: () => heatAttribute.array,
    // Where point `point` of the shown frame is drawn, in CSS pixels from the
    // page's top left corner.
    screenPosition(point) {
      const p = new THREE.Vector3().fromArray(positionAttribute.array, point * 3).project(camera);
      const canvas = renderer.domElement.getBoundingClientRect();
      return { x: canvas.left + (p.x + 1) / 2 * canvas.width, y: canvas.top + (1 - p.y) / 2 * canvas.height };
    },
  };

  resize();
  showFrame(0);
  // The first callback runs in the frame that draws; the second, in the next
  // one, once the drawing has reached the screen.
  requestAnimationFrame(() => requestAnimationFrame(() => {
    performance.mark('kestrin:ready');
    window.kestrinShot.readyAt = performance.now();
    window.kestrinShot.ready = true;
  }));
})();
