// The bundled sample quiz, so that a first visit has something to play: the title starts it when
// no quiz file has been opened yet, and "サンプル問題で遊ぶ" opens it at any time. Also the hint
// under the picture, which tells a visitor how to open a file of their own.
export const Sample = (() => {
  const NAME = "sample.kqd";
  let bytes = null;

  return {
    NAME,

    // Fetches the sample; without it the title falls back to the file picker.
    async load() {
      try {
        const response = await fetch(NAME);
        if (response.ok) bytes = new Uint8Array(await response.arrayBuffer());
      } catch (error) {
        bytes = null;
      }
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
