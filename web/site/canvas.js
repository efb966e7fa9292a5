// The picture: what the game paints, drawn on the canvas at a whole number of device pixels per
// game pixel, with the game's font drawn hard-edged and its bitmaps from one packed file. The
// module calls these with logical coordinates (web/src/WebSurface.cpp). The font comes in pieces
// (the @font-face rules in index.html): text is drawn only once its piece has come, and the
// picture is painted again when a piece a paint wanted arrives.
import { SCREEN_HEIGHT, SCREEN_WIDTH } from "./constants.js";
import { unpackBitmaps } from "./bitmappack.js";
import { callGame, game } from "./game.js";
import { applyFit, measureFit } from "./screenfit.js";

const LINE_HEIGHT = 12;
export const FONT_FAMILY = "VL Gothic Web";
const FONT = `12px "${FONT_FAMILY}"`;
// The line's metrics come from these, so every text waits for their piece too.
const METRIC_TEXT = " あ";
// How large the pause's word is, in the picture's pixels, as on the desktop.
const PAUSE_TEXT_PIXELS = 20;
const RUN_CACHE_LIMIT = 2000;

let canvas = null;
let context = null;
let measureContext = null;
let scale = 1;           // device pixels per logical pixel of the canvas
let cssScale = 1;        // CSS pixels per logical pixel
let titleUp = false;     // the title is painted, though the game waits for its text's pieces
let metricsReady = false;
// Characters whose piece has come, or failed to come (those take the browser's own font).
const settled = new Set();
// Characters a paint laid out or drew before their piece came, not yet asked for.
const wanted = new Set();
let loadsUnderWay = 0;
let settling = [];
let baseline = 10;
const bitmaps = new Map();
const runCache = new Map();
// Each character's advance rounded to a whole pixel, as the desktop's hinted font has them, so a
// run is as wide here as there and lines break at the same places.
const advances = new Map();

export function setUpCanvas(element) {
  canvas = element;
  context = canvas.getContext("2d");
  measureContext = document.createElement("canvas").getContext("2d");
}

export function markTitleUp() {
  titleUp = true;
}

function cssColour(packed) {
  return "#" + packed.toString(16).padStart(6, "0");
}

function setUpFontMetrics() {
  measureContext.font = `12px "${FONT_FAMILY}"`;
  const metrics = measureContext.measureText("あ");
  const ascent = metrics.fontBoundingBoxAscent;
  const descent = metrics.fontBoundingBoxDescent;
  // The ascent and descent centred in the 12-pixel line, on a whole pixel, as on the desktop.
  baseline = Math.round(ascent + (LINE_HEIGHT - ascent - descent) / 2);
}

function advance(character) {
  let width = advances.get(character);
  if (width === undefined) {
    width = Math.round(measureContext.measureText(character).width);
    advances.set(character, width);
  }
  return width;
}

// True when every character of `text` can be drawn in the game's font; the others are noted to
// be fetched after the paint, since a finished frame never shows a stand-in font.
function textReady(text) {
  if (metricsReady) {
    let known = true;
    for (const character of text) {
      if (!settled.has(character)) { known = false; break; }
    }
    if (known) return true;
    if (document.fonts.check(FONT, text)) {
      for (const character of text) settled.add(character);
      return true;
    }
  }
  for (const character of text) if (!settled.has(character)) wanted.add(character);
  return false;
}

// Fetches the pieces the last paints wanted; when they come the picture is laid out and painted
// again.
export function fetchWantedGlyphs() {
  if (metricsReady && wanted.size === 0) return;
  const text = (metricsReady ? "" : METRIC_TEXT) + [...wanted].join("");
  wanted.clear();
  loadsUnderWay += 1;
  const arrived = () => {
    for (const character of text) settled.add(character);
    if (!metricsReady && settled.has("あ")) {
      setUpFontMetrics();
      metricsReady = true;
    }
    loadsUnderWay -= 1;
    repaintWithNewGlyphs();
    if (glyphsPending()) return;
    const waiting = settling;
    settling = [];
    for (const resolve of waiting) resolve();
  };
  document.fonts.load(FONT, text).then(arrived, arrived);
}

export const glyphsPending = () => loadsUnderWay > 0 || wanted.size > 0;

// Resolves once the pieces every paint so far wanted have come.
export function glyphsSettled() {
  fetchWantedGlyphs();
  if (!glyphsPending()) return Promise.resolve();
  return new Promise((resolve) => settling.push(resolve));
}

function repaintWithNewGlyphs() {
  // Behind the name dialog the picture before the results stays, as for a new size (fitScale).
  if (game.ready && game.module._pp_web_name_requested()) {
    game.module._pp_web_font_changed();
  } else if (game.ready) {
    callGame((module) => {
      module._pp_web_font_changed();
      module._pp_web_paint();
    });
  } else if (titleUp) {
    game.module._pp_web_font_changed();
    game.module._pp_web_paint();
    fetchWantedGlyphs();
  }
}

function measureRun(text) {
  // Text whose piece has not come is laid out again once it has.
  if (!textReady(text)) return 0;
  let width = 0;
  for (const character of text) width += advance(character);
  return width;
}

// A run of text drawn with hard edges: the browser's smoothed glyph, cut at half coverage into
// pixels of the text colour, so text drawn again over itself leaves no fringes.
function renderRun(text, packed, squeeze) {
  const key = `${scale}|${packed}|${squeeze}|${text}`;
  let run = runCache.get(key);
  if (run) return run;
  if (runCache.size >= RUN_CACHE_LIMIT) runCache.clear();
  const pad = 2;
  const width = Math.max(1, Math.ceil((measureRun(text) * squeeze + 2 * pad) * scale));
  const height = (LINE_HEIGHT + 2 * pad) * scale;
  const surface = document.createElement("canvas");
  surface.width = width;
  surface.height = height;
  const ink = surface.getContext("2d", { willReadFrequently: true });
  ink.font = `${12 * scale}px "${FONT_FAMILY}"`;
  ink.fillStyle = "black";
  // A condensed run is drawn squeezed horizontally, glyphs and all.
  ink.setTransform(squeeze, 0, 0, 1, 0, 0);
  let x = pad / squeeze;
  for (const character of text) {
    ink.fillText(character, x * scale, (pad + baseline) * scale);
    x += advance(character);
  }
  const pixels = ink.getImageData(0, 0, width, height);
  const data = pixels.data;
  const red = (packed >> 16) & 255, green = (packed >> 8) & 255, blue = packed & 255;
  for (let i = 0; i < data.length; i += 4) {
    const solid = data[i + 3] >= 128;
    data[i] = red;
    data[i + 1] = green;
    data[i + 2] = blue;
    data[i + 3] = solid ? 255 : 0;
  }
  ink.putImageData(pixels, 0, 0);
  run = { surface, pad };
  runCache.set(key, run);
  return run;
}

// What the module's WebSurface draws with.
export const surface = {
  measureRun,
  eraseRect(x, y, width, height) {
    context.fillStyle = "white";
    context.fillRect(x * scale, y * scale, width * scale, height * scale);
  },
  fillWhite(x, y, width, height) {
    surface.eraseRect(x, y, width, height);
  },
  drawBitmap(id, x, y) {
    const image = bitmaps.get(id);
    if (!image) return;
    context.drawImage(image, x * scale, y * scale, image.width * scale, image.height * scale);
  },
  clip(x, y, width, height) {
    context.save();
    context.beginPath();
    context.rect(x * scale, y * scale, width * scale, height * scale);
    context.clip();
  },
  unclip() {
    context.restore();
  },
  drawRun(text, x, top, packed, squeeze = 1) {
    if (!textReady(text)) return;
    const run = renderRun(text, packed, squeeze);
    context.drawImage(run.surface, (x - run.pad) * scale, (top - run.pad) * scale);
  },
  drawPolyline(coordinates, width, packed) {
    // An odd-width line is centred on the pixel it names, as the device draws it; wide pens
    // end round and thin ones square, as on the desktop.
    const offset = width % 2 === 1 ? 0.5 : 0;
    context.save();
    context.strokeStyle = cssColour(packed);
    context.lineWidth = Math.max(1, width) * scale;
    context.lineCap = width > 2 ? "round" : "square";
    context.lineJoin = "round";
    context.beginPath();
    for (let i = 0; i < coordinates.length; i += 2) {
      const px = (coordinates[i] + offset) * scale, py = (coordinates[i + 1] + offset) * scale;
      if (i === 0) context.moveTo(px, py); else context.lineTo(px, py);
    }
    context.stroke();
    context.restore();
  },
  drawEllipse(x, y, width, height, penWidth, packed) {
    context.save();
    context.beginPath();
    context.ellipse((x + width / 2) * scale, (y + height / 2) * scale, (width / 2) * scale,
      (height / 2) * scale, 0, 0, 2 * Math.PI);
    context.fillStyle = "white";
    context.fill();
    context.strokeStyle = cssColour(packed);
    context.lineWidth = Math.max(1, penWidth) * scale;
    context.stroke();
    context.restore();
  },
  requestRepaint() {
    // The paint follows once the current call into the game has returned (see game.js).
  },
};

// Sizes the picture for the window as it is, and paints it again when its scale changed.
export function fitScale() {
  const fit = measureFit();
  if (fit.css === cssScale && fit.device === scale && game.ready) return;
  // Behind the name dialog the picture before the results stays; the dialog fits it when it closes.
  if (game.ready && game.module._pp_web_name_requested()) return;
  cssScale = fit.css;
  scale = fit.device;
  canvas.width = SCREEN_WIDTH * scale;
  canvas.height = SCREEN_HEIGHT * scale;
  applyFit(canvas, fit);
  context.imageSmoothingEnabled = false;
  document.getElementById("pause-veil").style.fontSize = `${PAUSE_TEXT_PIXELS * cssScale}px`;
  runCache.clear();
  // A new size is just another paint of the same screen.
  if (game.ready) callGame((module) => module._pp_web_paint());
  else if (titleUp) game.module._pp_web_paint();
}

export async function loadBitmaps() {
  let pack = null;
  try {
    const response = await fetch("bitmaps.pack");
    if (response.ok) pack = await response.arrayBuffer();
  } catch (error) {
    pack = null;
  }
  if (!pack) return;
  // A bitmap the page cannot have draws nothing, like one missing from the catalogue.
  await Promise.all(unpackBitmaps(pack).map(({ id, bytes }) =>
    createImageBitmap(new Blob([bytes], { type: "image/bmp" })).then((image) => bitmaps.set(id, image), () => {})));
}
