// The host's controls in a browser tab, for a host whose screen is a browser: the key comes in
// the address's fragment, which never leaves the tab.
const $ = (id) => document.getElementById(id);
const key = new URLSearchParams(location.hash.slice(1)).get('key') ?? '';
const socket = new WebSocket(`ws://${location.host}/ws`);
const send = (action) => socket.send(JSON.stringify({ type: 'host', key, action }));

function rows(list) {
  $('standings').replaceChildren(...list.map((row) => {
    const item = document.createElement('li');
    item.textContent = `${row.place ?? ''}位 ${row.name} ${row.score}点`;
    return item;
  }));
}

socket.addEventListener('open', () => send('watch'));
socket.addEventListener('close', () => { $('status').textContent = '接続が切れました。'; });
socket.addEventListener('message', (event) => {
  const message = JSON.parse(event.data);
  if (message.type === 'lobby') {
    $('status').textContent = `参加者 ${message.players.length} 人: ${message.players.map((p) => p.name).join('、')}`;
  } else if (message.type === 'question') {
    $('progress').textContent = `第${message.number}問 / ${message.total}問`;
    $('question').textContent = message.text;
    $('status').textContent = '回答を受け付けています。';
  } else if (message.type === 'result') {
    $('status').textContent = `正解は ${message.right} 番`;
    rows(message.top);
  } else if (message.type === 'final') {
    $('status').textContent = '最終順位';
    rows(message.standings);
  }
});
for (const button of document.querySelectorAll('[data-action]')) {
  button.addEventListener('click', () => send(button.dataset.action));
}
