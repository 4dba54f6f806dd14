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
// tile only looks at the lines that can touch it.
function prepareHeatLines(coordinatesBase64, startsBase64) {
  const coords = new Float32Array(decodeBase64(coordinatesBase64));
  const starts = new Uint32Array(decodeBase64(startsBase64));
  const points = coords.length / 2;
  const xs = new Float64Array(points);
  const ys = new Float64Array(points);
  for (let i = 0; i < points; i++) {
    const lat = Math.max(-85.05, Math.min(85.05, coords[2 * i]));
    const s = Math.sin(lat * Math.PI / 180);
    xs[i] = (coords[2 * i + 1] + 180) / 360;
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

// The part of the segment inside [0, w) x [0, h) (Liang-Barsky), or null: a long step seen at
// a high zoom must not be walked pixel by pixel far outside the canvas.
function clipSegment(x0, y0, x1, y1, w, h) {
  let t0 = 0, t1 = 1;
  const dx = x1 - x0, dy = y1 - y0;
  const edges = [[-dx, x0], [dx, w - 1 - x0], [-dy, y0], [dy, h - 1 - y0]];
  for (const [p, q] of edges) {
    if (p === 0) { if (q < 0) return null; continue; }
    const r = q / p;
    if (p < 0) { if (r > t1) return null; if (r > t0) t0 = r; }
    else { if (r < t0) return null; if (r < t1) t1 = r; }
  }
  return [x0 + t0 * dx, y0 + t0 * dy, x0 + t1 * dx, y0 + t1 * dy];
}

// Adds one to each pixel of the segment not yet counted for line `id`, two pixels wide.
function countSegment(counts, stamps, id, w, h, segment) {
  const [x0, y0, x1, y1] = segment;
  const dx = x1 - x0, dy = y1 - y0;
  const steps = Math.max(1, Math.ceil(Math.max(Math.abs(dx), Math.abs(dy))));
  const across = Math.abs(dx) >= Math.abs(dy) ? w : 1;  // the second pixel: below or right
  for (let s = 0; s <= steps; s++) {
    const x = (x0 + (dx * s) / steps) | 0, y = (y0 + (dy * s) / steps) | 0;
    const p = y * w + x;
    if (stamps[p] !== id) { stamps[p] = id; counts[p]++; }
    const q = p + across;
    if ((across === 1 ? x + 1 < w : y + 1 < h) && stamps[q] !== id) { stamps[q] = id; counts[q]++; }
  }
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
  const ox = origin.x, oy = origin.y;
  const x0 = ox / scale, y0 = oy / scale, x1 = (ox + w) / scale, y1 = (oy + h) / scale;
  const counts = new Uint16Array(w * h);
  const stamps = new Uint32Array(w * h);
  const { xs, ys, starts, boxes, points } = lines;
  for (let l = 0; l < starts.length; l++) {
    const b = l * 4;
    if (boxes[b] > x1 || boxes[b + 2] < x0 || boxes[b + 1] > y1 || boxes[b + 3] < y0) continue;
    const end = l + 1 < starts.length ? starts[l + 1] : points;
    let px = xs[starts[l]] * scale - ox, py = ys[starts[l]] * scale - oy;
    for (let i = starts[l] + 1; i < end; i++) {
      const x = xs[i] * scale - ox, y = ys[i] * scale - oy;
      // A step across the 180th meridian is not a line round the world.
      if (Math.abs(xs[i] - xs[i - 1]) <= 0.5) {
        const segment = clipSegment(px, py, x, y, w, h);
        if (segment) countSegment(counts, stamps, l + 1, w, h, segment);
      }
      px = x; py = y;
    }
  }
  const ctx = canvas.getContext("2d");
  const image = ctx.createImageData(w, h);
  const pixels = new Uint32Array(image.data.buffer);
  for (let p = 0; p < counts.length; p++) if (counts[p]) pixels[p] = heatRamp[counts[p]];
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
    drawHeat(this._lines, this._canvas, this._map);
    this._canvas.style.visibility = "visible";
  },
});
