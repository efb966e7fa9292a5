// A player's page of a shared game: join with the PIN and a name, answer with five big buttons,
// see the verdict, the points and the place. The token stays in this tab, so a reload or a lost
// network comes back as the same player with the same score.
const $ = (id) => document.getElementById(id);
const TOKEN = 'pocketperna-party-token';
const REFUSALS = {
  pin: 'PINが違います。',
  name: '名前を入力してください。',
  taken: 'その名前はもう使われています。',
  full: '満員です。',
  finished: 'このゲームは終わりました。',
  token: '',
};
let socket = null;
let question = 0;
let answered = 0;
let deadline = 0;
let ended = false;

function show(id, visible) { $(id).hidden = !visible; }
function status(text) { $('status').textContent = text; }

function connect() {
  socket = new WebSocket(`ws://${location.host}/ws`);
  socket.addEventListener('open', () => {
    const token = sessionStorage.getItem(TOKEN);
    if (token) {
      socket.send(JSON.stringify({ type: 'rejoin', token }));
    } else {
      show('join-form', true);
    }
  });
  socket.addEventListener('message', (event) => receive(JSON.parse(event.data)));
  socket.addEventListener('close', () => {
    // A phone that lost the network comes back on its own while the game goes on.
    if (!ended && sessionStorage.getItem(TOKEN)) {
      status('接続し直しています...');
      setTimeout(connect, 1000);
    }
  });
}

function receive(message) {
  switch (message.type) {
    case 'joined':
      sessionStorage.setItem(TOKEN, message.token);
      show('join-form', false);
      $('score').textContent = message.score;
      $('me').textContent = `${message.name} さん`;
      break;
    case 'refused':
      if (message.reason === 'token') {
        sessionStorage.removeItem(TOKEN);
      }
      show('join-form', true);
      status(REFUSALS[message.reason] ?? '参加できません。');
      break;
    case 'lobby':
      status(`開始を待っています（参加者 ${message.players.length} 人）`);
      break;
    case 'question': showQuestion(message); break;
    case 'ack':
      answered = message.choice;
      markChoice(answered, 'chosen');
      status('回答しました。結果を待っています。');
      break;
    case 'answerRefused':
      status(message.reason === 'late' ? '時間切れです。' : '回答は受け付けられませんでした。');
      break;
    case 'paused':
      deadline = message.paused ? 0 : Date.now() + message.timeLeftMs;
      status(message.paused ? '一時停止中' : '');
      break;
    case 'result': showResult(message); break;
    case 'final': showFinal(message); break;
    case 'removed':
      ended = true;
      sessionStorage.removeItem(TOKEN);
      show('play', false);
      status('ホストによりゲームから外されました。');
      break;
  }
}

function showQuestion(message) {
  if (message.number !== question) {
    answered = 0;
  }
  question = message.number;
  deadline = message.paused ? 0 : Date.now() + message.timeLeftMs;
  show('verdict', false);
  show('play', true);
  $('progress').textContent = `第${message.number}問 / ${message.total}問`;
  $('genre').textContent = message.genre;
  $('question').textContent = message.text;
  const choices = $('choices');
  choices.replaceChildren();
  message.choices.forEach((text, i) => {
    const button = document.createElement('button');
    button.type = 'button';
    button.dataset.choice = String(i + 1);
    button.textContent = `${i + 1}. ${text}`;
    button.disabled = !message.mayAnswer || answered !== 0;
    button.addEventListener('click', () => {
      for (const b of choices.children) b.disabled = true;
      socket.send(JSON.stringify({ type: 'answer', question, choice: i + 1 }));
    });
    choices.append(button);
  });
  status(message.mayAnswer ? '答えを選んでください。' : '次の問題から参加できます。');
}

function markChoice(choice, name) {
  const button = $('choices').querySelector(`[data-choice="${choice}"]`);
  if (button) button.classList.add(name);
}

function showResult(message) {
  deadline = 0;
  for (const b of $('choices').children) b.disabled = true;
  if (message.right) markChoice(message.right, 'right');
  show('verdict', true);
  $('mark').textContent = message.correct ? '○ 正解' : '× 不正解';
  $('points').textContent = message.correct ? `+${message.points}点` : '';
  $('score').textContent = message.score ?? 0;
  $('place').textContent = message.place ? `${message.place}位 / ${message.players}人` : '';
  status('次の問題を待っています。');
}

function showFinal(message) {
  ended = true;
  deadline = 0;
  show('play', false);
  show('verdict', true);
  $('mark').textContent = 'おしまい';
  $('points').textContent = '';
  $('score').textContent = message.score ?? 0;
  $('place').textContent = message.place ? `${message.place}位 / ${message.players}人` : '';
  const list = $('standings');
  list.replaceChildren(...message.standings.map((row) => {
    const item = document.createElement('li');
    item.textContent = `${row.place}位 ${row.name} ${row.score}点`;
    return item;
  }));
  show('standings', true);
  status('最終結果');
}

setInterval(() => {
  $('clock').textContent = deadline ? `残り ${Math.max(0, Math.ceil((deadline - Date.now()) / 1000))} 秒` : '';
}, 200);

$('join-form').addEventListener('submit', (event) => {
  event.preventDefault();
  socket.send(JSON.stringify({ type: 'join', pin: $('pin').value.trim(), name: $('name').value }));
});

// The host serves the game's own page too when it has it: offer it beside this one.
fetch('/game/').then((response) => { if (response.ok) show('game-link', true); }, () => {});

connect();
