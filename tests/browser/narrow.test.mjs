// A narrow window: the arrays and disks become stacked entries whose name, state and Manage are
// in view without scrolling sideways; a wide window keeps the tables.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {fixture, login, screenshot} from './harness.mjs';

const f = fixture({scenario: 'health.json'});
before(f.before);
after(f.after);

// Boxes of each row's name, state badge and Manage button that stick out of the window.
function outside(page) {
  return page.evaluate(() => {
    const out = [];
    for (const tr of document.querySelectorAll('tr[data-array-id], tr[data-disk-id]')) {
      for (const el of [tr.querySelector('th'), tr.querySelector('td.state .badge'), tr.querySelector('td.row-actions button')]) {
        if (!el) {
          out.push(tr.dataset.key + ': missing part');
          continue;
        }
        const box = el.getBoundingClientRect();
        if (box.left < 0 || box.right > window.innerWidth || box.width === 0) {
          out.push(tr.dataset.key + ': ' + el.textContent.trim() + ' at ' + Math.round(box.left) + '-' + Math.round(box.right));
        }
      }
    }
    return out;
  });
}

test('at 420 px the overview stacks its rows and nothing scrolls sideways', async () => {
  const page = await f.chromium.newPage({width: 420, height: 800});
  await login(page, f.service);
  await page.locator('tr[data-array-id]').first().waitFor();
  await page.locator('tr[data-disk-id]').first().waitFor();
  await page.locator('#health .health-list li').first().waitFor();
  const widths = await page.evaluate(() => ({
    page: document.documentElement.scrollWidth,
    window: window.innerWidth,
    boxes: [...document.querySelectorAll('.table-wrap.stacked')].map((b) => [b.scrollWidth, b.clientWidth]),
  }));
  assert.ok(widths.page <= widths.window, 'page ' + widths.page + ' in ' + widths.window);
  assert.equal(widths.boxes.length, 2, 'the arrays and the disks');
  for (const [scroll, client] of widths.boxes) assert.ok(scroll <= client, 'a table box scrolls: ' + scroll + ' > ' + client);
  assert.deepEqual(await outside(page), []);
  // The other columns are labelled where they stand.
  const level = page.locator('tr[data-array-id] td[data-label="RAID level"]').first();
  assert.equal(await level.evaluate((el) => getComputedStyle(el, '::before').content), '"RAID level"');
  assert.ok(await page.locator('tr[data-disk-id] td[data-label="Serial number"]').first().isVisible());
  await screenshot(page, 'narrow-overview');

  // Manage still opens the disk, and the dialog fits as before.
  await page.locator('tr[data-disk-id]', {hasText: 'WORN-E'}).getByRole('button', {name: /^Manage disk /}).click();
  const dialog = page.getByRole('dialog', {name: /^Disk /});
  await dialog.locator('dl.facts').waitFor();
  const box = await dialog.boundingBox();
  assert.ok(box.x >= 0 && box.x + box.width <= 420, 'the dialog fits: ' + JSON.stringify(box));
  await page.keyboard.press('Escape');
  assert.deepEqual(page.errors, []);
});

test('a wide window keeps the arrays and disks as tables with their column headers', async () => {
  const page = await f.chromium.newPage();
  await login(page, f.service);
  await page.locator('tr[data-disk-id]').first().waitFor();
  const header = page.locator('.table-wrap.stacked thead').first();
  assert.ok((await header.boundingBox()).height > 10, 'column headers shown');
  assert.equal(await page.locator('tr[data-disk-id]').first().evaluate((el) => getComputedStyle(el).display), 'table-row');
  assert.deepEqual(await outside(page), []);
  await screenshot(page, 'wide-overview');
  assert.deepEqual(page.errors, []);
});
