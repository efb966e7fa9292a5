// The page as an installed app: the service worker (sw.js) that keeps the game's files for
// offline play, the switch to a new version once one is served, and the browser's install prompt,
// offered in the menu as "アプリとしてインストール...".
export const AppInstall = (() => {
  const IDLE_CHECK_MS = 1000;
  let installPrompt = null;
  let changed = () => {};
  let idle = () => false;


  // A new version takes over only on the title, so a game under way is never cut short.
  function reloadWhenIdle() {
    if (idle()) location.reload();
    else setTimeout(reloadWhenIdle, IDLE_CHECK_MS);
  }

  return {
    // Keeps the browser's install prompt from the page's start, since it may come at any time.
    listen() {
      addEventListener("beforeinstallprompt", (event) => {
        // Kept for the menu: the browser's own bar would cover the picture on a phone.
        event.preventDefault();
        installPrompt = event;
        changed();
      });
      addEventListener("appinstalled", () => { installPrompt = null; });
    },
    // Registers the worker once the game's own files have come, so it never competes with them.
    // `isIdle` tells when a new version may take over; `onChange` runs when the prompt comes or goes.
    start(isIdle, onChange) {
      idle = isIdle;
      changed = onChange;
      if (!("serviceWorker" in navigator)) return;
      const updating = navigator.serviceWorker.controller !== null;
      navigator.serviceWorker.addEventListener("controllerchange", () => { if (updating) reloadWhenIdle(); });
      navigator.serviceWorker.register("sw.js").catch(() => {});  // no worker: the page plays online
    },
    canInstall: () => installPrompt !== null,
    async install() {
      if (!installPrompt) return;
      const shown = installPrompt;
      installPrompt = null;
      await shown.prompt();
      changed();
    },
  };
})();
