// The map page: draws what the application asks for and reports the camera when it stops.
"use strict";

const PIN_SVG =
  '<svg xmlns="http://www.w3.org/2000/svg" width="28" height="36" viewBox="0 0 28 36">' +
  '<path d="M14 35 C14 35 2 20 2 13 A12 12 0 0 1 26 13 C26 20 14 35 14 35 Z" fill="#d7332b"/>' +
  '<circle cx="14" cy="13" r="5" fill="#fff"/></svg>';

let map = null;
let bridge = null;
let tiles = null;
let route = null;
let pin = null;
let marker = null;
let heat = null;
let programmatic = false;
// The region the application asked for, refitted after a resize until the user moves the map.
let requested = null;

function report(byUser) {
  if (!bridge) return;
  const b = map.getBounds();
  const c = map.getCenter();
  bridge.cameraChanged(c.lat, c.lng, b.getNorth() - b.getSouth(), b.getEast() - b.getWest(),
                       byUser);
}

function quietly(action) {
  programmatic = true;
  try { action(); } finally { programmatic = false; }
}

function fitRequested() {
  if (!requested) return;
  quietly(() => map.fitBounds(requested, { animate: false, padding: [0, 0] }));
}

// What the page shows, for tests and timing runs to read back.
window.vantrelState = { routePoints: 0, routeVersion: 0, heatmapLines: 0, heatmapPaints: 0 };

function heatmapPainted(lines) {
  window.vantrelState.heatmapPaints += 1;
  window.vantrelState.heatmapPaintMs = performance.now() - window.vantrelState.heatmapStart;
  if (bridge && bridge.heatmapPainted) bridge.heatmapPainted(lines);
}

// Leaflet reads a string as markup; text goes in as a node so it stays text.
function textElement(text) {
  const span = document.createElement("span");
  span.textContent = text;
  return span;
}

window.vantrel = {
  // `attribution` is markup the application built (escaped text, at most one link);
  // `imageSource` the tile server, the one place images may come from from now on.
  setTiles(url, attribution, imageSource) {
    const policy = document.createElement("meta");
    policy.httpEquiv = "Content-Security-Policy";
    policy.content = "img-src " + (imageSource ? imageSource + " " : "") + "data:";
    document.head.appendChild(policy);
    if (tiles) tiles.remove();
    tiles = L.tileLayer(url, { maxZoom: 19, attribution: attribution });
    tiles.addTo(map);
  },
  setRoute(coords) {
    if (route) { route.remove(); route = null; }
    window.vantrelState.routePoints = coords.length;
    window.vantrelState.routeVersion += 1;
    if (coords.length > 1) {
      route = L.polyline(coords, { color: "#1e6ee6", weight: 4, opacity: 0.9 }).addTo(map);
    }
  },
  setHeatmap(pointText, points, startsBase64) {
    window.vantrelState.heatmapStart = performance.now();
    if (heat) { heat.remove(); heat = null; }
    const lines = prepareHeatLines(pointText, points, startsBase64);
    window.vantrelState.heatmapPrepareMs = performance.now() - window.vantrelState.heatmapStart;
    const count = lines.starts.length;
    window.vantrelState.heatmapLines = count;
    // Coloured lines read best on a quiet, darker ground.
    map.getPane("tilePane").style.filter = count > 0 ? "grayscale(1) brightness(0.45)" : "";
    map.getContainer().style.background = count > 0 ? "#303134" : "";
    if (count === 0) { heatmapPainted(0); return; }
    requested = heatBounds(lines);
    fitRequested();
    heat = new HeatLayer(lines).addTo(map);
    // Drawn by now; painted on screen with the next frame.
    requestAnimationFrame(() => heatmapPainted(count));
  },
  setPin(coord) {
    if (pin) { pin.remove(); pin = null; }
    if (!coord) return;
    const icon = L.divIcon({ className: "vantrel-pin", html: PIN_SVG,
                             iconSize: [28, 36], iconAnchor: [14, 35] });
    pin = L.marker(coord, { icon: icon, keyboard: false, interactive: false }).addTo(map);
  },
  setMarker(coord, label) {
    if (!coord) { if (marker) { marker.remove(); marker = null; } return; }
    if (!marker) {
      marker = L.circleMarker(coord, { radius: 7, color: "#fff", weight: 2,
                                       fillColor: "#d7332b", fillOpacity: 1 }).addTo(map);
      marker.bindTooltip(textElement(label), { permanent: true, direction: "top",
                                               offset: [0, -8], className: "vantrel-marker-label" });
    } else {
      marker.setLatLng(coord);
      marker.setTooltipContent(textElement(label));
    }
  },
  setGround(color) {
    document.documentElement.style.setProperty("--vantrel-ground", color);
    window.vantrelState.ground = color;
  },
  setCenterPin(visible) {
    const el = document.getElementById("center-pin");
    el.innerHTML = PIN_SVG;
    el.style.display = visible ? "block" : "none";
  },
  setCamera(lat, lon, spanLat, spanLon) {
    requested = L.latLngBounds([lat - spanLat / 2, lon - spanLon / 2],
                               [lat + spanLat / 2, lon + spanLon / 2]);
    fitRequested();
  },
  setAutomatic() {
    requested = null;
    quietly(() => map.setView([20, 0], 2, { animate: false }));
  },
};

function start() {
  // Canvas draws a long route far faster than one SVG path element.
  map = L.map("map", { preferCanvas: true, zoomSnap: 0, zoomDelta: 0.5, trackResize: false, worldCopyJump: true });
  map.attributionControl.setPrefix(false);
  map.setView([20, 0], 2, { animate: false });
  map.createPane("heatmap").style.zIndex = 350;  // above the tiles, below routes and markers
  map.on("moveend", () => report(!programmatic));
  map.on("dragstart zoomstart", () => { if (!programmatic) requested = null; });
  new ResizeObserver(() => {
    quietly(() => map.invalidateSize({ animate: false }));
    fitRequested();
  }).observe(document.getElementById("map"));
  prepareHeatCanvas();
  new QWebChannel(qt.webChannelTransport, (channel) => {
    bridge = channel.objects.bridge;
    bridge.pageReady();
  });
}

document.addEventListener("DOMContentLoaded", start);
