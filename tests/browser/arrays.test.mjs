// Array work from the overview: creating a mirror, a verify whose progress bar moves as the
// emulator ticks, a refused and a confirmed deletion.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {fixture, login, screenshot, apiSession, until} from './harness.mjs';

const f = fixture();
before(f.before);
after(f.after);

async function arrayIdByName(api, domain, name) {
  for (const id of await api('GetLDList', {domain})) {
    const vd = await api('GetVDInfo', {domain, id});
    if (vd.type === 1 && vd.array.aname === name) return {id, vd};
  }
  return null;
}

function manage(page, name) {
  return page.getByRole('button', {name: 'Manage array ' + name, exact: true}).click();
}

test('a RAID1 made from two free disks is listed with them', async () => {
  const page = await f.chromium.newPage();
  const api = await apiSession(f.service.port);
  await login(page, f.service);
  await page.locator('tr[data-array-id]').first().waitFor();
  await page.getByRole('button', {name: 'Create array'}).click();
  const dialog = page.getByRole('dialog', {name: 'Create array'});
  await dialog.getByLabel('Name').fill('Mirror2');
  await dialog.getByLabel('RAID level').selectOption('RAID1');
  await dialog.getByLabel('Initialization').selectOption('0');
  const offered = dialog.locator('fieldset.members input[type="checkbox"]');
  assert.ok(await offered.count() >= 2, 'two free disks are offered');
  const picked = [Number(await offered.nth(0).getAttribute('value')), Number(await offered.nth(1).getAttribute('value'))];
  await offered.nth(0).check();
  await offered.nth(1).check();
  // The live maximum comes from the controller for exactly this choice.
  const most = await api('GetRAIDCapacity', {domain: 0, raidlevel: 2, bs_shift: 7, cache_policy: 1, members: picked});
  await dialog.getByText('Largest capacity:').waitFor();
  assert.ok((await dialog.getByText('Largest capacity:').textContent()).includes((most * 512 / 1e9).toFixed(2) + ' GB'));
  await screenshot(page, 'create-raid1-dialog');
  await dialog.getByRole('button', {name: 'Create array'}).click();
  await dialog.waitFor({state: 'detached'});

  const row = page.locator('tr[data-array-id]', {hasText: 'Mirror2'});
  await row.waitFor();
  const made = await arrayIdByName(api, 0, 'Mirror2');
  assert.ok(made, 'the service lists the new array');
  assert.equal(made.vd.array.raidlevel, 2);
  assert.deepEqual([...made.vd.array.members].sort(), [...picked].sort());
  const text = await row.textContent();
  assert.ok(text.includes('RAID1'));
  for (const id of picked) {
    const diskRow = page.locator('tr[data-disk-id="' + id + '"]');
    await until('disk ' + id + ' shown as a member', async () => (await diskRow.textContent()).includes('Member of Mirror2'));
  }
  await screenshot(page, 'create-raid1-listed');
  assert.deepEqual(page.errors, []);
});

test('a verify started from the console moves its progress bar until it finishes', async () => {
  const page = await f.chromium.newPage();
  await login(page, f.service);
  const row = page.locator('tr[data-array-id]', {hasText: 'FastBoot'});
  await row.waitFor();
  await manage(page, 'FastBoot');
  const dialog = page.getByRole('dialog', {name: 'Array FastBoot'});
  await dialog.getByRole('button', {name: 'Start verify'}).click();
  await dialog.getByRole('button', {name: 'Stop verify'}).waitFor();

  // Deleting is refused while the verify runs, with the reason next to the button.
  await dialog.getByRole('button', {name: 'Delete array'}).click();
  const refusal = dialog.locator('.message.error');
  await refusal.waitFor();
  assert.equal(await refusal.textContent(),
               'Deleting failed: the array cannot be deleted: a task is running on it or it is in use');
  await dialog.getByRole('button', {name: 'Close'}).click();

  const bar = row.locator('progress');
  await bar.waitFor();
  const first = Number(await bar.getAttribute('value'));
  const later = await until('the verify to advance', async () => {
    if (!(await bar.count())) return null;
    const v = Number(await bar.getAttribute('value'));
    return v > first ? v : null;
  });
  assert.ok(later > first && later <= 100, first + ' then ' + later);
  assert.ok((await row.textContent()).includes('Verifying'));
  await screenshot(page, 'verify-progress');
  await until('the verify to finish', async () => (await row.locator('.badge').textContent()) === 'Normal', 30000);
  assert.equal(await bar.count(), 0, 'no bar once the verify is over');
  assert.deepEqual(page.errors, []);
});

test('deleting asks first, naming what is lost, and a cancel keeps the array', async () => {
  const page = await f.chromium.newPage();
  const api = await apiSession(f.service.port);
  await login(page, f.service);
  await page.locator('tr[data-array-id]').first().waitFor();
  // An array of our own to delete, made through the API.
  const free = [];
  for (const id of await api('GetPDList', {domain: 0})) {
    const vd = await api('GetVDInfo', {domain: 0, id});
    if (!vd.disk.parents.some((p) => p) && (vd.disk.flags & 0x800b0009) === 0) free.push(id);
  }
  assert.ok(free.length >= 1, 'a free disk for the array');
  const id = await api('CreateArray', {domain: 0, raidlevel: 1, bs_shift: 7, cache_policy: 1, aname: 'Scratch',
                                       members: [free[0]], init_options: 0});
  const row = page.locator('tr[data-array-id="' + id + '"]');
  await row.waitFor();

  await manage(page, 'Scratch');
  const dialog = page.getByRole('dialog', {name: 'Array Scratch'});
  await dialog.getByRole('button', {name: 'Delete array'}).click();
  const confirm = page.getByRole('dialog', {name: 'Delete array Scratch?'});
  await confirm.waitFor();
  assert.ok((await confirm.textContent()).includes('All data on array Scratch (RAID0'));
  await confirm.getByRole('button', {name: 'Cancel'}).click();
  await confirm.waitFor({state: 'detached'});
  assert.ok(await arrayIdByName(api, 0, 'Scratch'), 'a cancel deletes nothing');

  await dialog.getByRole('button', {name: 'Delete array'}).click();
  await screenshot(page, 'delete-confirm');
  await confirm.getByRole('button', {name: 'Delete array'}).click();
  await dialog.waitFor({state: 'detached'});
  await row.waitFor({state: 'detached'});
  assert.equal(await arrayIdByName(api, 0, 'Scratch'), null);
  await screenshot(page, 'delete-done');
  assert.deepEqual(page.errors, []);
});

test('names from the service are shown as text, never as markup', async () => {
  const page = await f.chromium.newPage();
  const api = await apiSession(f.service.port);
  await login(page, f.service);
  await page.locator('tr[data-array-id]').first().waitFor();
  const free = [];
  for (const id of await api('GetPDList', {domain: 0})) {
    const vd = await api('GetVDInfo', {domain: 0, id});
    if (!vd.disk.parents.some((p) => p) && (vd.disk.flags & 0x800b0009) === 0) free.push(id);
  }
  const name = '<i>x</i>&lt;';
  const id = await api('CreateArray', {domain: 0, raidlevel: 1, bs_shift: 7, cache_policy: 1, aname: name,
                                       members: [free[0]], init_options: 0});
  const row = page.locator('tr[data-array-id="' + id + '"]');
  await row.waitFor();
  assert.equal(await row.locator('th').textContent(), name);
  assert.equal(await row.locator('i').count(), 0);
  await screenshot(page, 'markup-as-text');
  await api('DeleteArray', {domain: 0, id, options: 0});
  await row.waitFor({state: 'detached'});
  assert.deepEqual(page.errors, []);
});
