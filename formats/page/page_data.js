// The shot page's data, as the viewer reads it: finds the blocks the tool
// wrote into the page (layout in formats/page/shot_page.h), undoes their
// packing (formats/page/packed_words.h: deflate, inflated here by the
// browser's own DecompressionStream; byte planes; predictions) and offers
// each frame's positions, displacement and weights (of each measure, on a
// page of several) as float32 arrays.
// kestrinPage.loadShot(shot) resolves once the triangles are read; a frame's
// arrays are there once its ready(f) has resolved.
(function (kestrinPage) {
  'use strict';

  // A table lookup per character straight from the block's text: twice
  // to four times as fast as atob and a copy out of its binary string, which
  // counts on a page of a hundred megabytes.
  const base64Codes = new Uint8Array(128);
  const base64Alphabet = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';
  for (let i = 0; i < 64; ++i) base64Codes[base64Alphabet.charCodeAt(i)] = i;

  function base64Bytes(text, start) {
    const code = (i) => base64Codes[text.charCodeAt(i) & 127];
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

  async function inflate(bytes) {
    const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }

  // The words back from their byte planes, each plus its prediction: the
  // same word of `previous`, or the word before it. Typed arrays wrap, as
  // the writer's arithmetic does.
  function unpack(planes, Words, previous) {
    const width = Words.BYTES_PER_ELEMENT;
    const count = planes.length / width;
    const words = new Words(count);
    for (let plane = 0; plane < width; ++plane) {
      const shift = 8 * plane;
      for (let i = 0, at = plane * count; i < count; ++i, ++at) words[i] |= planes[at] << shift;
    }
    if (previous) {
      for (let i = 0; i < count; ++i) words[i] += previous[i];
    } else {
      for (let i = 1; i < count; ++i) words[i] += words[i - 1];
    }
    return words;
  }

  // Each frame's axis-by-axis triples as x y z per point, in float32: codes
  // map to offset + code * step along each axis, the writer's arithmetic in
  // double, then float32.
  function triples(values, count, offset, step) {
    const out = new Float32Array(count * 3);
    for (let axis = 0; axis < 3; ++axis) {
      const low = offset(axis);
      const size = step(axis);
      for (let i = 0, at = axis * count; i < count; ++i, ++at) out[i * 3 + axis] = low + values[at] * size;
    }
    return out;
  }

  // The float32 arrays last asked for, a few: playing a long shot of a large
  // mesh keeps only its packed words, a fraction of their size.
  function recentCache(limit) {
    const entries = new Map();
    return (key, make) => {
      let value = entries.get(key);
      if (value === undefined) {
        value = make();
        if (entries.size >= limit) entries.delete(entries.keys().next().value);
      } else {
        entries.delete(key);
      }
      entries.set(key, value);
      return value;
    };
  }

  // Decodes blocks when a frame first needs them: a page opens once its
  // triangles and the frames up to the one it shows are read (a "frame"
  // prediction reaches back at most to the last "point" block of its part,
  // every tenth frame), and decode() reads the rest while the user looks.
  kestrinPage.loadShot = async function (shot) {
    const pointCount = shot.points;
    // The data blocks are comments in the body, "kestrin-block-N BASE64".
    const comments = new Map();
    for (const node of document.body.childNodes) {
      if (node.nodeType === Node.COMMENT_NODE && node.data.startsWith('kestrin-block-')) {
        comments.set(node.data.slice(0, node.data.indexOf(' ')), node);
      }
    }
    // Each block's words, once; the comment's text let go once read.
    const words = new Map();
    async function read(entry, Words, previous) {
      if (!words.has(entry.block)) {
        const node = comments.get(entry.block);
        const planes = await inflate(base64Bytes(node.data, entry.block.length + 1));
        node.remove();
        words.set(entry.block, unpack(planes, Words, previous));
      }
      return words.get(entry.block);
    }
    // A frame's entry of each part, each part predicted along its own
    // frames: the pose, the displacement, the weights and each measure's.
    const measures = (shot.measures || []).map((measure) => measure.name);
    const parts = [(frame) => frame.pose, (frame) => frame.displacement, (frame) => frame.weights,
                   ...measures.map((name) => (frame) => frame.measures[name])];
    // Frame f's blocks and every block its predictions reach, in frame order.
    async function readFrame(f) {
      for (const part of parts) {
        const entry = part(shot.frames[f]);
        if (!entry || words.has(entry.block)) continue;
        let previous = null;
        if (entry.predict === 'frame') {
          let before = f - 1;
          const sameBlock = (g) => !part(shot.frames[g]) || part(shot.frames[g]).block === entry.block;
          while (before >= 0 && sameBlock(before)) --before;
          await readFrame(before);
          previous = words.get(part(shot.frames[before]).block);
        }
        await read(entry, entry.encoding === 'f32' ? Uint32Array : Uint16Array, previous);
      }
    }
    // One read at a time: two would decode a shared chain twice.
    let queue = Promise.resolve();
    const ready = (f) => (queue = queue.then(() => readFrame(f)));
    const isReady = (f) => parts.every((part) => !part(shot.frames[f]) || words.has(part(shot.frames[f]).block));
    const triangles = await read(shot.triangles, Uint32Array, null);

    const cached = recentCache(8);
    const floats = (entry) => new Float32Array(words.get(entry.block).buffer);
    // Positions on the frame's box.
    const pose = (f) => cached('pose-' + f, () => {
      const entry = shot.frames[f].pose;
      return entry.encoding === 'f32' ? triples(floats(entry), pointCount, () => 0, () => 1)
        : triples(words.get(entry.block), pointCount, (axis) => entry.min[axis],
                  (axis) => (entry.max[axis] - entry.min[axis]) / 65535);
    });
    // Each point's move from its pose, symmetric about 0: code 0, a point
    // that did not move, gives exactly 0.
    const displacement = (f) => {
      const entry = shot.frames[f].displacement;
      if (!entry) return null;
      return cached('displacement-' + f, () => entry.encoding === 'f32'
        ? triples(floats(entry), pointCount, () => 0, () => 1)
        : triples(new Int16Array(words.get(entry.block).buffer), pointCount, () => 0,
                  (axis) => entry.scale[axis] / 32767));
    };
    // The corrected mesh as the pose moved by its displacement: a point that
    // did not move stays exactly where the pose has it.
    const corrected = (f) => {
      if (!shot.frames[f].displacement) return null;
      return cached('corrected-' + f, () => {
        const from = pose(f);
        const by = displacement(f);
        const out = new Float32Array(pointCount * 3);
        for (let i = 0; i < out.length; ++i) out[i] = from[i] + by[i];
        return out;
      });
    };
    // The frame's weights entry: of the measure named, or the page's one set.
    const weightsEntry = (f, measure) => (measure ? shot.frames[f].measures[measure] : shot.frames[f].weights);
    const weights = (f, measure) => {
      const entry = weightsEntry(f, measure);
      if (entry === null) return null;
      return cached(entry.block, () => {
        if (entry.encoding === 'f32') return floats(entry);
        const codes = new Int16Array(words.get(entry.block).buffer);
        const out = new Float32Array(pointCount);
        const step = entry.range / 32767;
        for (let i = 0; i < pointCount; ++i) out[i] = codes[i] === -32768 ? NaN : codes[i] * step;
        return out;
      });
    };
    // Every frame read, in order: resolves when the whole shot is.
    const decode = async () => {
      for (let f = 0; f < shot.frames.length; ++f) await ready(f);
    };
    return { triangles, ready, isReady, decode, pose, displacement, corrected, weights, weightsEntry, measures };
  };
})(window.kestrinPage = window.kestrinPage || {});
