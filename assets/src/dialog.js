// Modal dialogs on the browser's own <dialog>, which keeps focus inside and closes on Escape.
import {h, uniqueId} from './dom.js';

// Opens a dialog and returns {dialog, body, footer, close}. `onClose` runs once when it closes.
export function openDialog(title, onClose) {
  const titleId = uniqueId('dlg');
  const body = h('div', {class: 'dialog-body'});
  const footer = h('div', {class: 'dialog-footer'});
  const closeButton = h('button', {type: 'button', class: 'dialog-x', 'aria-label': 'Close'}, '×');
  const dialog = h('dialog', {'aria-labelledby': titleId},
                   h('div', {class: 'dialog-head'}, h('h2', {id: titleId}, title), closeButton),
                   body, footer);
  const close = () => {
    if (dialog.open) dialog.close();
  };
  closeButton.addEventListener('click', close);
  dialog.addEventListener('close', () => {
    dialog.remove();
    if (onClose) onClose();
  });
  document.body.appendChild(dialog);
  dialog.showModal();
  return {dialog, body, footer, close};
}

// Asks before something is lost. `lines` say what will be lost; resolves true on confirmation.
export function confirmAction(title, lines, confirmLabel) {
  return new Promise((resolve) => {
    let answer = false;
    const d = openDialog(title, () => resolve(answer));
    d.dialog.classList.add('confirm');
    for (const line of lines) d.body.appendChild(h('p', {}, line));
    const cancel = h('button', {type: 'button', onclick: d.close}, 'Cancel');
    const ok = h('button', {type: 'button', class: 'danger', onclick: () => {
      answer = true;
      d.close();
    }}, confirmLabel);
    d.footer.append(cancel, ok);
    cancel.focus();
  });
}

// Closes `dialog` and every dialog opened on top of it (a question it asked, a dialog it opened),
// the latest first; a question closed this way answers no.
export function closeWithAbove(dialog) {
  const open = [...document.querySelectorAll('dialog[open]')];
  const at = open.indexOf(dialog);
  if (at < 0) return;
  for (const above of open.slice(at).reverse()) above.close();
}
