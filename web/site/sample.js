// The bundled sample quiz, so that a first visit has something to play: the title starts it when
// no quiz file has been opened yet, and "サンプル問題で遊ぶ" opens it at any time. Also the hint
// under the picture, which tells a visitor how to open a file of their own.

// Files of the site fetched once per visit, by address: the title's sample and a ?quiz= address
// naming the same file share one download, which the first game would otherwise wait for twice.
const fetched = new Map();

// The bytes at `url` (a URL of this site), or null when they cannot be had.
export function fetchSiteFile(url) {
  const address = new URL(url);
  address.hash = "";
  let bytes = fetched.get(address.href);
  if (!bytes) {
    bytes = fetch(address.href)
      .then(async (response) => (response.ok ? new Uint8Array(await response.arrayBuffer()) : null))
      .catch(() => null);
    fetched.set(address.href, bytes);
  }
  return bytes;
}

export const Sample = (() => {
  const NAME = "sample.kqd";
  let bytes = null;

  return {
    NAME,

    // Fetches the sample; without it the title falls back to the file picker.
    async load() {
      bytes = await fetchSiteFile(new URL(NAME, location.href));
    },

    // The sample's bytes, or an empty file the game refuses with its own message.
    bytes: () => bytes || new Uint8Array(0),
    available: () => bytes !== null,

    // The hint says whether a tap starts the sample; the button beside it (shown on touch screens,
    // where nothing can be dropped) opens the file picker.
    showHint(sampleFirst, choose) {
      // Hidden without giving up its line, so the page below it never moves.
      document.getElementById("sample-hint").style.visibility = sampleFirst ? "visible" : "hidden";
      const button = document.getElementById("open-own");
      if (!button.dataset.wired) {
        button.dataset.wired = "1";
        button.addEventListener("click", choose);
      }
    },
  };
})();
