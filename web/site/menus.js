// Menus: the desktop's items under the same command ids, built from one table so that new items
// need only a row here and a handler.
import { COMMAND, SCREEN } from "./constants.js";
import { AppInstall } from "./appinstall.js";
import { showAbout, showSettings } from "./dialogs.js";
import { chooseQuizFile, exportOpenQuiz, openRecentFile, openSample } from "./files.js";
import { callGame, game } from "./game.js";
import { QuizFiles } from "./quizfiles.js";
import { Sample } from "./sample.js";
import { downloadRecording, downloadSettings } from "./storage.js";
import { updatePause } from "./clock.js";

const gameFree = () => game.ready;
const command = (id) => () => callGame((module) => module._pp_web_command(id));
// The questions due today, for the menu and the page's title, as the desktop's window shows them.
let pageTitle = null;
let due = 0;

// The charts and their library come only when the window is first opened.
function showProgressWindow() {
  import("./progress.js").then((progress) => progress.showProgress()).catch((error) => console.error(error));
}

const MENUS = [
  { id: COMMAND.FILE_MENU, title: "ファイル", items: [
    { id: COMMAND.OPEN, text: "開く...", keys: "Ctrl+O", run: chooseQuizFile },
    { id: "sample", text: "サンプル問題で遊ぶ", run: openSample },
    { id: "recent", text: "最近使ったファイル", submenu: true, enabled: () => QuizFiles.list().length > 0 },
    { id: "export-sheet", text: "表として書き出す...", run: exportOpenQuiz },
    null,
    { id: "save-settings", text: "設定ファイルをダウンロード...", run: downloadSettings },
    { id: "load-settings", text: "設定ファイルを読み込む...",
      run: () => document.getElementById("settings-file").click() },
    null,
    { id: "install", text: "アプリとしてインストール...", run: () => AppInstall.install(), enabled: () => AppInstall.canInstall() },
  ] },
  { id: COMMAND.TOOLS_MENU, title: "ツール", items: [
    { id: COMMAND.ABOUT, text: "バージョン情報", keys: "Ctrl+A", run: showAbout },
    { id: COMMAND.SETTINGS, text: "設定...", run: showSettings },
    { id: COMMAND.SHOW_RANKING, text: "ランキング表示...", run: command(COMMAND.SHOW_RANKING),
      enabled: () => gameFree() && game.module._pp_web_screen() === SCREEN.TITLE },
    { id: COMMAND.MISSED_QUESTIONS, text: "間違えた問題...", run: command(COMMAND.MISSED_QUESTIONS),
      enabled: () => gameFree() && game.module._pp_web_has_missed() === 1 },
    { id: COMMAND.REVIEW_DUE, text: "今日の復習 (0問)", label: () => `今日の復習 (${due}問)`,
      run: command(COMMAND.REVIEW_DUE), enabled: () => due > 0 },
    { id: "progress", text: "成績...", run: showProgressWindow, enabled: gameFree },
    null,
    { id: "save-game", text: "この対局を保存...", run: downloadRecording },
  ] },
];
// Ctrl and these letters run the items, as the desktop's accelerators do.
export const SHORTCUTS = { o: COMMAND.OPEN, a: COMMAND.ABOUT };
const commandItems = new Map();

// Adds `item` (a row as in MENUS) at the end of the menu `menuId`; call before buildMenus.
export function addMenuItem(menuId, item) {
  MENUS.find((menu) => menu.id === menuId).items.push(item);
}

export function buildMenus() {
  const bar = document.getElementById("menubar");
  for (const menu of MENUS) {
    const holder = document.createElement("div");
    holder.className = "menu";
    const title = document.createElement("button");
    title.id = `command-${menu.id}`;
    title.textContent = menu.title;
    title.addEventListener("click", (event) => {
      event.stopPropagation();
      const wasOpen = holder.classList.contains("open");
      closeMenus();
      if (!wasOpen) { updateCommands(); holder.classList.add("open"); }
      updatePause();
    });
    const list = document.createElement("div");
    list.className = "menu-items";
    list.setAttribute("role", "menu");
    for (const item of menu.items) {
      if (!item) { list.appendChild(document.createElement("hr")); continue; }
      const entry = document.createElement("button");
      entry.id = `command-${item.id}`;
      entry.dataset.command = item.id;
      entry.setAttribute("role", "menuitem");
      entry.append(item.text);
      if (item.keys) {
        const keys = document.createElement("kbd");
        keys.textContent = item.keys;
        entry.appendChild(keys);
      }
      commandItems.set(String(item.id), { item, entry });
      if (item.submenu) {
        entry.classList.add("submenu-entry");
        entry.setAttribute("aria-haspopup", "menu");
        const sub = document.createElement("div");
        sub.className = "menu-items submenu";
        sub.id = `${item.id}-items`;
        sub.setAttribute("role", "menu");
        const holderOfSub = document.createElement("div");
        holderOfSub.className = "submenu-holder";
        entry.addEventListener("click", (event) => {
          event.stopPropagation();
          holderOfSub.classList.toggle("open");
        });
        holderOfSub.append(entry, sub);
        list.appendChild(holderOfSub);
        continue;
      }
      entry.addEventListener("click", (event) => {
        event.stopPropagation();
        closeMenus();
        runCommand(item.id);
      });
      list.appendChild(entry);
    }
    holder.append(title, list);
    bar.appendChild(holder);
  }
  document.addEventListener("click", closeMenus);
}

export function closeMenus() {
  for (const open of document.querySelectorAll(".menu.open, .submenu-holder.open")) open.classList.remove("open");
  updatePause();
}

// "最近使ったファイル": the kept quiz files, newest first, each opened from its kept bytes.
export function buildRecentFiles() {
  const list = document.getElementById("recent-items");
  if (!list) return;
  list.replaceChildren();
  QuizFiles.list().forEach((file, index) => {
    const entry = document.createElement("button");
    entry.id = `recent-${index + 1}`;
    entry.setAttribute("role", "menuitem");
    entry.textContent = `${index + 1} ${file.name}`;
    entry.title = file.name;
    entry.addEventListener("click", (event) => {
      event.stopPropagation();
      closeMenus();
      if (game.ready) openRecentFile(index);
    });
    list.appendChild(entry);
  });
  Sample.showHint(QuizFiles.list().length === 0 && Sample.available(), chooseQuizFile);
  updateCommands();
}

export function runCommand(id) {
  const found = commandItems.get(String(id));
  if (!found || found.entry.disabled || !game.ready) return;
  found.item.run();
}

export function updateCommands() {
  due = game.ready ? game.module._pp_web_due_count() : 0;
  if (pageTitle === null) pageTitle = document.title;
  const title = due > 0 ? `${pageTitle} - 今日の復習: ${due}問` : pageTitle;
  if (document.title !== title) document.title = title;
  for (const { item, entry } of commandItems.values()) {
    entry.disabled = item.enabled ? !item.enabled() : false;
    const text = item.label ? item.label() : null;
    if (text !== null && entry.firstChild.textContent !== text) entry.firstChild.textContent = text;
  }
}
