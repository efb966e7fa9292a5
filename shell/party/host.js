// The host's controls in a browser tab, for a host whose screen is a browser: the key comes in
// the address's fragment, which never leaves the tab. The pictures are the host's own: the QR
// code of the join address and the game's screen as the host window shows it.
const $ = (id) => document.getElementById(id);
const key = new URLSearchParams(location.hash.slice(1)).get('key') ?? '';
const socket = new WebSocket(`ws://${location.host}/ws`);
const send = (action) => socket.send(JSON.stringify({ type: 'host', key, action }));
// The countdown moves in the picture while a question is open.
const PICTURE_MS = 1000;
let open = false;

function rows(list) {
  $('standings').replaceChildren(...list.map((row) => {
    const item = document.createElement('li');
    item.textContent = `${row.place ?? ''}位 ${row.name} ${row.score}点`;
    return item;
  }));
}

function refreshPicture() {
  $('picture').src = `/picture.png?at=${Date.now()}`;
}

socket.addEventListener('open', () => send('watch'));
socket.addEventListener('close', () => { $('status').textContent = '接続が切れました。'; });
socket.addEventListener('message', (event) => {
  const message = JSON.parse(event.data);
  open = message.type === 'question' || (open && message.type !== 'result' && message.type !== 'final');
  if (message.type === 'welcome') {
    $('address').textContent = message.address;
    $('pin').textContent = `PIN ${message.pin}`;
  } else if (message.type === 'lobby') {
    $('status').textContent = `参加者 ${message.players.length} 人: ${message.players.map((p) => p.name).join('、')}`;
  } else if (message.type === 'question') {
    $('lobby').hidden = true;
    $('progress').textContent = `第${message.number}問 / ${message.total}問`;
    $('question').textContent = message.text;
    $('status').textContent = '回答を受け付けています。';
  } else if (message.type === 'result') {
    $('status').textContent = `正解は ${message.right} 番`;
    rows(message.top);
  } else if (message.type === 'final') {
    $('lobby').hidden = true;
    $('status').textContent = '最終順位';
    rows(message.standings);
  }
  refreshPicture();
});
setInterval(() => { if (open) refreshPicture(); }, PICTURE_MS);
for (const button of document.querySelectorAll('[data-action]')) {
  button.addEventListener('click', () => send(button.dataset.action));
}
