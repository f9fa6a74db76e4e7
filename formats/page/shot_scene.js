// The shot page's 3D view: a three.js renderer in `container`, the mesh
// (its triangles fixed, positions and colours given per frame) shaded as the
// tool's PNG, the camera framed on the whole shot with orbit controls, and
// the point under a place on the canvas. Throws when WebGL cannot start.
(function (kestrinPage) {
  'use strict';

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

  // Shaded as the tool's PNG: two-sided, 0.35 ambient + 0.65 |n . light|,
  // the light fixed to the view.
  function heatMaterial() {
    return new THREE.ShaderMaterial({
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
  }

  // `box`: every frame's, which the camera frames once, seen from the front,
  // a little from the right and above (a bend about the view axis shows both
  // of its sides), so that playing does not move it.
  kestrinPage.createScene = function (container, triangles, pointCount, box) {
    const renderer = new THREE.WebGLRenderer({ antialias: !softwareRenderer() });
    renderer.setPixelRatio(window.devicePixelRatio || 1);
    renderer.setClearColor(0xececec);
    container.appendChild(renderer.domElement);

    const positions = new THREE.BufferAttribute(new Float32Array(pointCount * 3), 3);
    const heat = new THREE.BufferAttribute(new Float32Array(pointCount * 3), 3);
    const geometry = new THREE.BufferGeometry();
    geometry.setIndex(new THREE.BufferAttribute(triangles, 1));
    geometry.setAttribute('position', positions);
    geometry.setAttribute('heat', heat);
    const mesh = new THREE.Mesh(geometry, heatMaterial());
    const scene = new THREE.Scene();
    scene.add(mesh);

    const camera = new THREE.PerspectiveCamera(35, 1, 0.01, 100);
    const controls = new THREE.OrbitControls(camera, renderer.domElement);
    controls.screenSpacePanning = true;
    const yaw = 15 * Math.PI / 180;
    const pitch = 12 * Math.PI / 180;
    const direction = new THREE.Vector3(Math.sin(yaw) * Math.cos(pitch), Math.sin(pitch),
                                        Math.cos(yaw) * Math.cos(pitch));
    const up = new THREE.Vector3(0, 1, 0).addScaledVector(direction, -Math.sin(pitch)).normalize();
    let framed = false;

    const radius = Math.max(box.getSize(new THREE.Vector3()).length() / 2, 1e-6);
    const marker = new THREE.Mesh(new THREE.SphereBufferGeometry(radius * 0.012, 12, 8),
                                  new THREE.MeshBasicMaterial({ color: 0x202020, depthTest: false }));
    marker.renderOrder = 1;
    marker.visible = false;
    scene.add(marker);
    const raycaster = new THREE.Raycaster();

    // Where point `point` is drawn, in CSS pixels from the page's top left.
    function screenPosition(point) {
      const p = new THREE.Vector3().fromArray(positions.array, point * 3).project(camera);
      const canvas = renderer.domElement.getBoundingClientRect();
      return { x: canvas.left + (p.x + 1) / 2 * canvas.width, y: canvas.top + (1 - p.y) / 2 * canvas.height };
    }

    return {
      canvas: renderer.domElement,
      controls,
      positions,
      heat,
      screenPosition,
      // New positions and colours in the attributes' arrays: their normals
      // and bounds follow.
      update() {
        positions.needsUpdate = true;
        heat.needsUpdate = true;
        geometry.computeVertexNormals();
        geometry.computeBoundingSphere();
        geometry.computeBoundingBox();
      },
      // The shot framed on the first call; later ones keep where the user
      // has turned it and change only the shape of the view.
      resize(width, height) {
        renderer.setSize(width, height);
        camera.aspect = width / Math.max(1, height);
        if (!framed) {
          controls.target.copy(kestrinPage.frameCamera(camera, box, direction, up));
          // The view's up was the world's, seen from there: orbiting keeps to
          // the world's up, as the controls were made with it.
          camera.up.set(0, 1, 0);
          controls.update();
          framed = true;
        }
        camera.updateProjectionMatrix();
      },
      // The mesh's point nearest where the ray through (x, y), CSS pixels on
      // the canvas, first meets it; -1 for none.
      pointAt(x, y) {
        const canvas = renderer.domElement.getBoundingClientRect();
        raycaster.setFromCamera(new THREE.Vector2(x / canvas.width * 2 - 1, 1 - y / canvas.height * 2), camera);
        const hit = raycaster.intersectObject(mesh)[0];
        if (!hit) return -1;
        let picked = -1;
        let nearest = Infinity;
        for (const corner of [hit.face.a, hit.face.b, hit.face.c]) {
          const distance = hit.point.distanceToSquared(new THREE.Vector3().fromArray(positions.array, corner * 3));
          if (distance < nearest) {
            nearest = distance;
            picked = corner;
          }
        }
        return picked;
      },
      // The marker on point `point`, or hidden for -1.
      mark(point) {
        marker.visible = point >= 0;
        if (point >= 0) marker.position.fromArray(positions.array, point * 3);
      },
      render: () => renderer.render(scene, camera),
    };
  };
})(window.kestrinPage = window.kestrinPage || {});
