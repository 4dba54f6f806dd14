// The heatmap layer: every line drawn into each tile with additive blending in one warm
// colour whose red channel fills first, then green, then blue. The count of lines over a pixel
// thus walks a ramp by itself: a single line a faint red, a few a full red, a dozen yellow,
// forty and more white. No pixel is read back, so the tiles stay on the graphics card.
"use strict";

const HEAT_COLOUR = "rgba(255, 72, 26, 0.28)";

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

// Where most lines are: the 5th to 95th percentile of their boxes, so that one trip abroad
// does not zoom the map out to the whole world.
function heatBounds(lines) {
  const n = lines.starts.length;
  const pick = (offset) => {
    const values = new Float64Array(n);
    for (let l = 0; l < n; l++) values[l] = lines.boxes[l * 4 + offset];
    return values.sort();
  };
  // Rounded outwards: with fewer than twenty lines every line is in view.
  const low = (sorted) => sorted[Math.floor(0.05 * (n - 1))];
  const high = (sorted) => sorted[Math.ceil(0.95 * (n - 1))];
  const west = low(pick(0)), north = low(pick(1));
  const east = high(pick(2)), south = high(pick(3));
  const toLatLng = (x, y) => {
    const lat = Math.atan(Math.sinh(Math.PI * (1 - 2 * y))) * 180 / Math.PI;
    return L.latLng(lat, x * 360 - 180);
  };
  return L.latLngBounds(toLatLng(Math.min(west, east), Math.max(south, north)),
                        toLatLng(Math.max(west, east), Math.min(south, north)));
}

function drawHeatTile(lines, canvas, coords, tileSize) {
  const ratio = window.devicePixelRatio || 1;
  canvas.width = tileSize * ratio;
  canvas.height = tileSize * ratio;
  const ctx = canvas.getContext("2d");
  ctx.scale(ratio, ratio);
  const scale = tileSize * Math.pow(2, coords.z);
  const ox = coords.x * tileSize, oy = coords.y * tileSize;
  const width = coords.z >= 16 ? 3 : coords.z >= 12 ? 2 : 1.5;
  const margin = width / scale;
  const tx0 = ox / scale - margin, ty0 = oy / scale - margin;
  const tx1 = (ox + tileSize) / scale + margin, ty1 = (oy + tileSize) / scale + margin;
  ctx.globalCompositeOperation = "lighter";
  ctx.strokeStyle = HEAT_COLOUR;
  ctx.lineWidth = width;
  ctx.lineJoin = "round";
  ctx.lineCap = "round";
  const { xs, ys, starts, boxes, points } = lines;
  for (let l = 0; l < starts.length; l++) {
    const b = l * 4;
    if (boxes[b] > tx1 || boxes[b + 2] < tx0 || boxes[b + 1] > ty1 || boxes[b + 3] < ty0) continue;
    const end = l + 1 < starts.length ? starts[l + 1] : points;
    // One path per line: where a line crosses itself it still counts once.
    ctx.beginPath();
    let px = xs[starts[l]] * scale - ox, py = ys[starts[l]] * scale - oy;
    ctx.moveTo(px, py);
    for (let i = starts[l] + 1; i < end; i++) {
      const x = xs[i] * scale - ox, y = ys[i] * scale - oy;
      // A step across the 180th meridian is not a line round the world.
      if (Math.abs(xs[i] - xs[i - 1]) > 0.5) { ctx.moveTo(x, y); px = x; py = y; continue; }
      if (Math.abs(x - px) + Math.abs(y - py) < 0.7 && i + 1 < end) continue;
      ctx.lineTo(x, y);
      px = x; py = y;
    }
    ctx.stroke();
  }
}

function makeHeatLayer(lines) {
  const Layer = L.GridLayer.extend({
    createTile(coords) {
      const canvas = document.createElement("canvas");
      drawHeatTile(lines, canvas, coords, this.getTileSize().x);
      return canvas;
    },
  });
  return new Layer({ pane: "heatmap", updateWhenZooming: false, keepBuffer: 1 });
}
