// Errors and numbers in the user's words: settings fields check their own range and unit before
// anything is sent, leaving changed settings asks first, memory reads in binary units and a
// refused firmware upload does not show a full bar.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {fixture, login, screenshot, apiSession, until, watchCalls} from './harness.mjs';

const f = fixture();
before(f.before);
after(f.after);

async function openSettings(page) {
  await login(page, f.service);
  await page.getByRole('link', {name: 'Settings'}).click();
  const ctrl = page.locator('section.card', {hasText: 'Controller settings'});
  await ctrl.getByLabel('Rebuild priority').waitFor();
  return ctrl;
}

test('controller settings name their units and refuse values out of range before sending', async () => {
  const api = await apiSession(f.service.port);
  const before = await api('GetDomainConfig', {domain: 0});
  const page = await f.chromium.newPage();
  const calls = watchCalls(page);
  const ctrl = await openSettings(page);
  for (const label of ['Rebuild priority (%)', 'Disk idle timer (minutes)', 'Spin-up delay (seconds)',
                       'Battery temperature threshold (°C)']) {
    await ctrl.getByLabel(label, {exact: true}).waitFor();
  }
  const cases = [
    ['Rebuild priority (%)', '-3', 'Rebuild priority must be a whole number from 0 to 100 %.'],
    ['Rebuild priority (%)', '101', 'Rebuild priority must be a whole number from 0 to 100 %.'],
    ['Disk idle timer (minutes)', '2.5', 'Disk idle timer must be a whole number from 0 to 1440 minutes.'],
    ['Spin-up delay (seconds)', '', 'Spin-up delay must be a whole number from 0 to 60 seconds.'],
    ['Battery temperature threshold (°C)', '250', 'Battery temperature threshold must be a whole number from 0 to 100 °C.'],
  ];
  const line = ctrl.locator('.message');
  for (const [label, value, said] of cases) {
    const input = ctrl.getByLabel(label, {exact: true});
    const was = await input.inputValue();
    await input.fill(value);
    await ctrl.getByRole('button', {name: 'Save controller settings'}).click();
    await until(label + ' ' + value, async () => (await line.textContent()) === 'Controller settings not saved: ' + said);
    assert.equal(await input.evaluate((el) => el === document.activeElement), true, label + ' has the focus');
    assert.equal(await input.getAttribute('aria-invalid'), 'true');
    if (value === '-3') await screenshot(page, 'errors-settings-range');
    await input.fill(was);
  }
  assert.ok(!calls.includes('SetDomainConfig'), 'nothing was sent: ' + calls.join(' '));
  assert.deepEqual(await api('GetDomainConfig', {domain: 0}), before);

  // A value in range goes through.
  await ctrl.getByLabel('Spin-up delay (seconds)', {exact: true}).fill('12');
  await ctrl.getByRole('button', {name: 'Save controller settings'}).click();
  await ctrl.getByText('Controller settings of domain 0 saved.').waitFor();
  assert.equal((await api('GetDomainConfig', {domain: 0})).SpinupDelay, 12);
  assert.equal(await ctrl.getByLabel('Spin-up delay (seconds)', {exact: true}).getAttribute('aria-invalid'), null);

  const server = page.locator('section.card', {hasText: 'Web console port'});
  await server.getByLabel('SMART check interval in minutes').fill('-1');
  await server.getByRole('button', {name: 'Save server settings'}).click();
  await server.getByText('Server settings not saved: SMART check interval must be a whole number from 0 to 525600 minutes.').waitFor();
  assert.ok(!calls.includes('SetConfig'), 'the server settings were not sent');
  assert.deepEqual(page.errors, []);
});

test('leaving the settings with a change unsaved asks first', async () => {
  const api = await apiSession(f.service.port);
  const before = await api('GetDomainConfig', {domain: 0});
  const page = await f.chromium.newPage();
  const ctrl = await openSettings(page);
  // Nothing changed: the page is left without a question.
  await page.getByRole('link', {name: 'Event log'}).click();
  await page.locator('#page-events').waitFor();
  assert.equal(await page.locator('dialog[open]').count(), 0);
  await page.getByRole('link', {name: 'Settings'}).click();
  const timer = ctrl.getByLabel('Disk idle timer (minutes)', {exact: true});
  await until('the settings read again', async () => (await timer.inputValue()) === String(before.DiskIdleTimer));

  await timer.fill('30');
  await page.getByRole('link', {name: 'Overview'}).click();
  const ask = page.getByRole('dialog', {name: 'Leave the settings without saving?'});
  await ask.waitFor();
  assert.match(await ask.textContent(), /Your changes to the controller settings of domain 0 are not saved/);
  await screenshot(page, 'errors-settings-leave');
  await ask.getByRole('button', {name: 'Cancel'}).click();
  assert.equal(await page.locator('#page-settings').isVisible(), true, 'the settings stay');
  assert.equal(await timer.inputValue(), '30', 'the change is kept');
  assert.equal(new URL(page.url()).hash, '#settings');

  await page.getByRole('link', {name: 'Overview'}).click();
  await ask.getByRole('button', {name: 'Leave without saving'}).click();
  await page.locator('#page-overview').waitFor();
  assert.equal(new URL(page.url()).hash, '#overview');
  assert.equal((await api('GetDomainConfig', {domain: 0})).DiskIdleTimer, before.DiskIdleTimer, 'nothing was stored');

  // Another domain in the picker would replace the changed controller settings: asked too.
  await page.getByRole('link', {name: 'Settings'}).click();
  await until('the settings read again', async () => (await timer.inputValue()) === String(before.DiskIdleTimer));
  await timer.fill('45');
  await page.locator('#domain-select').selectOption('1');
  const other = page.getByRole('dialog', {name: 'Show domain 1 without saving?'});
  await other.getByRole('button', {name: 'Cancel'}).click();
  assert.equal(await page.locator('#domain-select').inputValue(), '0', 'the picker is back on domain 0');
  assert.equal(await timer.inputValue(), '45', 'the change is kept');
  assert.match(await ctrl.textContent(), /Domain 0: the settings this controller reports/);
  await page.locator('#domain-select').selectOption('1');
  await other.getByRole('button', {name: 'Show domain 1'}).click();
  await ctrl.getByText('Domain 1: the settings this controller reports.').waitFor();
  assert.equal((await api('GetDomainConfig', {domain: 0})).DiskIdleTimer, before.DiskIdleTimer, 'nothing was stored');
  await page.locator('#domain-select').selectOption('0');
  await ctrl.getByText('Domain 0: the settings this controller reports.').waitFor();

  // A mail setting typed and left is asked about as well.
  const mail = page.locator('section.card', {hasText: 'Mail notification'});
  await mail.getByLabel('SMTP server').fill('mail.example.test');
  await page.getByRole('link', {name: 'Firmware'}).click();
  await ask.waitFor();
  assert.match(await ask.textContent(), /the mail settings/);
  await ask.getByRole('button', {name: 'Leave without saving'}).click();
  await page.locator('#page-firmware').waitFor();
  assert.deepEqual(page.errors, []);
});

test('controller memory reads in binary units', async () => {
  const api = await apiSession(f.service.port);
  const info = await api('GetControllerInfo', {domain: 1, id: 0});
  assert.equal(info.ramsize, 2 * 1024 ** 3, 'the default machine has 2 GiB on domain 1');
  const page = await f.chromium.newPage();
  await login(page, f.service);
  await page.locator('#domain-select').selectOption('1');
  const card = page.locator('article[data-controller="0"]');
  await until('domain 1', async () => (await card.textContent()).includes(info.product_str));
  const facts = await card.locator('dl.facts').first().evaluate((dl) => {
    const out = {};
    for (const dt of dl.querySelectorAll('dt')) out[dt.textContent] = dt.nextElementSibling.textContent;
    return out;
  });
  assert.equal(facts.Memory, '2 GiB');
  const pcache = await api('GetPCacheSize', {domain: 1});
  assert.ok((await page.locator('.pcache').textContent()).includes(pcache + ' sectors (' + (pcache * 512) / 1024 ** 2 + ' MiB)'));
  await screenshot(page, 'errors-memory-binary');
  assert.deepEqual(page.errors, []);
});

test('a refused firmware image leaves no full upload bar behind', async () => {
  const page = await f.chromium.newPage();
  await login(page, f.service);
  await page.getByRole('link', {name: 'Firmware'}).click();
  const card = page.locator('#page-firmware');
  await card.locator('option[value="0:0"]').waitFor({state: 'attached'});
  await card.getByLabel('Controller').selectOption('0:0');
  await card.getByLabel('Firmware file').setInputFiles({name: 'not-firmware.bin', mimeType: 'application/octet-stream',
                                                        buffer: Buffer.alloc(256 * 1024, 0x33)});
  await card.getByRole('button', {name: 'Upload and update'}).click();
  await page.getByRole('dialog', {name: 'Update the firmware?'}).getByRole('button', {name: 'Update firmware'}).click();
  const message = card.locator('form .message.error');
  await message.waitFor({timeout: 60000});
  assert.equal(await message.textContent(), 'Firmware update of Arkmoor AX 2410 refused: unknown file format');
  const progress = card.locator('.progress.upload');
  assert.equal(await progress.isVisible(), false, 'the bar is gone with the refusal');
  assert.notEqual(await card.locator('.progress-text').textContent(), '100 %');
  await screenshot(page, 'errors-firmware-refused');
  assert.deepEqual(page.errors, []);
});
