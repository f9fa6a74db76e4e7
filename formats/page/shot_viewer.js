// The viewer inside a kestrin shot page: reads the shot (page_data.js), draws
// the posed mesh as a heat map (shot_scene.js, heat_colours.js) and lets the
// user orbit, scrub, play, point at a point to read its weight and, on a page
// of several measures, choose the measure the heat map shows. The page
// opens at the frame its address names, "shot.html#frame=30" at the frame
// the page labels 30 (the shot's own numbers), and keeps the address on the
// frame shown, so that a copied link opens there; on a page of several
// measures, "#frame=30&measure=across" also names the measure.
// window.kestrinShot offers the decoded data and the current state to
// scripts (the tool's browser test uses it); its `ready` turns true once the
// first frame is on screen, `readyAt` then holding the milliseconds since
// navigation. Performance marks named "kestrin:..." record where the opening
// time goes (bench/page/page_load.js prints them).
(async function () {
  'use strict';
  performance.mark('kestrin:viewer-start');
  const { heatColours, loadShot, createScene } = window.kestrinPage;

  const element = (id) => document.getElementById(id);
  const slider = element('frame');
  const frameLabel = element('frame-label');
  const playButton = element('play');
  const correctedBox = element('corrected');
  const colouringMenu = element('colouring');
  const measureMenu = element('measure');
  const readout = element('readout');

  function fail(why) {
    const message = element('message');
    message.textContent = why;
    message.style.display = 'block';
    window.kestrinShot = { ready: false, error: why };
  }

  const shot = JSON.parse(element('kestrin-shot').textContent);
  const colours = heatColours(shot.colours);
  const pointCount = shot.points;
  const frameCount = shot.frames.length;
  const isMorph = shot.kind === 'morph';
  const anyWeights = shot.frames.some((frame) => frame.weights !== null);
  if (frameCount === 0) {
    fail('This page holds no frames.');
    return;
  }
  // The shot's own frame numbers (a chunk of frames 11-20 shows 11 to 20),
  // which the label and a link to a frame use.
  const shotFrames = frameCount === 1 ? String(shot.frames[0].frame)
    : shot.frames[0].frame + '-' + shot.frames[frameCount - 1].frame;

  let data;
  try {
    data = await loadShot(shot);
  } catch (failure) {
    fail('This page\'s data could not be read (' + failure.message + '); the viewer needs a browser with ' +
         'DecompressionStream (2020 on).');
    return;
  }

  // Framed on every frame's box.
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

  let view;
  try {
    view = createScene(element('view'), data.triangles, pointCount, box);
  } catch (failure) {
    fail('This browser could not start WebGL, which the viewer needs: ' + failure.message);
    return;
  }
  performance.mark('kestrin:renderer-created');

  // frame: the one asked for; shown: the one drawn, which waits for its
  // data to be read.
  // measure: the one shown of a page of several, else null.
  const state = { frame: 0, shown: 0, showCorrected: false, colouring: anyWeights ? 'weight' : 'moved',
                  measure: data.measures.length > 0 ? data.measures[0] : null,
                  pointer: null, needsPick: false, playing: false, playStart: 0, playFrom: 0 };
  const weightsEntry = (f) => data.weightsEntry(f, state.measure);
  const weightsOf = (f) => data.weights(f, state.measure);
  // What the legend and the readout call a weight: the measure's name.
  const weightName = () => state.measure ?? 'weight';

  // ---- text -------------------------------------------------------------

  const f32 = Math.fround;
  // The shortest text that reads back as the same float32, as the CSV's.
  function floatText(value) {
    if (!Number.isFinite(value)) return String(value);
    for (let digits = 1; digits <= 9; ++digits) {
      const text = value.toPrecision(digits);
      if (f32(Number(text)) === value) return String(Number(text));
    }
    return String(value);
  }
  // A weight the page holds to 1/32767 of its range: no digits past that.
  function weightText(value, entry) {
    if (!Number.isFinite(value) || entry.encoding === 'f32') return floatText(value);
    const decimals = Math.max(0, Math.min(12, Math.ceil(-Math.log10(entry.range / 65534))));
    return String(Number(value.toFixed(decimals)));
  }
  function rangeText(value) {
    return value === 0 ? '0' : (value > 0 ? '+' : '') + String(Number(value.toPrecision(3)));
  }

  // ---- frames -----------------------------------------------------------

  const colourBy = () => (state.colouring === 'weight' && weightsOf(state.frame) !== null ? 'weight' : 'moved');

  function updateLegend() {
    const stops = [];
    const high = element('legend-high');
    const low = element('legend-low');
    if (colourBy() === 'weight') {
      const range = weightsEntry(state.frame).range;
      for (let i = 0; i <= 10; ++i) stops.push(colours.css(colours.diverging(range * (1 - i / 5), range)));
      element('legend-title').textContent = weightName();
      high.textContent = 'stretch';
      high.style.color = colours.css(colours.stretchEnd);
      low.textContent = 'squash';
      low.style.color = colours.css(colours.squashEnd);
      element('legend-top').textContent = rangeText(range);
      element('legend-middle').textContent = '0 rest';
      element('legend-bottom').textContent = rangeText(-range);
    } else {
      for (let i = 0; i <= 10; ++i) {
        stops.push(colours.css(colours.moved(shot.largestMove * (1 - i / 10), shot.largestMove)));
      }
      element('legend-title').textContent = 'moved';
      high.textContent = 'most';
      high.style.color = colours.css(colours.movedEnd);
      low.textContent = 'still';
      low.style.color = '';
      element('legend-top').textContent = String(Number(shot.largestMove.toPrecision(3)));
      element('legend-middle').textContent = String(Number((shot.largestMove / 2).toPrecision(3)));
      element('legend-bottom').textContent = '0';
    }
    element('legend-bar').style.background = 'linear-gradient(to bottom, ' + stops.join(', ') + ')';
  }

  const lengthAt = (by, i) => Math.hypot(by[i], by[i + 1], by[i + 2]);

  // A frame not read yet shows once it is, unless another was asked for
  // meanwhile; the one drawn stays until then.
  function showFrame(f) {
    state.frame = Math.max(0, Math.min(frameCount - 1, f));
    slider.value = String(state.frame);
    if (!data.isReady(state.frame)) {
      const wanted = state.frame;
      data.ready(wanted).then(() => {
        if (state.frame === wanted) showFrame(wanted);
      });
      return;
    }
    state.shown = state.frame;
    view.positions.array.set(state.showCorrected && isMorph ? data.corrected(state.frame) : data.pose(state.frame));
    performance.mark('kestrin:positions');
    const heat = view.heat.array;
    if (colourBy() === 'weight') {
      const values = weightsOf(state.frame);
      const range = weightsEntry(state.frame).range;
      for (let i = 0; i < pointCount; ++i) colours.putDivergingColour(values[i], range, heat, i * 3, 255);
    } else if (isMorph) {
      const by = data.displacement(state.frame);
      for (let i = 0; i < pointCount; ++i) {
        colours.putMovedColour(lengthAt(by, i * 3), shot.largestMove, heat, i * 3, 255);
      }
    } else {
      heat.fill(1);
    }
    performance.mark('kestrin:colours');
    view.update();
    performance.mark('kestrin:normals-bounds');
    frameLabel.textContent = 'frame ' + shot.frames[state.frame].frame + ' of ' + shotFrames;
    updateLegend();
    state.needsPick = true;
    requestRender();
  }

  // ---- the address ------------------------------------------------------

  // The index of the frame "#frame=N" names, or the nearest; null when the
  // address names none.
  function frameInAddress() {
    const named = /(?:^#|&)frame=(-?\d+)(?:&|$)/.exec(window.location.hash);
    if (!named) return null;
    const wanted = Number(named[1]);
    let best = 0;
    shot.frames.forEach((frame, f) => {
      if (Math.abs(frame.frame - wanted) < Math.abs(shot.frames[best].frame - wanted)) best = f;
    });
    return best;
  }
  // Not while playing: an address changing 24 times a second fills nothing
  // but costs.
  function keepAddress() {
    const measure = state.measure === null ? '' : '&measure=' + encodeURIComponent(state.measure);
    history.replaceState(null, '', '#frame=' + shot.frames[state.frame].frame + measure);
  }
  // The page's measure the address names; null when it names none of them.
  function measureInAddress() {
    const named = /(?:^#|&)measure=([^&]*)/.exec(window.location.hash);
    const name = named ? decodeURIComponent(named[1]) : null;
    return data.measures.includes(name) ? name : null;
  }
  function showMeasure(measure) {
    state.measure = measure;
    measureMenu.value = measure;
    showFrame(state.frame);
  }
  window.addEventListener('hashchange', () => {
    const measure = measureInAddress();
    if (measure !== null && measure !== state.measure) showMeasure(measure);
    const f = frameInAddress();
    if (f !== null && f !== state.frame) {
      setPlaying(false);
      showFrame(f);
    }
  });

  // ---- the point under the cursor ---------------------------------------

  function pick() {
    const point = state.pointer === null ? -1 : view.pointAt(state.pointer.x, state.pointer.y);
    view.mark(point);
    if (point < 0) {
      readout.innerHTML = 'Point under the cursor: none';
      return;
    }
    const values = weightsOf(state.shown);
    let html = 'point <span id="readout-point">' + point + '</span><br>' + weightName() +
               ' <span id="readout-weight">' +
               (values === null ? '-' : weightText(values[point], weightsEntry(state.shown))) + '</span>';
    if (isMorph) {
      const moved = lengthAt(data.displacement(state.shown), point * 3);
      html += '<br>moved <span id="readout-moved">' + floatText(f32(moved)) + '</span>';
    }
    readout.innerHTML = html;
  }

  view.canvas.addEventListener('mousemove', (event) => {
    const canvas = view.canvas.getBoundingClientRect();
    state.pointer = { x: event.clientX - canvas.left, y: event.clientY - canvas.top };
    state.needsPick = true;
    requestRender();
  });
  view.canvas.addEventListener('mouseleave', () => {
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
    view.render();
    performance.mark('kestrin:render');
  }

  function setPlaying(playing) {
    const wasPlaying = state.playing;
    state.playing = playing && frameCount > 1;
    state.playStart = performance.now();
    state.playFrom = state.frame;
    playButton.textContent = state.playing ? 'Pause' : 'Play';
    if (wasPlaying && !state.playing) keepAddress();
    requestRender();
  }

  function resize() {
    view.resize(window.innerWidth, window.innerHeight);
    requestRender();
  }

  slider.max = String(frameCount - 1);
  slider.addEventListener('input', () => {
    setPlaying(false);
    showFrame(Number(slider.value));
    keepAddress();
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
  if (state.measure !== null) {
    document.body.classList.add('measures');
    for (const measure of shot.measures) {
      const option = document.createElement('option');
      option.value = option.textContent = measure.name;
      option.title = measure.help;
      measureMenu.append(option);
    }
    measureMenu.value = state.measure = measureInAddress() ?? state.measure;
    measureMenu.addEventListener('change', () => {
      showMeasure(measureMenu.value);
      keepAddress();
    });
  }
  view.controls.addEventListener('change', () => {
    state.needsPick = true;
    requestRender();
  });
  window.addEventListener('resize', resize);
  document.title = 'kestrin ' + shot.kind + ' shot: ' + frameCount + ' frames, ' + pointCount + ' points';

  window.kestrinShot = {
    ready: false,
    index: shot,
    // Resolves once every frame is read, which pose() and the others of a
    // frame need.
    decoded: null,
    frame: () => state.frame,
    // The measure shown, on a page of several; else null.
    measure: () => state.measure,
    pose: data.pose,
    displacement: data.displacement,
    corrected: data.corrected,
    // weights(f, measure): the frame's, of the measure named on a page of
    // several; of the page's one set without a name.
    weights: data.weights,
    // The shown frame's colour of every point (r, g, b in 0..1, unshaded).
    colours: () => view.heat.array,
    // Where point `point` of the shown frame is drawn, in CSS pixels from the
    // page's top left corner.
    screenPosition: view.screenPosition,
  };

  resize();
  const opening = frameInAddress() ?? 0;
  await data.ready(opening);
  performance.mark('kestrin:frame-read');
  showFrame(opening);
  // The first callback runs in the frame that draws; the second, in the next
  // one, once the drawing has reached the screen. Then the other frames are
  // read, so that scrubbing and playing find them there.
  requestAnimationFrame(() => requestAnimationFrame(() => {
    performance.mark('kestrin:ready');
    window.kestrinShot.readyAt = performance.now();
    window.kestrinShot.ready = true;
    window.kestrinShot.decoded = data.decode();
  }));
})();
