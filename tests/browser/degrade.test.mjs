// A mirror loses a disk (a step of the emulator's script) and is rebuilt onto the spare from
// the console.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {fixture, login, screenshot, apiSession, until} from './harness.mjs';

const f = fixture({scenario: 'degrade.json'});
before(f.before);
after(f.after);

test('a degraded mirror is rebuilt onto the spare and becomes normal again', async () => {
  const page = await f.chromium.newPage();
  const api = await apiSession(f.service.port);
  await login(page, f.service);
  const row = page.locator('tr[data-array-id]', {hasText: 'Mirror'});
  await row.waitFor();
  // The scenario fails the second disk at its fourth tick; the overview follows by itself.
  await until('the mirror to be critical', async () => (await row.locator('.badge').textContent()) === 'Critical', 30000);
  const spareRow = page.locator('tr[data-disk-id]', {hasText: 'SPARE-C'});
  assert.equal((await spareRow.locator('td').nth(4).textContent()).trim(), 'Spare');
  await screenshot(page, 'degraded');

  await page.getByRole('button', {name: 'Manage array Mirror', exact: true}).click();
  const dialog = page.getByRole('dialog', {name: 'Array Mirror'});
  const pick = dialog.getByLabel('Disk to rebuild onto');
  await pick.waitFor();
  const spareId = await spareRow.getAttribute('data-disk-id');
  await pick.selectOption(spareId);
  await dialog.getByRole('button', {name: 'Rebuild onto this disk'}).click();
  // Stopped, the rebuild waits to be started again, from the start.
  await dialog.getByRole('button', {name: 'Stop rebuild'}).click();
  await dialog.getByRole('button', {name: 'Start rebuild'}).waitFor();
  await until('the mirror to wait for its rebuild', async () => (await row.locator('.badge').textContent()) === 'Needs rebuild');
  await dialog.getByRole('button', {name: 'Start rebuild'}).click();
  await dialog.getByRole('button', {name: 'Stop rebuild'}).waitFor();
  await dialog.getByRole('button', {name: 'Close'}).click();

  await until('the rebuild bar', async () => (await row.locator('progress').count()) > 0);
  assert.ok((await row.textContent()).includes('Rebuilding'));
  await screenshot(page, 'rebuilding');
  await until('the rebuild to finish', async () => (await row.locator('.badge').textContent()) === 'Normal', 40000);
  await until('the spare to be a member', async () => (await spareRow.textContent()).includes('Member of Mirror'));

  const vd = await api('GetVDInfo', {domain: 0, id: Number(await row.getAttribute('data-array-id'))});
  assert.ok(vd.array.members.includes(Number(spareId)), 'the spare holds the mirror now');
  assert.equal(vd.array.flags & 0x0f, 0, 'neither critical nor rebuilding');
  await screenshot(page, 'rebuilt');
  assert.deepEqual(page.errors, []);
});
