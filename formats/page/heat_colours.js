// The tool's colour map (formats/files/colour_map.cpp) as the shot page draws
// it: blue squash, white rest, red stretch, grey for not a number, the ends
// as the page's index carries them (its "colours"); movement runs from white
// to purple. Computed in float32 steps as the tool's are, so a weight gets
// the PNG's colour.
(function (kestrinPage) {
  'use strict';

  const movedEnd = [84, 39, 143];

  // `ends`: {squash, stretch, notANumber}, each [r, g, b].
  kestrinPage.heatColours = function (ends) {
    const squashEnd = ends.squash;
    const stretchEnd = ends.stretch;
    const grey = ends.notANumber;

    const f32 = Math.fround;
    function mix(from, to, amount) {
      return Math.round(f32(from + f32(f32(to - from) * amount)));
    }
    function put(end, reach, out, at, unit) {
      out[at] = mix(255, end[0], reach) / unit;
      out[at + 1] = mix(255, end[1], reach) / unit;
      out[at + 2] = mix(255, end[2], reach) / unit;
    }
    // Each writes one colour, 0..255 divided by `unit`, at out[at..at+2]: with
    // unit 255 straight into a mesh's colour attribute, with no array per point.
    function putDivergingColour(weight, range, out, at, unit) {
      if (Number.isNaN(weight)) {
        put(grey, 1, out, at, unit);
        return;
      }
      const amount = Math.max(-1, Math.min(1, range > 0 ? f32(weight / range) : 0));
      put(amount < 0 ? squashEnd : stretchEnd, Math.abs(amount), out, at, unit);
    }
    // `largest`: the shot's largest move, which takes the full colour.
    function putMovedColour(length, largest, out, at, unit) {
      put(movedEnd, largest > 0 ? Math.min(1, length / largest) : 0, out, at, unit);
    }
    const rgb = (put) => {
      const out = [0, 0, 0];
      put(out);
      return out;
    };

    return {
      squashEnd,
      stretchEnd,
      movedEnd,
      putDivergingColour,
      putMovedColour,
      diverging: (weight, range) => rgb((out) => putDivergingColour(weight, range, out, 0, 1)),
      moved: (length, largest) => rgb((out) => putMovedColour(length, largest, out, 0, 1)),
      css: (colour) => 'rgb(' + colour.join(',') + ')',
    };
  };
})(window.kestrinPage = window.kestrinPage || {});
