// The engine proof page's player: loads the mesh (.glb, three.js's
// GLTFLoader) and the tension texture (.exr, its EXRLoader) that the page
// carries, and colours the mesh in a vertex shader that samples the current
// frame's texel of each vertex, as an engine material does: TEXCOORD_1 gives
// the texel in frame 0, and frame f lies f * rowsPerFrame rows further down.
// window.kestrinEngine offers the state and a read-back of the colours the
// vertex shader computes (the browser test compares them with the shot
// page's); its `ready` turns true once the first frame is on screen.
(function () {
  'use strict';

  const element = (id) => document.getElementById(id);
  function bytesOf(id) {
    const text = element(id).textContent.trim();
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
    return bytes.buffer;
  }

  // ---- the texture --------------------------------------------------------

  // Half floats widened to float32: a float texture reads in vertex shaders
  // wherever WebGL runs, a half-float one not everywhere.
  const exr = new THREE.EXRLoader().setDataType(THREE.FloatType).parse(bytesOf('kestrin-exr'));
  const header = exr.header;
  const rowsPerFrame = header['kestrin.rowsPerFrame'];
  const frameCount = header['kestrin.frames'];
  const rows = exr.height;
  const texture = new THREE.DataTexture(exr.data, exr.width, exr.height, THREE.RGBAFormat, THREE.FloatType);
  // One texel per point: never blend neighbours, which are other points.
  texture.minFilter = THREE.NearestFilter;
  texture.magFilter = THREE.NearestFilter;
  texture.generateMipmaps = false;
  texture.flipY = false;
  texture.needsUpdate = true;
  // The colour scale of the shot page: 1, or the largest weight beyond it.
  const stretch = header['kestrin.rangeR'];
  const squash = header['kestrin.rangeG'];
  const range = Math.max(1, stretch[1], squash[1]);

  // ---- the shader -----------------------------------------------------------

  // The loader puts the file's first row at the texture's top (t = 1), glTF
  // counts v down from the top: hence t = 1 - v.
  const sampling = [
    'uniform sampler2D tension;',
    'uniform float frameOffset;',  // frame * rowsPerFrame / rows
    'uniform float range;',
    'attribute vec2 uv2;',         // TEXCOORD_1
    'const vec3 squashEnd = vec3(33.0, 102.0, 172.0) / 255.0;',
    'const vec3 stretchEnd = vec3(178.0, 24.0, 43.0) / 255.0;',
    'vec3 tensionColour() {',
    '  vec4 texel = texture2D(tension, vec2(uv2.x, 1.0 - (uv2.y + frameOffset)));',
    '  float amount = clamp((texel.r - texel.g) / range, -1.0, 1.0);',  // stretch minus squash
    '  return mix(vec3(1.0), amount < 0.0 ? squashEnd : stretchEnd, abs(amount));',
    '}'].join('\n');
  const uniforms = { tension: { value: texture }, frameOffset: { value: 0 }, range: { value: range },
                     light: { value: new THREE.Vector3(-0.4, 0.6, 1.0).normalize() } };
  // Shaded as the shot page: two-sided, 0.35 ambient + 0.65 |n . light|.
  const material = new THREE.ShaderMaterial({
    uniforms,
    vertexShader: [sampling,
      'varying vec3 vColour;',
      'varying vec3 vNormal;',
      'void main() {',
      '  vColour = tensionColour();',
      '  vNormal = normalMatrix * normal;',
      '  gl_Position = projectionMatrix * modelViewMatrix * vec4(position, 1.0);',
      '}'].join('\n'),
    fragmentShader: [
      'uniform vec3 light;',
      'varying vec3 vColour;',
      'varying vec3 vNormal;',
      'void main() {',
      '  float lit = abs(dot(normalize(vNormal), light));',
      '  gl_FragColor = vec4(vColour * (0.35 + 0.65 * lit), 1.0);',
      '}'].join('\n'),
    side: THREE.DoubleSide,
  });

  const renderer = new THREE.WebGLRenderer({ antialias: false, preserveDrawingBuffer: true });
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  renderer.setClearColor(0xececec);
  element('view').appendChild(renderer.domElement);
  const scene = new THREE.Scene();
  const camera = new THREE.PerspectiveCamera(35, 1, 0.01, 100);
  let geometry = null;
  const slider = element('frame');
  const state = { frame: 0, playing: false, playStart: 0, playFrom: 0 };

  function render() {
    uniforms.frameOffset.value = state.frame * rowsPerFrame / rows;
    renderer.render(scene, camera);
  }
  function showFrame(f) {
    state.frame = Math.max(0, Math.min(frameCount - 1, f));
    slider.value = String(state.frame);
    element('frame-label').textContent = 'frame ' + (state.frame + 1) + ' / ' + frameCount;
    render();
  }
  function resize() {
    const view = element('view');
    renderer.setSize(view.clientWidth, view.clientHeight);
    camera.aspect = view.clientWidth / Math.max(1, view.clientHeight);
    camera.updateProjectionMatrix();
    render();
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
      const column = Math.floor(uv2[i * 2] * exr.width);
      const row = Math.floor(uv2[i * 2 + 1] * rows);
      result.push({ point: row * exr.width + column, rgb: Array.from(pixels.subarray(i * 4, i * 4 + 3)) });
    }
    return result;
  }

  new THREE.GLTFLoader().parse(bytesOf('kestrin-glb'), '', (gltf) => {
    let mesh = null;
    gltf.scene.traverse((object) => { if (object.isMesh && mesh === null) mesh = object; });
    geometry = mesh.geometry;
    mesh.material = material;
    scene.add(gltf.scene);

    // Framed on the mesh as the shot page frames its shot.
    geometry.computeBoundingBox();
    const box = geometry.boundingBox;
    const centre = box.getCenter(new THREE.Vector3());
    const radius = Math.max(box.getSize(new THREE.Vector3()).length() / 2, 1e-6);
    camera.near = radius / 100;
    camera.far = radius * 100;
    const yaw = 15 * Math.PI / 180;
    const pitch = 12 * Math.PI / 180;
    const direction = new THREE.Vector3(Math.sin(yaw) * Math.cos(pitch), Math.sin(pitch),
                                        Math.cos(yaw) * Math.cos(pitch));
    camera.position.copy(centre).addScaledVector(direction, radius / Math.sin(17.5 * Math.PI / 180) * 0.85);
    camera.lookAt(centre);

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
      header,
      showFrame,
      vertexColours,
      frame: () => state.frame,
    };
    resize();
    showFrame(0);
    requestAnimationFrame(() => requestAnimationFrame(() => { window.kestrinEngine.ready = true; }));
  }, (failure) => {
    window.kestrinEngine = { ready: false, error: String(failure && failure.message || failure) };
  });
})();
