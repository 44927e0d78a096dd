// Messages shown next to the control they are about, and notices about what has left the screen.
import {h} from './dom.js';
import {RpcError, SessionExpired} from './rpc.js';

// An empty message line; place it beside the control whose result it reports.
export function messageLine() {
  return h('p', {class: 'message', role: 'status', 'aria-live': 'polite', hidden: true});
}

// The service says only "internal server error" when the controller, its configuration file or
// the mail server refused without a reason; the caller knows what was asked and why it usually
// fails, and says that instead.
export function bareRefusal(error) {
  return error instanceof RpcError && error.message === 'internal server error';
}

// Said when the service could not write its configuration file (it gives no reason).
export const STORE_REFUSED = 'The settings could not be stored: the service could not write its configuration file.';

// "<what>: <message>", or `refusal` (a whole sentence) when the service gave no reason.
export function showError(line, what, error, refusal) {
  // An expired session is shown on the login page, where the user has been sent.
  if (error instanceof SessionExpired) return;
  line.hidden = false;
  line.className = 'message error';
  line.setAttribute('role', 'alert');
  line.textContent = refusal && bareRefusal(error)
    ? refusal : what + ': ' + (error && error.message ? error.message : String(error));
}

export function showDone(line, text) {
  line.hidden = false;
  line.className = 'message done';
  line.setAttribute('role', 'status');
  line.textContent = text;
}

export function clearMessage(line) {
  line.hidden = true;
  line.textContent = '';
}

// Runs `work` with `control` disabled; its failure is reported in `line` as "<what>: <message>"
// (or as `refusal`, see showError). Resolves true when the work succeeded.
export async function attempt(line, what, work, control, refusal) {
  clearMessage(line);
  if (control) control.disabled = true;
  try {
    await work();
    return true;
  } catch (e) {
    showError(line, what, e, refusal);
    return false;
  } finally {
    if (control) control.disabled = false;
  }
}

const NOTICE_MS = 15000;
let notices = null;

// A notice at the foot of the window, for results whose dialog has closed (an array created, a
// disk that is gone). It stays a while or until dismissed.
export function announce(text, kind = 'done') {
  if (!notices || !notices.isConnected) {
    notices = h('div', {class: 'notices', role: 'status', 'aria-live': 'polite'});
    document.body.appendChild(notices);
  }
  const item = h('p', {class: 'message ' + kind}, h('span', {}, text));
  item.appendChild(h('button', {type: 'button', class: 'notice-x', 'aria-label': 'Dismiss notice',
                                onclick: () => item.remove()}, '×'));
  notices.appendChild(item);
  setTimeout(() => item.remove(), NOTICE_MS);
  return item;
}
