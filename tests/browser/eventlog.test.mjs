// The event log: pages of 100, newest first, the download of the database and clearing.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import {fixture, login, screenshot, apiSession, until} from './harness.mjs';

const f = fixture({scenario: 'many_events.json'});
before(f.before);
after(f.after);

test('more than a hundred events page back and forth, download and clear', async () => {
  const api = await apiSession(f.service.port);
  // 130 queued controller events reach the log with the poller's first round.
  await until('the queued events in the log', async () => (await api('GetEventLogCount')) >= 130, 20000);
  const page = await f.chromium.newPage();
  await login(page, f.service);
  await page.getByRole('link', {name: 'Event log'}).click();
  const rows = page.locator('#page-events tbody tr');
  await until('the first page', async () => (await rows.count()) === 100);
  const count = await api('GetEventLogCount');
  assert.ok(count > 100);
  const position = page.locator('#page-events .pager span[aria-live]');
  assert.equal(await position.textContent(), 'Events 1-100 of ' + count + ' (page 1 of 2)');
  assert.ok(await page.getByRole('button', {name: 'Newer events'}).isDisabled());

  // Newest first, as the service orders them: the login of this page's user leads.
  const newest = await api('GetEventLog', {start: 0, length: 1});
  const firstCells = (await rows.first().locator('td').allTextContents()).map((t) => t.trim());
  assert.equal(firstCells[5], String(newest[0].code));
  assert.equal(firstCells[1], 'Information');
  // Each severity by its word, icon and colour, as the service types the events.
  const page1 = await api('GetEventLog', {start: 0, length: 100});
  for (const [type, word, kind] of [[1, 'Information', 'info'], [2, 'Warning', 'warn'], [3, 'Error', 'bad']]) {
    const shown = page.locator('#page-events td.severity.' + kind, {hasText: word});
    assert.equal(await shown.count(), page1.filter((e) => e.type === type).length, word);
    assert.ok(await shown.count() > 0, 'the log holds ' + word + ' events');
  }
  assert.equal(await page.locator('#page-events td.severity.bad .fa-times-circle').count(),
               page1.filter((e) => e.type === 3).length);
  await screenshot(page, 'eventlog-page1');

  await page.getByRole('button', {name: 'Older events'}).click();
  await until('the second page', async () => (await position.textContent()).includes('page 2 of 2'));
  const rest = await api('GetEventLog', {start: 100, length: 100});
  assert.equal(await rows.count(), rest.length);
  const codes = (await rows.locator('td:nth-child(6)').allTextContents()).map((t) => Number(t));
  assert.deepEqual(codes, rest.map((e) => e.code));
  assert.ok((await rows.first().textContent()).includes(rest[0].devname));
  assert.ok(await page.getByRole('button', {name: 'Older events'}).isDisabled());
  await screenshot(page, 'eventlog-page2');

  // The download is the database itself.
  const [download] = await Promise.all([page.waitForEvent('download'),
                                        page.getByRole('link', {name: 'Download event log'}).click()]);
  const file = await download.path();
  const head = fs.readFileSync(file).subarray(0, 16).toString('latin1');
  assert.equal(head, 'SQLite format 3\u0000');

  await page.getByRole('button', {name: 'Clear event log'}).click();
  const confirm = page.getByRole('dialog', {name: 'Clear the event log?'});
  assert.ok((await confirm.textContent()).includes('All ' + count + ' events will be deleted'));
  await confirm.getByRole('button', {name: 'Clear event log'}).click();
  await page.getByText('The event log was cleared.').waitFor();
  assert.equal(await position.textContent(), 'No events');
  assert.equal(await api('GetEventLogCount'), 0);
  await screenshot(page, 'eventlog-cleared');
  assert.deepEqual(page.errors, []);
});
