// Mail notification settings and the test mail.
import {h, fill, field, select, button, uniqueId} from './dom.js';
import {call} from './rpc.js';
import {messageLine, attempt, showDone, showError, clearMessage, STORE_REFUSED} from './notice.js';
import {wholeNumber} from './format.js';

const SECURITY = [[0, 'None (plain SMTP)'], [1, 'STARTTLS'], [2, 'SSL/TLS']];
const SEVERITIES = [[2, 'Information'], [4, 'Warning'], [8, 'Error']];

export function mailPart(card) {
  const line = messageLine();
  const server = field('SMTP server', h('input', {autocomplete: 'off'}));
  const port = field('Port', h('input', {type: 'number', min: '0', max: '65535'}),
                     'From 0 to 65535; 0 uses the usual port of the security.');
  const security = field('Security', select(SECURITY, 0));
  const user = field('Account', h('input', {autocomplete: 'off'}));
  const password = field('Password', h('input', {type: 'password', autocomplete: 'new-password'}));
  const sender = field('Sender address', h('input', {type: 'email', autocomplete: 'off'}));
  const list = h('tbody', {});
  let loaded = {};

  function recipientRow(r) {
    const email = h('input', {type: 'email', value: r.email || '', 'aria-label': 'Recipient address'});
    const enableId = uniqueId('en');
    const enable = h('input', {type: 'checkbox', id: enableId, checked: r.enable !== false});
    const sev = SEVERITIES.map(([bit, name]) => {
      const id = uniqueId('sv');
      const box = h('input', {type: 'checkbox', id, checked: (Number(r.mask) & bit) !== 0});
      return {bit, box, node: h('span', {class: 'check'}, box, h('label', {for: id}, name))};
    });
    const testLine = messageLine();
    const row = h('tr', {class: 'recipient'},
      h('td', {}, email),
      h('td', {}, h('span', {class: 'check'}, enable, h('label', {for: enableId}, 'Enabled'))),
      h('td', {}, sev.map((s) => s.node)),
      h('td', {class: 'row-actions'},
        button('Send test mail', (e) => sendTest(email.value, testLine, e.currentTarget), {icon: 'paper-plane'}),
        button('Remove', () => row.remove(), {icon: 'times', label: 'Remove recipient'}),
        testLine));
    row.read = () => ({email: email.value, enable: enable.checked,
                       mask: sev.reduce((m, s) => m | (s.box.checked ? s.bit : 0), 0)});
    return row;
  }

  function settings() {
    return {...loaded, SMTP_Server: server.input.value, SMTP_Port: Number(port.input.value || 0),
            Protocol: Number(security.input.value), SMTP_User: user.input.value,
            SMTP_Password: password.input.value, Sender: sender.input.value,
            Receipients: [...list.children].map((row) => row.read())};
  }

  // What would be stored, recipients without an address left out, for telling whether the form
  // differs from what was read.
  const comparable = (s) => JSON.stringify([String(s.SMTP_Server || ''), Number(s.SMTP_Port || 0), Number(s.Protocol || 0),
    String(s.SMTP_User || ''), String(s.SMTP_Password || ''), String(s.Sender || ''),
    (Array.isArray(s.Receipients) ? s.Receipients : []).filter((r) => r && r.email)
      .map((r) => [r.email, r.enable !== false, Number(r.mask)])]);

  async function sendTest(to, testLine, control) {
    if (!to) {
      showError(testLine, 'No test mail sent', new Error('give the recipient address'));
      return;
    }
    try {
      wholeNumber('The port', port.input, 0, 65535, '');
    } catch (e) {
      showError(testLine, 'No test mail sent', e);
      return;
    }
    const s = settings();
    const done = await attempt(testLine, 'Test mail to ' + to + ' failed', () => call('SendMail', {
      SMTP_Server: s.SMTP_Server, SMTP_Port: s.SMTP_Port, Protocol: s.Protocol, SMTP_User: s.SMTP_User,
      SMTP_Password: s.SMTP_Password, Receipient: to, Sender: s.Sender,
      Subject: 'RAID Management Console test mail',
      Body: 'This test mail shows that the RAID Management Console can send its notifications to you.'}), control,
      'The test mail to ' + to + ' could not be sent: the mail server did not answer or refused it. ' +
      'Check the server, port, security and account.');
    if (done) showDone(testLine, 'Test mail sent to ' + to + '.');
  }

  const addRecipient = button('Add recipient', () => {
    const row = recipientRow({email: '', enable: true, mask: 12});
    list.appendChild(row);
    row.querySelector('input').focus();
  }, {icon: 'plus'});
  const save = h('button', {type: 'submit', class: 'primary'}, 'Save mail settings');
  const form = h('form', {},
    h('div', {class: 'grid'}, server.row, port.row, security.row, user.row, password.row, sender.row),
    h('h3', {}, 'Recipients'),
    h('div', {class: 'table-wrap'}, h('table', {},
      h('caption', {class: 'sr-only'}, 'Mail recipients'),
      h('thead', {}, h('tr', {}, ['Address', 'Enabled', 'Events mailed', ''].map((c) => h('th', {scope: 'col'}, c)))),
      list)),
    h('div', {class: 'actions'}, addRecipient), line, save);
  form.noValidate = true;
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    clearMessage(line);
    try {
      wholeNumber('The port', port.input, 0, 65535, '');
    } catch (e) {
      showError(line, 'Mail settings not saved', e);
      port.input.focus();
      return;
    }
    const next = settings();
    if (await attempt(line, 'Mail settings not saved', () => call('SetConfig', {email_notification: next}), save,
                      STORE_REFUSED)) {
      loaded = next;
      showDone(line, 'Mail settings saved.');
    }
  });

  return {
    node: card('Mail notification', 'envelope', form),
    name: 'the mail settings',
    changed() {
      return comparable(settings()) !== comparable(loaded);
    },
    async load() {
      await attempt(line, 'Mail settings could not be read', async () => {
        loaded = await call('GetConfig', {key: 'email_notification'});
        server.input.value = loaded.SMTP_Server || '';
        port.input.value = loaded.SMTP_Port || 0;
        security.input.value = String(loaded.Protocol || 0);
        user.input.value = loaded.SMTP_User || '';
        password.input.value = loaded.SMTP_Password || '';
        sender.input.value = loaded.Sender || '';
        fill(list, (Array.isArray(loaded.Receipients) ? loaded.Receipients : []).map(recipientRow));
      }, null, 'Mail settings could not be read: the service could not read its configuration file.');
    },
  };
}
