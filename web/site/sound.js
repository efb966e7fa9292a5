// Sound: the eight effects through Web Audio; a new one replaces the one playing.
import { SOUND_IDS } from "./constants.js";

let audio = null;
const sounds = new Map();
let playing = null;

// The sounds are fetched once `before` (the font) has come, so that they never hold it up.
export function setUpAudio(before) {
  const AudioContextClass = window.AudioContext || window.webkitAudioContext;
  if (!AudioContextClass) return Promise.resolve();
  const fetched = new Map();
  const loaded = before.then(() => Promise.all(SOUND_IDS.map((id) => fetch(`sounds/${id}.wav`)
    .then((response) => response.arrayBuffer())
    .then((data) => fetched.set(id, data))
    .catch(() => {}))));  // a sound that cannot be had plays nothing
  // Browsers start sound only after the player has done something on the page, and making the
  // audio context can take long (a blocked page at start-up): it is made at that first key or tap.
  const wake = () => {
    if (!audio) {
      audio = new AudioContextClass();
      loaded.then(() => {
        for (const [id, data] of fetched) audio.decodeAudioData(data).then((buffer) => sounds.set(id, buffer), () => {});
      });
    }
    if (audio.state === "suspended") audio.resume();
  };
  addEventListener("pointerdown", wake, true);
  addEventListener("keydown", wake, true);
  return loaded;
}

export function playSound(id) {
  if (!audio || !sounds.has(id)) return;
  if (playing) {
    try { playing.stop(); } catch (error) { /* already ended */ }
  }
  playing = audio.createBufferSource();
  playing.buffer = sounds.get(id);
  playing.connect(audio.destination);
  playing.start();
}
