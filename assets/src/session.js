// Login, logout, password change and the return to the login page when the session ends. The
// session cookies are HttpOnly, so the page remembers only the user name, for the title bar.
import {byId, h, field} from './dom.js';
import {call, onSessionExpired} from './rpc.js';
import {openDialog} from './dialog.js';
import {messageLine, showError, showDone, attempt} from './notice.js';
import {store} from './store.js';

const USER_KEY = 'arkgui.user';
let consoleStarter = null;
let consoleStopper = null;

export function rememberedUser() {
  return sessionStorage.getItem(USER_KEY);
}

function showMessage(text, isError) {
  const box = byId('login-message');
  box.textContent = text || '';
  box.hidden = !text;
  box.className = isError ? 'message error' : 'message done';
}

export function showLogin(text, isError) {
  if (consoleStopper) consoleStopper();
  // Nothing of the ended session stays on screen.
  for (const open of document.querySelectorAll('dialog[open]')) open.close();
  store.user = null;
  byId('console').hidden = true;
  byId('user-bar').hidden = true;
  byId('login-page').hidden = false;
  showMessage(text, isError);
  byId('password').value = '';
  byId(byId('username').value ? 'password' : 'username').focus();
}

export function enterConsole(user) {
  store.user = user;
  sessionStorage.setItem(USER_KEY, user);
  byId('login-page').hidden = true;
  byId('console').hidden = false;
  byId('user-bar').hidden = false;
  byId('user-name').textContent = user;
  consoleStarter();
}

async function submitLogin(event) {
  event.preventDefault();
  const user = byId('username').value;
  const password = byId('password').value;
  const submit = byId('login-submit');
  submit.disabled = true;
  try {
    await call('Login', {username: user, password});
    enterConsole(user);
  } catch (e) {
    // A refused login is code 401 with no reason of its own ("internal server error"); a
    // reason the service does give (too many failed logins) is shown as it stands.
    const wrong = e.code === 401 && (!e.message || e.message === 'internal server error');
    showMessage(wrong ? 'Login failed: wrong user name or password.' : 'Login failed: ' + e.message, true);
    byId('password').select();
  } finally {
    submit.disabled = false;
    byId('password').value = '';
  }
}

async function logout() {
  try {
    await call('Logout');
  } catch (e) {
    // Already gone on the service's side: the page leaves all the same.
  }
  sessionStorage.removeItem(USER_KEY);
  showLogin('You have logged out.', false);
}

function changePassword() {
  const d = openDialog('Change password');
  const old = field('Current password', h('input', {type: 'password', autocomplete: 'current-password'}));
  const next = field('New password', h('input', {type: 'password', autocomplete: 'new-password'}));
  const again = field('New password again', h('input', {type: 'password', autocomplete: 'new-password'}));
  const line = messageLine();
  const save = h('button', {type: 'submit', class: 'primary'}, 'Change password');
  const form = h('form', {}, old.row, next.row, again.row, line,
                 h('div', {class: 'dialog-footer'}, h('button', {type: 'button', onclick: d.close}, 'Cancel'), save));
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    if (next.input.value !== again.input.value) {
      showError(line, 'Password not changed', new Error('the two new passwords differ'));
      again.input.focus();
      return;
    }
    const done = await attempt(line, 'Password not changed', () => call('SetPassword', {
      old: old.input.value, new: next.input.value}), save);
    if (done) {
      form.reset();
      showDone(line, 'The password has been changed.');
    }
  });
  d.body.appendChild(form);
  old.input.focus();
}

// `start` shows the console after a login; `stop` ends its timers when the session ends.
export function initSession(start, stop) {
  consoleStarter = start;
  consoleStopper = stop;
  byId('login-form').addEventListener('submit', submitLogin);
  byId('logout').addEventListener('click', logout);
  byId('change-password').addEventListener('click', changePassword);
  onSessionExpired((expired) => {
    const wasIn = rememberedUser() !== null;
    sessionStorage.removeItem(USER_KEY);
    if (!byId('login-page').hidden && !wasIn) return;
    showLogin(wasIn ? expired.message : '', true);
  });
}
