// The heatmap layer. Every line is rasterised into a count per pixel (a line that crosses
// itself counts once there), and the counts are mapped onto a colour ramp on a logarithmic
// scale. This runs on the processor in plain arrays: compositing thousands of strokes with
// additive blending costs far more in a software-drawn canvas, since each stroke blends its
// whole bounding box.
"use strict";

const HEAT_FULL_COUNT = 60;          // the count that reaches the end of the ramp
const HEAT_STOPS = [                 // [position, r, g, b]
  [0.0, 150, 50, 230], [0.3, 225, 50, 120], [0.55, 250, 95, 30],
  [0.8, 255, 200, 40], [1.0, 255, 255, 220],
];

// RGBA per count as one 32-bit word in the byte order of the canvas' pixel data.
const heatRamp = (() => {
  const ramp = new Uint32Array(65536);
  const bytes = new Uint8ClampedArray(4);
  const word = new Uint32Array(bytes.buffer);
  for (let count = 1; count < 65536; count++) {
    const t = Math.min(1, Math.log(count) / Math.log(HEAT_FULL_COUNT));
    let i = 1;
    while (i < HEAT_STOPS.length - 1 && HEAT_STOPS[i][0] < t) i++;
    const [p0, ...c0] = HEAT_STOPS[i - 1];
    const [p1, ...c1] = HEAT_STOPS[i];
    const f = Math.min(1, Math.max(0, (t - p0) / (p1 - p0)));
    for (let k = 0; k < 3; k++) bytes[k] = c0[k] + (c1[k] - c0[k]) * f;
    bytes[3] = 255 * (0.7 + 0.3 * t);
    ramp[count] = word[0];
  }
  return ramp;
})();

function decodeBase64(text) {
  const raw = atob(text);
  const bytes = new Uint8Array(raw.length);
  for (let i = 0; i < raw.length; i++) bytes[i] = raw.charCodeAt(i);
  return bytes.buffer;
}

// Lines in Web Mercator world units (0..1 both ways), with a bounding box per line so that a
// tile only looks at the lines that can touch it. `pointText` holds, per point, the changes in
// latitude and longitude from the line's previous point in millionths of a degree (see
// HeatmapLines in the application).
function prepareHeatLines(pointText, points, startsBase64) {
  const starts = new Uint32Array(decodeBase64(startsBase64));
  const xs = new Float64Array(points);
  const ys = new Float64Array(points);
  let at = 0;
  const change = () => {
    const short = pointText.charCodeAt(at++) - 0x800;
    if (short !== 0) return short - 16384;
    const high = pointText.charCodeAt(at++) - 0x800;
    const low = pointText.charCodeAt(at++) - 0x800;
    return high * 32768 + low - 536870912;
  };
  let line = 0, latitude = 0, longitude = 0;
  for (let i = 0; i < points; i++) {
    if (line < starts.length && starts[line] === i) {
      latitude = 0;
      longitude = 0;
      line++;
    }
    latitude += change();
    longitude += change();
    const lat = Math.max(-85.05, Math.min(85.05, latitude / 1e6));
    const s = Math.sin(lat * Math.PI / 180);
    xs[i] = (longitude / 1e6 + 180) / 360;
    ys[i] = 0.5 - Math.log((1 + s) / (1 - s)) / (4 * Math.PI);
  }
  const boxes = new Float64Array(starts.length * 4);
  for (let l = 0; l < starts.length; l++) {
    const end = l + 1 < starts.length ? starts[l + 1] : points;
    let x0 = 1, y0 = 1, x1 = 0, y1 = 0;
    for (let i = starts[l]; i < end; i++) {
      x0 = Math.min(x0, xs[i]); x1 = Math.max(x1, xs[i]);
      y0 = Math.min(y0, ys[i]); y1 = Math.max(y1, ys[i]);
    }
    boxes.set([x0, y0, x1, y1], l * 4);
  }
  return { xs, ys, starts, boxes, points };
}

// Where most lines are: the area of about 60 km round the busiest cell of a coarse grid, and
// within it the 5th to 95th percentile of the lines' boxes, so that trips far from home do not
// zoom the map out to the whole world.
const HEAT_CELL = 1 / 2048;  // world units: about 20 km at the equator

function heatBounds(lines) {
  const n = lines.starts.length;
  const cellOf = (l) => {
    const b = l * 4;
    const cx = Math.floor((lines.boxes[b] + lines.boxes[b + 2]) / 2 / HEAT_CELL);
    const cy = Math.floor((lines.boxes[b + 1] + lines.boxes[b + 3]) / 2 / HEAT_CELL);
    return [cx, cy];
  };
  const counts = new Map();
  for (let l = 0; l < n; l++) {
    const [cx, cy] = cellOf(l);
    for (let dx = -1; dx <= 1; dx++) {
      for (let dy = -1; dy <= 1; dy++) {
        const key = (cx + dx) * 1048576 + (cy + dy);
        counts.set(key, (counts.get(key) || 0) + 1);
      }
    }
  }
  let best = 0, bestCount = -1;
  for (const [key, count] of counts) if (count > bestCount) { best = key; bestCount = count; }
  const bestX = Math.round(best / 1048576), bestY = best - bestX * 1048576;
  const chosen = [];
  for (let l = 0; l < n; l++) {
    const [cx, cy] = cellOf(l);
    if (Math.abs(cx - bestX) <= 1 && Math.abs(cy - bestY) <= 1) chosen.push(l);
  }
  const m = chosen.length;
  const pick = (offset) => {
    const values = new Float64Array(m);
    for (let k = 0; k < m; k++) values[k] = lines.boxes[chosen[k] * 4 + offset];
    return values.sort();
  };
  // Rounded outwards: with fewer than twenty lines every line is in view.
  const low = (sorted) => sorted[Math.floor(0.05 * (m - 1))];
  const high = (sorted) => sorted[Math.ceil(0.95 * (m - 1))];
  const west = low(pick(0)), north = low(pick(1));
  const east = high(pick(2)), south = high(pick(3));
  const toLatLng = (x, y) => {
    const lat = Math.atan(Math.sinh(Math.PI * (1 - 2 * y))) * 180 / Math.PI;
    return L.latLng(lat, x * 360 - 180);
  };
  return L.latLngBounds(toLatLng(Math.min(west, east), Math.max(south, north)),
                        toLatLng(Math.max(west, east), Math.min(south, north)));
}

// How far the canvas reaches beyond the view on each side, as a share of the view: a drag
// shows lines already drawn until the map comes to rest and the canvas is drawn afresh.
const HEAT_PADDING = 0.25;

// Lines counted into a grid of w x h pixels seen from (ox, oy) at `scale` pixels per world
// unit: a pixel counts one for every line that reaches it, however often that line passes.
// The lines are two pixels wide. Returns, per pixel, the count in the high 16 bits (it stops
// at 65535, far past the end of the ramp).
//
// Count and the last line that reached the pixel share one word: one memory access per pixel
// instead of two draws a large history in less than half the time. Line numbers therefore run
// in rounds of 65535, and the low halves are cleared between rounds.
function countLines(lines, w, h, scale, ox, oy) {
  const cells = new Uint32Array(w * h);
  const { xs, ys, starts, boxes, points } = lines;
  const x0 = ox / scale, y0 = oy / scale, x1 = (ox + w) / scale, y1 = (oy + h) / scale;
  const maxX = w - 1, maxY = h - 1;
  const mark = (p, id) => {
    const v = cells[p];
    if ((v & 0xffff) === id) return;
    cells[p] = (v >= 0xffff0000 ? v & 0xffff0000 : (v + 0x10000) & 0xffff0000) | id;
  };
  for (let l = 0; l < starts.length; l++) {
    const b = l * 4;
    if (boxes[b] > x1 || boxes[b + 2] < x0 || boxes[b + 1] > y1 || boxes[b + 3] < y0) continue;
    const id = (l % 65535) + 1;
    if (id === 1 && l > 0) for (let p = 0; p < cells.length; p++) cells[p] &= 0xffff0000;
    const end = l + 1 < starts.length ? starts[l + 1] : points;
    let px = xs[starts[l]] * scale - ox, py = ys[starts[l]] * scale - oy;
    for (let i = starts[l] + 1; i < end; i++) {
      const ax = px, ay = py;
      px = xs[i] * scale - ox;
      py = ys[i] * scale - oy;
      // A step across the 180th meridian is not a line round the world.
      if (Math.abs(xs[i] - xs[i - 1]) > 0.5) continue;
      // Clipped to the grid (Liang-Barsky): a long step seen close up must not be walked pixel
      // by pixel far outside it.
      const dx = px - ax, dy = py - ay;
      let t0 = 0, t1 = 1;
      if (dx === 0) {
        if (ax < 0 || ax > maxX) continue;
      } else {
        const ra = -ax / dx, rb = (maxX - ax) / dx;
        t0 = Math.max(t0, Math.min(ra, rb));
        t1 = Math.min(t1, Math.max(ra, rb));
      }
      if (dy === 0) {
        if (ay < 0 || ay > maxY) continue;
      } else {
        const ra = -ay / dy, rb = (maxY - ay) / dy;
        t0 = Math.max(t0, Math.min(ra, rb));
        t1 = Math.min(t1, Math.max(ra, rb));
      }
      if (t0 > t1) continue;
      let fx = ax + t0 * dx, fy = ay + t0 * dy;
      const cdx = (t1 - t0) * dx, cdy = (t1 - t0) * dy;
      const steps = Math.max(1, Math.ceil(Math.max(Math.abs(cdx), Math.abs(cdy))));
      const stepX = cdx / steps, stepY = cdy / steps;
      const flat = Math.abs(cdx) >= Math.abs(cdy);  // the second pixel: below, or to the right
      for (let s = 0; s <= steps; s++) {
        const xi = fx | 0, yi = fy | 0;
        const p = yi * w + xi;
        mark(p, id);
        if (flat ? yi < maxY : xi < maxX) mark(flat ? p + w : p + 1, id);
        fx += stepX;
        fy += stepY;
      }
    }
  }
  return cells;
}

// The canvas is only ever written whole from the processor's memory.
const heatCanvasOptions = { willReadFrequently: true };

// The first image put on a canvas sets up the page's drawing machinery, half a second under a
// software-drawn desktop. Done while the map starts, that is not added to the first heatmap.
function prepareHeatCanvas() {
  const canvas = document.createElement("canvas");
  canvas.width = 1;
  canvas.height = 1;
  const ctx = canvas.getContext("2d", heatCanvasOptions);
  ctx.putImageData(ctx.createImageData(1, 1), 0, 0);
}

function drawHeat(lines, canvas, map) {
  const size = map.getSize();
  const padX = Math.round(size.x * HEAT_PADDING), padY = Math.round(size.y * HEAT_PADDING);
  const width = size.x + 2 * padX, height = size.y + 2 * padY;
  const ratio = window.devicePixelRatio || 1;
  const w = Math.round(width * ratio), h = Math.round(height * ratio);
  canvas.width = w;
  canvas.height = h;
  canvas.style.width = width + "px";
  canvas.style.height = height + "px";
  const topLeft = map.containerPointToLayerPoint([-padX, -padY]);
  L.DomUtil.setPosition(canvas, topLeft);
  // World units to canvas pixels: Leaflet's own projection scaled to the zoom.
  const scale = 256 * Math.pow(2, map.getZoom()) * ratio;
  const origin = map.getPixelOrigin().add(topLeft).multiplyBy(ratio);
  const cells = countLines(lines, w, h, scale, origin.x, origin.y);
  const ctx = canvas.getContext("2d", heatCanvasOptions);
  const image = ctx.createImageData(w, h);
  const pixels = new Uint32Array(image.data.buffer);
  for (let p = 0; p < cells.length; p++) {
    const count = cells[p] >>> 16;
    if (count) pixels[p] = heatRamp[count];
  }
  ctx.putImageData(image, 0, 0);
}

// One canvas over the view, drawn afresh whenever the map comes to rest: each line is walked
// once per drawing, where tiles would walk it once for every tile it crosses.
const HeatLayer = L.Layer.extend({
  initialize(lines) { this._lines = lines; },
  onAdd(map) {
    this._canvas = L.DomUtil.create("canvas", "vantrel-heat");
    this._canvas.style.position = "absolute";
    map.getPane("heatmap").appendChild(this._canvas);
    this._redraw();
  },
  onRemove() { L.DomUtil.remove(this._canvas); },
  getEvents() {
    return {
      zoomstart: () => { this._canvas.style.visibility = "hidden"; },
      moveend: () => this._redraw(),
      resize: () => this._redraw(),
    };
  },
  _redraw() {
    const start = performance.now();
    drawHeat(this._lines, this._canvas, this._map);
    window.vantrelState.heatmapDrawMs = performance.now() - start;
    this._canvas.style.visibility = "visible";
  },
});
