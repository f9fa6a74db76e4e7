// The engine proof page's player: loads the mesh (.glb, three.js's
// GLTFLoader) and the vertex-animation textures (.exr, its EXRLoader) that
// the page carries, and plays them in a vertex shader as an engine
// material does: TEXCOORD_1 gives each vertex's texel in frame 0, and
// frame f lies f * rowsPerFrame rows further down. A texture's header says
// what it holds (kestrin.content): a tension texture colours the mesh, a
// morph texture moves it (its corrected positions, or its displacement
// added to the rest mesh). The label says which of these the picture is.
// window.kestrinEngine offers the state, a read-back of the colours the
// vertex shader computes (the browser test compares them with the shot
// page's) and where the mesh is drawn; its `ready` turns true once the
// first frame is on screen. The camera stands as the shot page's does
// (camera_framing.js), looking where chooseFraming says.
(function () {
  'use strict';

  const element = (id) => document.getElementById(id);
  function bytesOf(node) {
    const binary = atob(node.textContent.trim());
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
    return bytes.buffer;
  }

  // ---- the textures ---------------------------------------------------------

  // Half floats widened to float32: a float texture reads in vertex shaders
  // wherever WebGL runs, a half-float one not everywhere.
  const textures = {};
  for (const node of document.querySelectorAll('script[data-kestrin="exr"]')) {
    const exr = new THREE.EXRLoader().setDataType(THREE.FloatType).parse(bytesOf(node));
    const texture = new THREE.DataTexture(exr.data, exr.width, exr.height, THREE.RGBAFormat, THREE.FloatType);
    // One texel per point: never blend neighbours, which are other points.
    texture.minFilter = THREE.NearestFilter;
    texture.magFilter = THREE.NearestFilter;
    texture.generateMipmaps = false;
    texture.flipY = false;
    texture.needsUpdate = true;
    // Grainmark's measures would otherwise be taken for a displacement.
    if (exr.header['kestrin.content'] === 'measures') {
      window.kestrinEngine = { ready: false, error: node.dataset.name + ' holds Grainmark measures, which this ' +
                               'page does not play: give it a tension or a morph texture' };
      return;
    }
    const content = exr.header['kestrin.content'] === 'tension' ? 'tension' : 'morph';
    textures[content] = { exr, texture, name: node.dataset.name, holds: exr.header['kestrin.content'] };
  }
  const reference = (textures.tension || textures.morph).exr;
  const rowsPerFrame = reference.header['kestrin.rowsPerFrame'];
  const frameCount = reference.header['kestrin.frames'];
  const rows = reference.height;
  // The colour scale of the shot page: 1, or the largest weight beyond it.
  const range = textures.tension
    ? Math.max(1, textures.tension.exr.header['kestrin.rangeR'][1], textures.tension.exr.header['kestrin.rangeG'][1])
    : 1;
  const morphValues = !textures.morph ? 0 : textures.morph.holds === 'position' ? 2 : 1;

  // ---- the shader -----------------------------------------------------------

  // The loader puts the file's first row at the texture's top (t = 1), glTF
  // counts v down from the top: hence t = 1 - v.
  const sampling = [
    'uniform sampler2D tension;',
    'uniform sampler2D morph;',
    'uniform float frameOffset;',  // frame * rowsPerFrame / rows
    'uniform float range;',
    'uniform int morphValues;',    // 0 none, 1 displacement, 2 position
    'uniform bool hasTension;',
    'attribute vec2 uv2;',         // TEXCOORD_1
    'const vec3 squashEnd = vec3(33.0, 102.0, 172.0) / 255.0;',
    'const vec3 stretchEnd = vec3(178.0, 24.0, 43.0) / 255.0;',
    'vec4 frameTexel(sampler2D values) {',
    '  return texture2D(values, vec2(uv2.x, 1.0 - (uv2.y + frameOffset)));',
    '}',
    'vec3 tensionColour() {',
    '  if (!hasTension) return vec3(0.85);',
    '  vec4 texel = frameTexel(tension);',
    '  float amount = clamp((texel.r - texel.g) / range, -1.0, 1.0);',  // stretch minus squash
    '  return mix(vec3(1.0), amount < 0.0 ? squashEnd : stretchEnd, abs(amount));',
    '}',
    'vec3 shownPosition() {',
    '  if (morphValues == 0) return position;',
    '  vec3 value = frameTexel(morph).rgb;',
    '  return morphValues == 1 ? position + value : value;',
    '}'].join('\n');
  const blank = new THREE.DataTexture(new Float32Array(4), 1, 1, THREE.RGBAFormat, THREE.FloatType);
  const uniforms = {
    tension: { value: textures.tension ? textures.tension.texture : blank },
    morph: { value: textures.morph ? textures.morph.texture : blank },
    hasTension: { value: !!textures.tension },
    morphValues: { value: morphValues },
    frameOffset: { value: 0 },
    range: { value: range },
    light: { value: new THREE.Vector3(-0.4, 0.6, 1.0).normalize() },
  };
  // Shaded as the shot page: two-sided, 0.35 ambient + 0.65 |n . light|.
  // The mesh's normals are the rest mesh's: a moved mesh is lit by its
  // faces' own.
  const material = new THREE.ShaderMaterial({
    uniforms,
    vertexShader: [sampling,
      'varying vec3 vColour;',
      'varying vec3 vNormal;',
      'varying vec3 vViewPosition;',
      'void main() {',
      '  vColour = tensionColour();',
      '  vNormal = normalMatrix * normal;',
      '  vec4 viewPosition = modelViewMatrix * vec4(shownPosition(), 1.0);',
      '  vViewPosition = viewPosition.xyz;',
      '  gl_Position = projectionMatrix * viewPosition;',
      '}'].join('\n'),
    fragmentShader: [
      'uniform vec3 light;',
      'uniform int morphValues;',
      'varying vec3 vColour;',
      'varying vec3 vNormal;',
      'varying vec3 vViewPosition;',
      'void main() {',
      '  vec3 normal = morphValues == 0 ? normalize(vNormal)',
      '                                 : normalize(cross(dFdx(vViewPosition), dFdy(vViewPosition)));',
      '  float lit = abs(dot(normal, light));',
      '  gl_FragColor = vec4(vColour * (0.35 + 0.65 * lit), 1.0);',
      '}'].join('\n'),
    side: THREE.DoubleSide,
    extensions: { derivatives: true },
  });

  const renderer = new THREE.WebGLRenderer({ antialias: false, preserveDrawingBuffer: true });
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  renderer.setClearColor(0xececec);
  element('view').appendChild(renderer.domElement);
  const scene = new THREE.Scene();
  const camera = new THREE.PerspectiveCamera(35, 1, 0.01, 100);
  let geometry = null;
  let framing = null;
  const slider = element('frame');
  const state = { frame: 0, playing: false, playStart: 0, playFrom: 0 };

  // What the picture is, in words: the mesh's shape and its colour.
  function caption() {
    const f = state.frame + 1;
    const shape = morphValues === 2 ? `frame ${f}'s corrected positions from ${textures.morph.name}`
      : morphValues === 1 ? `the rest mesh moved by frame ${f}'s displacement from ${textures.morph.name} ` +
                            '(an engine adds it to its own pose; the pose is not in these files)'
        : `the rest mesh from ${element('kestrin-glb').dataset.name}`;
    const colour = textures.tension ? `, coloured by frame ${f}'s tension from ${textures.tension.name}` : '';
    return shape.charAt(0).toUpperCase() + shape.slice(1) + colour;
  }

  function render() {
    uniforms.frameOffset.value = state.frame * rowsPerFrame / rows;
    renderer.render(scene, camera);
  }
  function showFrame(f) {
    state.frame = Math.max(0, Math.min(frameCount - 1, f));
    slider.value = String(state.frame);
    element('frame-label').textContent = 'frame ' + (state.frame + 1) + ' / ' + frameCount;
    element('about').textContent = caption();
    render();
  }
  function resize() {
    const view = element('view');
    renderer.setSize(view.clientWidth, view.clientHeight);
    camera.aspect = view.clientWidth / Math.max(1, view.clientHeight);
    if (framing) kestrinPage.frameCamera(camera, framing.box, framing.direction, framing.up);
    camera.updateProjectionMatrix();
    render();
  }

  // ---- where the vertices are -----------------------------------------------

  // A vertex's texel index in frame f, as the shader finds it.
  function texelIndex(vertex, frame) {
    const uv2 = geometry.attributes.uv2.array;
    const column = Math.floor(uv2[vertex * 2] * reference.width);
    const row = Math.floor(uv2[vertex * 2 + 1] * rows) + frame * rowsPerFrame;
    return (rows - 1 - row) * reference.width + column;  // the loader's rows run bottom-up
  }
  // Where vertex v is shown at frame f, as the shader places it.
  function shownAt(vertex, frame, out) {
    out.fromArray(geometry.attributes.position.array, vertex * 3);
    if (morphValues === 0) return out;
    const data = textures.morph.exr.data;
    const i = texelIndex(vertex, frame) * 4;
    const value = new THREE.Vector3(data[i], data[i + 1], data[i + 2]);
    return morphValues === 1 ? out.add(value) : out.copy(value);
  }

  // The camera for the whole shot, so that playing does not move it: it
  // looks across the line from the squashed to the stretched points (a bend
  // shows in profile, both its sides at once), else along the tensed
  // points' normals, and stands back until every frame's mesh fits.
  function chooseFraming() {
    const count = geometry.attributes.position.count;
    const box = new THREE.Box3();
    const stretched = new THREE.Vector3(), squashed = new THREE.Vector3(), facing = new THREE.Vector3();
    let stretch = 0, squash = 0;
    const p = new THREE.Vector3(), n = new THREE.Vector3();
    const normals = geometry.attributes.normal ? geometry.attributes.normal.array : null;
    for (let f = 0; f < frameCount; ++f) {
      for (let v = 0; v < count; ++v) {
        shownAt(v, f, p);
        box.expandByPoint(p);
        if (!textures.tension) continue;
        const data = textures.tension.exr.data, i = texelIndex(v, f) * 4;
        stretched.addScaledVector(p, data[i]);
        squashed.addScaledVector(p, data[i + 1]);
        stretch += data[i];
        squash += data[i + 1];
        if (normals) facing.addScaledVector(n.fromArray(normals, v * 3), data[i] + data[i + 1]);
      }
    }
    const size = box.getSize(new THREE.Vector3());
    const longest = size.x >= size.y && size.x >= size.z ? new THREE.Vector3(1, 0, 0)
      : size.y >= size.z ? new THREE.Vector3(0, 1, 0) : new THREE.Vector3(0, 0, 1);
    let direction = new THREE.Vector3(0.26, 0.21, 0.94);  // front, a little right and above: no tension to face
    let up = new THREE.Vector3(0, 1, 0);
    if (stretch > 0 && squash > 0) {
      const across = stretched.divideScalar(stretch).sub(squashed.divideScalar(squash));
      const side = new THREE.Vector3().crossVectors(across, longest);
      if (side.lengthSq() > 1e-12 * Math.max(1e-12, across.lengthSq())) {
        direction = side.normalize();
        if (direction.z < 0) direction.negate();
        up = across.negate().normalize();  // squashed side up: a bend rises toward it
      }
    } else if (facing.lengthSq() > 0) {
      direction = facing.normalize();
    }
    if (Math.abs(up.dot(direction)) > 0.99) up = longest.clone().cross(direction);
    return { box, direction, up: up.sub(direction.clone().multiplyScalar(up.dot(direction))).normalize() };
  }

  // Where the mesh's vertices are drawn at this frame: the smallest box
  // around them, in CSS pixels of the page, and the view's own box.
  function drawnBox() {
    const canvas = renderer.domElement.getBoundingClientRect();
    const out = { left: Infinity, top: Infinity, right: -Infinity, bottom: -Infinity,
                  view: { left: canvas.left, top: canvas.top, right: canvas.right, bottom: canvas.bottom } };
    const p = new THREE.Vector3();
    for (let v = 0; v < geometry.attributes.position.count; ++v) {
      shownAt(v, state.frame, p).project(camera);
      const x = canvas.left + (p.x + 1) / 2 * canvas.width, y = canvas.top + (1 - p.y) / 2 * canvas.height;
      out.left = Math.min(out.left, x); out.right = Math.max(out.right, x);
      out.top = Math.min(out.top, y); out.bottom = Math.max(out.bottom, y);
    }
    return out;
  }

  // The vertex shader's colour of every vertex, read back: each vertex drawn
  // as one pixel of a square target, at its own place. Returns, per vertex,
  // its point (from TEXCOORD_1) and its colour as 0..255.
  function vertexColours(frame) {
    const count = geometry.attributes.position.count;
    const side = Math.ceil(Math.sqrt(count));
    const places = new Float32Array(count);
    for (let i = 0; i < count; ++i) places[i] = i;
    const points = new THREE.BufferGeometry();
    points.setAttribute('position', geometry.attributes.position);
    points.setAttribute('uv2', geometry.attributes.uv2);
    points.setAttribute('place', new THREE.BufferAttribute(places, 1));
    const readback = new THREE.ShaderMaterial({
      uniforms: Object.assign({}, uniforms, { side: { value: side } }),
      vertexShader: [sampling,
        'uniform float side;',
        'attribute float place;',
        'varying vec3 vColour;',
        'void main() {',
        '  vColour = tensionColour();',
        '  vec2 pixel = vec2(mod(place, side), floor(place / side)) + 0.5;',
        '  gl_Position = vec4(pixel / side * 2.0 - 1.0, 0.0, 1.0);',
        '  gl_PointSize = 1.0;',
        '}'].join('\n'),
      fragmentShader: 'varying vec3 vColour;\nvoid main() { gl_FragColor = vec4(vColour, 1.0); }',
    });
    readback.uniforms.frameOffset = { value: frame * rowsPerFrame / rows };
    const target = new THREE.WebGLRenderTarget(side, side);
    const readScene = new THREE.Scene();
    const cloud = new THREE.Points(points, readback);
    cloud.frustumCulled = false;  // placed by the shader, not by its positions
    readScene.add(cloud);
    renderer.setRenderTarget(target);
    renderer.render(readScene, new THREE.Camera());
    const pixels = new Uint8Array(side * side * 4);
    renderer.readRenderTargetPixels(target, 0, 0, side, side, pixels);
    renderer.setRenderTarget(null);
    target.dispose();
    const uv2 = geometry.attributes.uv2.array;
    const result = [];
    for (let i = 0; i < count; ++i) {
      const column = Math.floor(uv2[i * 2] * reference.width);
      const row = Math.floor(uv2[i * 2 + 1] * rows);
      result.push({ point: row * reference.width + column, rgb: Array.from(pixels.subarray(i * 4, i * 4 + 3)) });
    }
    return result;
  }

  new THREE.GLTFLoader().parse(bytesOf(element('kestrin-glb')), '', (gltf) => {
    let mesh = null;
    gltf.scene.traverse((object) => { if (object.isMesh && mesh === null) mesh = object; });
    geometry = mesh.geometry;
    mesh.material = material;
    mesh.frustumCulled = false;  // moved by the shader: its rest box says nothing
    scene.add(gltf.scene);
    framing = chooseFraming();

    slider.max = String(frameCount - 1);
    slider.addEventListener('input', () => showFrame(Number(slider.value)));
    const play = element('play');
    function tick(now) {
      if (!state.playing) return;
      const rate = 24;
      showFrame((state.playFrom + Math.floor((now - state.playStart) / 1000 * rate)) % frameCount);
      requestAnimationFrame(tick);
    }
    play.addEventListener('click', () => {
      state.playing = !state.playing;
      play.textContent = state.playing ? 'Pause' : 'Play';
      state.playStart = performance.now();
      state.playFrom = state.frame;
      if (state.playing) requestAnimationFrame(tick);
    });
    window.addEventListener('resize', resize);

    window.kestrinEngine = {
      ready: false,
      header: reference.header,
      showFrame,
      vertexColours,
      drawnBox,
      frame: () => state.frame,
    };
    resize();
    showFrame(0);
    requestAnimationFrame(() => requestAnimationFrame(() => { window.kestrinEngine.ready = true; }));
  }, (failure) => {
    window.kestrinEngine = { ready: false, error: String(failure && failure.message || failure) };
  });
})();
