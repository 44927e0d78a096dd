// The console's entry page: server information and the login. The session travels in the
// HttpOnly "sid" cookie the server sets, so the page never handles it.
'use strict';

let nextId = 1;

async function rpc(method, params) {
  const reply = await fetch('/', {
    method: 'POST',
    headers: {'Content-Type': 'application/json'},
    credentials: 'same-origin',
    body: JSON.stringify({jsonrpc: '2.0', id: nextId++, method: method, params: params || {}}),
  });
  const body = await reply.json();
  if (body.error) throw new Error(body.error.message + ' (' + body.error.code + ')');
  return body.result;
}

function show(text, isError) {
  const box = document.getElementById('message');
  box.textContent = text;
  box.className = isError ? 'error' : '';
}

function setLoggedIn(user) {
  document.getElementById('login-form').hidden = user !== null;
  document.getElementById('session').hidden = user === null;
  document.getElementById('user').textContent = user || '';
}

async function loadServerInfo() {
  try {
    const info = await rpc('GetServerInfo');
    if (info.title) {
      document.title = info.title;
      document.getElementById('title').textContent = info.title;
    }
    if (info.logo) document.getElementById('logo').src = 'images/' + info.logo;
    document.getElementById('version').textContent = 'Version ' + info.version + ' (' + info.os + ')';
    if (info.copyright) document.getElementById('copyright').textContent = info.copyright;
  } catch (e) {
    show('Server information unavailable: ' + e.message, true);
  }
}

document.getElementById('login-form').addEventListener('submit', async (event) => {
  event.preventDefault();
  const user = document.getElementById('username').value;
  try {
    await rpc('Login', {username: user, password: document.getElementById('password').value});
    document.getElementById('password').value = '';
    setLoggedIn(user);
    show('', false);
  } catch (e) {
    show('Login failed', true);
  }
});

document.getElementById('logout').addEventListener('click', async () => {
  try {
    await rpc('Logout');
  } catch (e) {
    // The session may already have timed out; the page returns to the login form either way.
  }
  setLoggedIn(null);
  show('Logged out', false);
});

loadServerInfo();
