// Messages shown next to the control they are about.
import {h} from './dom.js';
import {SessionExpired} from './rpc.js';

// An empty message line; place it beside the control whose result it reports.
export function messageLine() {
  return h('p', {class: 'message', role: 'status', 'aria-live': 'polite', hidden: true});
}

export function showError(line, what, error) {
  // An expired session is shown on the login page, where the user has been sent.
  if (error instanceof SessionExpired) return;
  line.hidden = false;
  line.className = 'message error';
  line.setAttribute('role', 'alert');
  line.textContent = what + ': ' + (error && error.message ? error.message : String(error));
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

// Runs `work` with `control` disabled; its failure is reported in `line` as "<what>: <message>".
// Resolves true when the work succeeded.
export async function attempt(line, what, work, control) {
  clearMessage(line);
  if (control) control.disabled = true;
  try {
    await work();
    return true;
  } catch (e) {
    showError(line, what, e);
    return false;
  } finally {
    if (control) control.disabled = false;
  }
}
