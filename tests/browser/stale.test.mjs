// When the service stops answering, everything on show is marked stale with the time of the
// last good read, and the page asks less and less often until an answer comes back.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {fixture, login, screenshot, countCalls} from './harness.mjs';

const f = fixture();
before(f.before);
after(f.after);

// Calls in a window of 30 s: a page on its 2 s rounds sends at least 15 rounds of 3 or more.
const WINDOW_MS = 30000;
const BACKED_OFF = 4;

async function staleMarks(page) {
  await page.locator('body.stale').waitFor({timeout: 20000});
  const note = await page.locator('#health .stale-note').textContent();
  assert.match(note, /The service cannot be reached\. What is shown was read (just now|\d+ seconds ago), at \d{4}-\d\d-\d\d \d\d:\d\d:\d\d\./);
  assert.match(await page.locator('#page-overview .stamp').textContent(), /^Last read .+ \(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\)$/);
  // The last states stay, dimmed: they are no longer known to be true.
  const badge = page.locator('tr[data-array-id] .badge').first();
  assert.equal(await badge.textContent(), 'Normal');
  assert.equal(await badge.evaluate((el) => getComputedStyle(el).filter), 'grayscale(1)');
  assert.ok(await page.locator('#page-overview.stale').count(), 'the overview is marked');
}

test('a service out of reach marks the page stale and polling backs off; its next answer clears it', async () => {
  const page = await f.chromium.newPage();
  await login(page, f.service);
  await page.locator('tr[data-array-id]').first().waitFor();
  await page.locator('#health .health-line:not(.busy)').first().waitFor();
  const calls = countCalls(page);
  // Every call fails as it does when nothing listens on the port.
  const cut = (route) => (route.request().method() === 'POST' ? route.abort('connectionrefused') : route.continue());
  await page.route(f.service.url, cut);
  await staleMarks(page);
  calls.reset();
  await page.waitForTimeout(WINDOW_MS);
  assert.ok(calls.total() <= BACKED_OFF, 'calls while out of reach: ' + JSON.stringify(calls.byMethod()));
  assert.deepEqual(Object.keys(calls.byMethod()), ['GetEventLogCount'], 'one call an attempt');
  // Later, when the wait has grown, the note says when the next attempt comes.
  assert.match(await page.locator('#health .stale-note').textContent(), /Trying again in \d+ s\.$/);
  await screenshot(page, 'stale-out-of-reach');

  await page.unroute(f.service.url, cut);
  await page.locator('body:not(.stale)').waitFor({timeout: 40000});
  assert.match(await page.locator('#page-overview .stamp').textContent(), /^Updated /);
  assert.equal(await page.locator('#health .stale-note').count(), 0);
  assert.equal(await page.locator('tr[data-array-id] .badge').first().evaluate((el) => getComputedStyle(el).filter), 'none');
  // Back on the 2 s rounds.
  calls.reset();
  await page.waitForTimeout(10000);
  assert.ok(calls.of('GetEventLogCount') >= 3, 'rounds again: ' + JSON.stringify(calls.byMethod()));
  await screenshot(page, 'stale-recovered');
  assert.deepEqual(page.errors, []);
});

// Last in this file: it stops the service.
test('stopping the service marks every page stale and the request rate falls', async () => {
  const page = await f.chromium.newPage();
  await login(page, f.service);
  await page.locator('tr[data-array-id]').first().waitFor();
  await page.locator('#health .health-line:not(.busy)').first().waitFor();
  const calls = countCalls(page);
  await f.service.stop();
  await staleMarks(page);
  calls.reset();
  await page.waitForTimeout(WINDOW_MS);
  assert.ok(calls.total() <= BACKED_OFF, 'calls with the service stopped: ' + JSON.stringify(calls.byMethod()));
  await screenshot(page, 'stale-service-stopped');
  // Another page shows it too: the note and the dimmed health line are above every page.
  await page.getByRole('link', {name: 'Event log'}).click();
  assert.ok(await page.locator('#health .stale-note').isVisible());
  assert.ok(await page.locator('#health.stale').count());
  await screenshot(page, 'stale-event-log');
  assert.deepEqual(page.errors, []);
});
