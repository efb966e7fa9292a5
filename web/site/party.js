// A player's page of a shared game in the game's own look. Opened from the host (its address with
// ?party), it joins with the PIN and a name, paints each question with the game's own painter,
// takes the answer from five big buttons under the picture and shows the verdict, the points and
// the place. The token stays in this tab, as on the host's plain page, so a reload or a lost
// network comes back as the same player with the same score.
import { fitScale, glyphsPending, glyphsSettled, loadBitmaps } from "./canvas.js";
import { game, loadModule } from "./game.js";

const TOKEN = "pocketperna-party-token";
const REFUSALS = {
  pin: "PINが違います。",
  name: "名前を入力してください。",
  taken: "その名前はもう使われています。",
  full: "満員です。",
  finished: "このゲームは終わりました。",
  token: "",
};
const CLOCK_MS = 250;
const RECONNECT_MS = 1000;

// What the picture shows: the title's picture with a few lines, or the question as the host sent it.
const party = {
  lines: ["みんなで遊ぶ", "PINと名前を入力してください"],
  question: null,   // the last question message
  number: 0,
  answered: 0,      // the display position chosen, 0 for none
  right: 0,         // the right position once judged
  deadline: 0,      // Date.now() when the question closes; 0 when closed or paused
  pausedLeftMs: 0,
  score: 0,
  ended: false,
};
// What tests and the curious may ask of the page, as window.perna is for the game.
window.pernaParty = party;
let socket = null;
const $ = (id) => document.getElementById(id);

function element(tag, attributes = {}, children = []) {
  const made = document.createElement(tag);
  Object.assign(made, attributes);
  made.append(...children);
  return made;
}

// The form, the buttons and the texts under the picture; the page's menus and title hint are
// for the game alone and step aside.
function buildPanel() {
  document.body.classList.add("party");
  const pin = element("input", { id: "party-pin", inputMode: "numeric", autocomplete: "off", maxLength: 6, required: true });
  pin.pattern = "[0-9]{4,6}";
  const name = element("input", { id: "party-name", maxLength: 10, autocomplete: "nickname", required: true });
  const form = element("form", { id: "party-join", hidden: true }, [
    element("label", {}, ["PIN", pin]),
    element("label", {}, ["名前", name]),
    element("button", { id: "party-join-button", type: "submit", textContent: "参加する" }),
  ]);
  form.addEventListener("submit", (event) => {
    event.preventDefault();
    send({ type: "join", pin: pin.value.trim(), name: name.value });
  });
  const panel = element("section", { id: "party" }, [
    element("p", { id: "party-me" }),
    element("p", { id: "party-progress" }),
    form,
    element("div", { id: "party-choices" }),
    element("p", { id: "party-verdict" }),
    element("p", { id: "party-status", role: "status" }),
    element("ol", { id: "party-standings", hidden: true }),
  ]);
  $("stage").append(panel);
}

function send(message) {
  if (socket && socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify(message));
}

function status(text) { $("party-status").textContent = text; }

function timeLeftMs() {
  if (!party.question || party.right) return 0;
  return party.deadline ? Math.max(0, party.deadline - Date.now()) : party.pausedLeftMs;
}

function paint() {
  if (!game.module) return;
  const q = party.question;
  const view = q === null || party.ended ? { lines: party.lines } : {
    genre: q.genre, text: q.text, choices: q.choices, timeLeftMs: timeLeftMs(), score: party.score,
    selection: party.answered, right: party.right,
  };
  game.module.ccall("pp_web_party_paint", null, ["string"], [JSON.stringify(view)]);
  // Text whose piece of the font has not come is left out; the picture is painted again with it.
  if (glyphsPending()) {
    glyphsSettled().then(() => {
      game.module._pp_web_font_changed();
      paint();
    });
  }
}

function showTitle(lines) {
  party.lines = lines;
  paint();
}

function showChoices(message) {
  const choices = $("party-choices");
  choices.replaceChildren(...message.choices.map((text, i) => {
    const button = element("button", { type: "button", textContent: `${i + 1}. ${text}` });
    button.dataset.choice = String(i + 1);
    button.disabled = !message.mayAnswer || party.answered !== 0;
    button.addEventListener("click", () => {
      for (const b of choices.children) b.disabled = true;
      send({ type: "answer", question: party.number, choice: i + 1 });
    });
    return button;
  }));
}

function mark(choice, name) {
  const button = $("party-choices").querySelector(`[data-choice="${choice}"]`);
  if (button) button.classList.add(name);
}

function place(message) {
  return message.place ? `　${message.place}位 / ${message.players}人` : "";
}

function receive(message) {
  switch (message.type) {
    case "joined":
      sessionStorage.setItem(TOKEN, message.token);
      $("party-join").hidden = true;
      party.score = message.score;
      $("party-me").textContent = `${message.name} さん`;
      showTitle(["みんなで遊ぶ", `${message.name} さん`, "開始を待っています"]);
      break;
    case "refused":
      if (message.reason === "token") sessionStorage.removeItem(TOKEN);
      $("party-join").hidden = false;
      status(REFUSALS[message.reason] ?? "参加できません。");
      break;
    case "lobby":
      status(`開始を待っています（参加者 ${message.players.length} 人）`);
      break;
    case "question":
      if (message.number !== party.number) party.answered = 0;
      party.number = message.number;
      party.question = message;
      party.right = 0;
      party.deadline = message.paused ? 0 : Date.now() + message.timeLeftMs;
      party.pausedLeftMs = message.timeLeftMs;
      $("party-progress").textContent = `第${message.number}問 / ${message.total}問`;
      $("party-verdict").textContent = "";
      showChoices(message);
      status(message.mayAnswer ? "答えを選んでください。" : "次の問題から参加できます。");
      paint();
      break;
    case "ack":
      party.answered = message.choice;
      mark(message.choice, "chosen");
      status("回答しました。結果を待っています。");
      paint();
      break;
    case "answerRefused":
      status(message.reason === "late" ? "時間切れです。" : "回答は受け付けられませんでした。");
      break;
    case "paused":
      party.pausedLeftMs = message.timeLeftMs;
      party.deadline = message.paused ? 0 : Date.now() + message.timeLeftMs;
      status(message.paused ? "一時停止中" : "");
      break;
    case "result":
      party.deadline = 0;
      party.right = message.right;
      party.answered = message.yours ?? party.answered;
      party.score = message.score ?? party.score;
      $("party-progress").textContent = `第${message.question}問の結果`;
      for (const b of $("party-choices").children) b.disabled = true;
      mark(message.right, "right");
      $("party-verdict").textContent = `${message.correct ? `○ 正解　+${message.points}点` : "× 不正解"}　得点 ${party.score}点${place(message)}`;
      status("次の問題を待っています。");
      // Back after a reload, the page has the verdict without the question it was for.
      if (!party.question) party.lines = ["みんなで遊ぶ", "次の問題を待っています"];
      paint();
      break;
    case "final": {
      party.ended = true;
      party.score = message.score ?? party.score;
      $("party-choices").replaceChildren();
      $("party-verdict").textContent = `おしまい　得点 ${party.score}点${place(message)}`;
      const list = $("party-standings");
      list.replaceChildren(...message.standings.map((row) => element("li", { textContent: `${row.place}位 ${row.name} ${row.score}点` })));
      list.hidden = false;
      status("最終結果");
      showTitle(["おしまい", `得点 ${party.score}点`, message.place ? `${message.place}位 / ${message.players}人` : ""]);
      break;
    }
    case "removed":
      party.ended = true;
      sessionStorage.removeItem(TOKEN);
      $("party-choices").replaceChildren();
      status("ホストによりゲームから外されました。");
      showTitle(["みんなで遊ぶ", "ゲームから外されました"]);
      break;
  }
}

function connect() {
  socket = new WebSocket(`ws://${location.host}/ws`);
  socket.addEventListener("open", () => {
    const token = sessionStorage.getItem(TOKEN);
    if (token) send({ type: "rejoin", token });
    else $("party-join").hidden = false;
  });
  socket.addEventListener("message", (event) => receive(JSON.parse(event.data)));
  socket.addEventListener("close", () => {
    // A phone that lost the network comes back on its own while the game goes on.
    if (!party.ended && sessionStorage.getItem(TOKEN)) {
      status("接続し直しています...");
      setTimeout(connect, RECONNECT_MS);
    }
  });
}

// Joins the shared game of the host that served this page, with `page` for the module's drawing.
export async function joinParty(page) {
  buildPanel();
  await Promise.all([loadBitmaps(), loadModule(page)]);
  await glyphsSettled();
  $("loading").hidden = true;
  fitScale();
  paint();
  // A new size clears the canvas.
  addEventListener("resize", () => {
    fitScale();
    paint();
  });
  setInterval(() => {
    if (party.question && !party.right && !party.ended) {
      $("party-progress").textContent = `第${party.number}問 / ${party.question.total}問　残り ${Math.ceil(timeLeftMs() / 1000)} 秒`;
      paint();
    }
  }, CLOCK_MS);
  connect();
}
