// Settings kept in the configuration: scheduled tasks, mail with its test mail, the server's
// and the controller's settings.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {fixture, login, screenshot, apiSession, until, startSmtp} from './harness.mjs';

const f = fixture();
before(f.before);
after(f.after);

async function openSettings(page) {
  await login(page, f.service);
  await page.getByRole('link', {name: 'Settings'}).click();
}

function storedTasks() {
  const config = f.service.configFile();
  return Array.isArray(config.tasks) ? config.tasks : [];
}

test('a scheduled task is added, changed and deleted, and the configuration follows', async () => {
  const api = await apiSession(f.service.port);
  let vault = null;
  for (const id of await api('GetLDList', {domain: 0})) {
    const vd = await api('GetVDInfo', {domain: 0, id});
    if (vd.array && vd.array.aname === 'DataVault') vault = vd;
  }
  const page = await f.chromium.newPage();
  await openSettings(page);
  const card = page.locator('section.card', {hasText: 'Scheduled tasks'});
  await card.getByText('No scheduled tasks.').waitFor();

  await card.getByRole('button', {name: 'Add scheduled task'}).click();
  let dialog = page.getByRole('dialog', {name: 'Add scheduled task'});
  await dialog.getByLabel('Array').selectOption({label: 'Domain 0: DataVault (RAID5)'});
  await dialog.getByLabel('Repeat').selectOption('3');
  await dialog.getByLabel('Monday').uncheck();
  await dialog.getByLabel('Wednesday').check();
  await dialog.getByLabel('Saturday').check();
  await dialog.getByLabel('Time of day').fill('03:30');
  await screenshot(page, 'task-add');
  await dialog.getByRole('button', {name: 'Save task'}).click();
  await dialog.waitFor({state: 'detached'});
  await card.getByText('Task added.').waitFor();

  let tasks = storedTasks();
  assert.equal(tasks.length, 1);
  assert.equal(tasks[0].domain, 0);
  assert.equal(tasks[0].signature, vault.array.signature);
  assert.equal(tasks[0].memberIndex, -1);
  assert.equal(tasks[0].type, 3);
  assert.equal(tasks[0].days, (1 << 3) | (1 << 6), 'Wednesday and Saturday');
  const at = new Date(tasks[0].date * 1000);
  assert.deepEqual([at.getHours(), at.getMinutes()], [3, 30]);
  assert.ok(tasks[0].startdate <= tasks[0].date);
  assert.ok((await card.locator('tbody').textContent()).includes('Every Wednesday, Saturday at 03:30'));

  await card.getByRole('button', {name: 'Edit task 1'}).click();
  dialog = page.getByRole('dialog', {name: 'Edit scheduled task'});
  await dialog.getByLabel('Repeat').selectOption('4');
  await dialog.getByLabel('1', {exact: true}).uncheck();
  await dialog.getByLabel('15', {exact: true}).check();
  await dialog.getByLabel('Time of day').fill('04:05');
  await dialog.getByRole('button', {name: 'Save task'}).click();
  await dialog.waitFor({state: 'detached'});
  await card.getByText('Task changed.').waitFor();
  tasks = storedTasks();
  assert.equal(tasks.length, 1);
  assert.equal(tasks[0].type, 4);
  assert.equal(tasks[0].days, 2 ** 15);
  assert.equal(new Date(tasks[0].date * 1000).getHours(), 4);
  assert.equal(tasks[0].signature, vault.array.signature);
  await screenshot(page, 'task-changed');

  await card.getByRole('button', {name: 'Delete task 1'}).click();
  const confirm = page.getByRole('dialog', {name: 'Delete this scheduled task?'});
  assert.ok((await confirm.textContent()).includes('DataVault'));
  await confirm.getByRole('button', {name: 'Delete task'}).click();
  await card.getByText('No scheduled tasks.').waitFor();
  assert.deepEqual(storedTasks(), []);
  await screenshot(page, 'task-deleted');
  assert.deepEqual(page.errors, []);
});

test('mail settings are stored and a test mail reaches the SMTP server; a refused one says so', async () => {
  const smtp = await startSmtp('mailer', 'Mail-Secret-9');
  try {
    const page = await f.chromium.newPage();
    await openSettings(page);
    const card = page.locator('section.card', {hasText: 'Mail notification'});
    await card.getByLabel('SMTP server').fill('127.0.0.1');
    await card.getByLabel('Port').fill(String(smtp.ports.auth));
    await card.getByLabel('Security').selectOption('0');
    await card.getByLabel('Account').fill('mailer');
    await card.getByLabel('Password').fill('Mail-Secret-9');
    await card.getByLabel('Sender address').fill('raid@example.test');
    await card.getByRole('button', {name: 'Add recipient'}).click();
    const row = card.locator('tr.recipient').last();
    await row.getByLabel('Recipient address').fill('admin@example.test');
    await row.getByLabel('Information').check();
    await card.getByRole('button', {name: 'Save mail settings'}).click();
    await card.getByText('Mail settings saved.').waitFor();
    const stored = f.service.configFile().email_notification;
    assert.equal(stored.SMTP_Server, '127.0.0.1');
    assert.equal(stored.SMTP_Port, smtp.ports.auth);
    assert.equal(stored.Protocol, 0);
    assert.equal(stored.Sender, 'raid@example.test');
    assert.deepEqual(stored.Receipients, [{email: 'admin@example.test', enable: true, mask: 2 | 4 | 8}]);

    await row.getByRole('button', {name: 'Send test mail'}).click();
    await row.getByText('Test mail sent to admin@example.test.').waitFor({timeout: 30000});
    const mails = smtp.messages('auth');
    assert.equal(mails.length, 1);
    assert.match(mails[0], /^To: <admin@example\.test>\r?$/m);
    assert.match(mails[0], /^Subject: RAID Management Console test mail\r?$/m);

    // The server refuses this recipient: the failure is shown beside its row.
    await card.getByRole('button', {name: 'Add recipient'}).click();
    const refused = card.locator('tr.recipient').last();
    await refused.getByLabel('Recipient address').fill('reject-me@example.test');
    await refused.getByRole('button', {name: 'Send test mail'}).click();
    const error = refused.locator('.message.error');
    await error.waitFor({timeout: 30000});
    // The service gives no reason beyond "internal server error"; the page names the likely ones.
    assert.equal(await error.textContent(), 'The test mail to reject-me@example.test could not be sent: ' +
                 'the mail server did not answer or refused it. Check the server, port, security and account.');
    assert.equal(smtp.messages('auth').length, 1);
    await screenshot(page, 'mail-test');
    assert.deepEqual(page.errors, []);
  } finally {
    await smtp.stop();
  }
});

test('server and controller settings are stored where the service reads them', async () => {
  const api = await apiSession(f.service.port);
  const page = await f.chromium.newPage();
  await openSettings(page);
  const server = page.locator('section.card', {hasText: 'Web console port'});
  await until('the stored port', async () => (await server.getByLabel('Web console port').inputValue()) === String(f.service.port));
  await server.getByLabel('SMART check interval in minutes').fill('90');
  await server.getByRole('button', {name: 'Save server settings'}).click();
  await server.getByText('Server settings saved.').waitFor();
  const settings = f.service.configFile().settings;
  assert.equal(settings.SMARTInterval, 90);
  assert.equal(settings.ServerPort, f.service.port);
  assert.equal(settings.RestrictLocal, 0);

  const ctrl = page.locator('section.card', {hasText: 'Controller settings'});
  const before = await api('GetDomainConfig', {domain: 0});
  const box = ctrl.getByLabel('Rebuild onto a spare automatically');
  await box.waitFor();
  assert.equal(await box.isChecked(), Boolean(before.AutoRebuild));
  await box.setChecked(!before.AutoRebuild);
  await ctrl.getByLabel('Rebuild priority').fill('7');
  await ctrl.getByRole('button', {name: 'Save controller settings'}).click();
  await ctrl.getByText('Controller settings of domain 0 saved.').waitFor();
  const after = await api('GetDomainConfig', {domain: 0});
  assert.equal(after.AutoRebuild, before.AutoRebuild ? 0 : 1);
  assert.equal(after.RebuildPriority, 7);
  assert.equal(f.service.configFile().domain0.RebuildPriority, 7);
  await screenshot(page, 'settings');
  assert.deepEqual(page.errors, []);
});
