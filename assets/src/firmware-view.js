// Firmware update: an image file uploaded to one controller, with the upload's progress.
import {h, fill, field, select} from './dom.js';
import {call, upload} from './rpc.js';
import {store} from './store.js';
import {confirmAction} from './dialog.js';
import {messageLine, attempt, showDone, showError, clearMessage} from './notice.js';

const view = {};

async function controllers() {
  const list = [];
  for (let domain = 0; domain < store.domainCount; domain++) {
    const count = await call('GetControllerCount', {domain});
    for (let id = 0; id < count; id++) {
      const info = await call('GetControllerInfo', {domain, id});
      list.push({domain, id, info});
    }
  }
  return list;
}

function setProgress(percent) {
  view.bar.value = percent;
  view.barText.textContent = percent + ' %';
}

async function flash(event) {
  event.preventDefault();
  clearMessage(view.line);
  const file = view.file.input.files[0];
  const [domain, id] = view.target.input.value.split(':').map(Number);
  const ctrl = view.list.find((c) => c.domain === domain && c.id === id);
  if (!file) {
    showError(view.line, 'No firmware written', new Error('choose the firmware file first'));
    return;
  }
  if (!ctrl) {
    showError(view.line, 'No firmware written', new Error('choose the controller'));
    return;
  }
  // Paths name the domain and the controller with one digit each.
  if (domain > 9 || id > 9) {
    showError(view.line, 'No firmware written', new Error('this controller cannot be reached by the upload'));
    return;
  }
  const ok = await confirmAction('Update the firmware?', [
    'The firmware ' + ctrl.info.fw_rev + ' of ' + ctrl.info.product_str + ' (domain ' + domain + ', controller ' + id +
      ') will be replaced by ' + file.name + '.',
    'Do not switch the computer off while the firmware is written.'], 'Update firmware');
  if (!ok) return;
  view.progress.hidden = false;
  setProgress(0);
  // Every byte sent is not yet a firmware written: the bar stays short of 100 % until the
  // service has taken the image, and goes away when it refuses it.
  const done = await attempt(view.line, 'Firmware update of ' + ctrl.info.product_str + ' refused',
    () => upload('/fwupdate/' + domain + '/' + id, file, (percent) => setProgress(Math.min(percent, 99))), view.submit,
    'Firmware update of ' + ctrl.info.product_str + ' refused: the controller did not take the image.');
  if (done) {
    setProgress(100);
    showDone(view.line, 'The firmware ' + file.name + ' was written to ' + ctrl.info.product_str +
                        '. It takes effect when the computer starts again.');
  } else {
    view.progress.hidden = true;
  }
}

export const firmwarePage = {
  mount(root) {
    view.line = messageLine();
    view.listLine = messageLine();
    view.list = [];
    view.target = field('Controller', select([], ''));
    view.file = field('Firmware file', h('input', {type: 'file'}));
    view.bar = h('progress', {max: '100', value: '0', 'aria-label': 'Upload progress'});
    view.barText = h('span', {class: 'progress-text'}, '0 %');
    view.progress = h('div', {class: 'progress upload', hidden: true}, h('span', {}, 'Upload: '), view.bar, view.barText);
    view.submit = h('button', {type: 'submit', class: 'primary'},
                    h('span', {class: 'fa fa-upload', 'aria-hidden': 'true'}), ' Upload and update');
    const form = h('form', {}, view.target.row, view.file.row, view.progress, view.line, view.submit);
    form.addEventListener('submit', flash);
    root.append(h('div', {class: 'page-head'}, h('h2', {}, 'Firmware update')),
      h('section', {class: 'card'},
        h('p', {}, 'The service checks that the image is intact and fits the controller before anything is written.'),
        view.listLine, form));
  },
  show() {
    attempt(view.listLine, 'The controllers could not be listed', async () => {
      view.list = await controllers();
      const keep = view.target.input.value;
      fill(view.target.input, view.list.map((c) => h('option', {value: c.domain + ':' + c.id},
        'Domain ' + c.domain + ', controller ' + c.id + ': ' + c.info.product_str + ' (firmware ' + c.info.fw_rev + ')')));
      if (keep) view.target.input.value = keep;
    });
  },
  hide() {},
};
