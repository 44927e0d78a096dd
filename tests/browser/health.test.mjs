// The health line: trouble in any domain is named on every page, counted in the title and
// marked in the domain picker, and each entry opens its device in its own domain.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {fixture, login, screenshot, apiSession, until, countCalls} from './harness.mjs';

const f = fixture({scenario: 'health.json'});
before(f.before);
after(f.after);

const entries = (page) => page.locator('#health .health-list li').allTextContents();

test('problems of both domains are on the health line, in the title and the picker; an entry opens its array', async () => {
  const page = await f.chromium.newPage();
  const api = await apiSession(f.service.port);
  await login(page, f.service);
  await page.locator('tr[data-array-id]').first().waitFor();
  // Domain 1's Archive loses a disk at the sixth tick while domain 0 is on screen.
  await until('the critical array of domain 1', async () =>
    (await entries(page)).some((t) => t.startsWith('Domain 1: array Archive is critical')), 30000);
  await until('the failed verify of domain 0', async () =>
    (await entries(page)).some((t) => t.startsWith('Domain 0: array DataVault: its verify failed')), 20000);
  const archive = await api('GetVDInfo', {domain: 1, id: (await api('GetLDList', {domain: 1}))[0]});
  assert.notEqual(archive.array.flags & 0x8, 0, 'the service reports Archive critical too');

  const list = await entries(page);
  for (const expected of [
    'Domain 0: disk 1/6 (HD7200 2T0DM08 WORN-E) fails SMART: a threshold is exceeded',
    'Domain 1: array Archive is critical',
    'Domain 1: disk 1/2 (HD7200 8T0NM55 ARCH-B) has failed',
    'Domain 1: the battery unit of Arkmoor AX 3808 HW has faulted',
  ]) {
    assert.ok(list.includes(expected) || list.some((t) => t.startsWith(expected)), expected + ' in ' + JSON.stringify(list));
  }
  // Worst first: the failures before the failed verify.
  assert.ok(list.at(-1).startsWith('Domain 0: array DataVault: its verify failed'), JSON.stringify(list));
  assert.ok((await page.title()).startsWith('(' + list.length + ') Overview - '), await page.title());
  assert.equal(await page.locator('#domain-select option[value="1"]').textContent(),
               'Domain 1 (' + list.filter((t) => t.startsWith('Domain 1:')).length + ' problems)');
  assert.ok(await page.locator('#domain-picker.attention').isVisible(), 'the picker marks the other domain');
  // The SMART failure shows on the disk's row too, not only behind Manage.
  const worn = page.locator('tr[data-disk-id]', {hasText: 'WORN-E'});
  assert.ok((await worn.locator('td.state').textContent()).includes('SMART threshold exceeded'));
  await screenshot(page, 'health-problems');

  // A keyboard user on an entry keeps the focus while the rounds go on.
  const wornEntry = page.locator('#health li', {hasText: 'WORN-E'}).getByRole('button');
  await wornEntry.focus();
  const calls = countCalls(page);
  await until('two more rounds', async () => calls.of('GetEventLogCount') >= 2, 15000);
  assert.equal(await page.evaluate(() => document.activeElement.textContent), await wornEntry.textContent());

  // The health line is on every page.
  await page.getByRole('link', {name: 'Event log'}).click();
  await page.locator('#page-events tbody tr').first().waitFor();
  assert.deepEqual(await entries(page), list);
  assert.ok((await page.title()).startsWith('(' + list.length + ') Event log - '));
  await screenshot(page, 'health-on-event-log');

  // The entry opens the array in its domain.
  await page.locator('#health li', {hasText: 'Domain 1: array Archive'}).getByRole('button').click();
  const dialog = page.getByRole('dialog', {name: 'Array Archive'});
  await dialog.locator('dl.facts').waitFor();
  assert.equal(await page.locator('#domain-select').inputValue(), '1');
  assert.ok(await page.locator('#page-overview').isVisible(), 'back on the overview');
  assert.ok((await dialog.textContent()).includes('Critical'));
  await screenshot(page, 'health-opens-array');
  await page.keyboard.press('Escape');
  assert.ok((await page.locator('#page-overview .page-head h2').textContent()).startsWith('Domain 1'));
  // Domain 1 on screen: now domain 0's problems mark the picker.
  assert.ok(await page.locator('#domain-picker.attention').isVisible());

  // A disk entry opens the disk.
  await page.locator('#health li', {hasText: 'WORN-E'}).getByRole('button').click();
  await page.getByRole('dialog', {name: 'Disk 1/6'}).locator('dl.facts').waitFor();
  assert.equal(await page.locator('#domain-select').inputValue(), '0');
  await screenshot(page, 'health-opens-disk');
  assert.deepEqual(page.errors, []);
});
