// Less common array and disk work: nested arrays, a migration to another level, renaming,
// the cache policy, unplugging and rescanning, initialising a disk.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {fixture, login, screenshot, apiSession, until} from './harness.mjs';

const f = fixture({scenario: 'maintenance.json'});
before(f.before);
after(f.after);

async function arrays(api) {
  const list = [];
  for (const id of await api('GetLDList', {domain: 0})) {
    const vd = await api('GetVDInfo', {domain: 0, id});
    if (vd.type === 1) list.push(vd);
  }
  return list;
}

async function diskId(page, serial) {
  return Number(await page.locator('tr[data-disk-id]', {hasText: serial}).getAttribute('data-disk-id'));
}

async function tick(dialog, ids) {
  for (const id of ids) await dialog.locator('fieldset.members input[value="' + id + '"]').check();
}

test('a RAID10 over two mirrored pairs is created and listed as one array', async () => {
  const api = await apiSession(f.service.port);
  const page = await f.chromium.newPage();
  await login(page, f.service);
  await page.locator('tr[data-array-id]').first().waitFor();
  const members = [];
  for (const s of ['FREE-E', 'FREE-F', 'FREE-G', 'FREE-H']) members.push(await diskId(page, s));
  await page.getByRole('button', {name: 'Create array'}).click();
  const dialog = page.getByRole('dialog', {name: 'Create array'});
  await dialog.getByLabel('Name').fill('Stripe10');
  await dialog.getByLabel('RAID level').selectOption('RAID10');
  await dialog.getByLabel('Disks per sub-array').fill('2');
  await tick(dialog, members);
  await dialog.getByText('Largest capacity:').waitFor();
  await dialog.getByRole('button', {name: 'Create array'}).click();
  await dialog.waitFor({state: 'detached'});
  const row = page.locator('tr[data-array-id]', {hasText: 'Stripe10'});
  await row.waitFor();
  const cells = (await row.locator('th, td').allTextContents()).map((t) => t.trim());
  assert.equal(cells[1], 'RAID10');
  assert.equal(cells[5].split(', ').length, 4, 'the member disks of both pairs: ' + cells[5]);
  const made = (await arrays(api)).find((vd) => vd.array.aname === 'Stripe10');
  assert.equal(made.array.raidlevel, 1);
  assert.equal(made.array.sub_raidlevel, 2);
  assert.equal(made.array.ndisks, 2);
  await screenshot(page, 'raid10-created');
  assert.deepEqual(page.errors, []);
});

test('a mirror migrates to RAID5 with a third disk, renamed and with a new cache policy', async () => {
  const api = await apiSession(f.service.port);
  const page = await f.chromium.newPage();
  await login(page, f.service);
  const row = page.locator('tr[data-array-id]', {hasText: 'Pair'}).first();
  await row.waitFor();
  const extra = await diskId(page, 'FREE-C');
  await page.getByRole('button', {name: 'Manage array Pair', exact: true}).click();
  let dialog = page.getByRole('dialog', {name: 'Array Pair'});
  await dialog.getByRole('button', {name: 'Expand or migrate'}).click();
  const migrate = page.getByRole('dialog', {name: 'Expand or migrate array Pair'});
  // The mirror's own disks are fixed members.
  assert.equal(await migrate.locator('fieldset.members input:disabled:checked').count(), 2);
  await migrate.getByLabel('RAID level').selectOption('RAID5');
  await tick(migrate, [extra]);
  await migrate.getByText('Largest capacity:').waitFor();
  await migrate.getByRole('button', {name: 'Start transform'}).click();
  await migrate.waitFor({state: 'detached'});
  await dialog.getByRole('button', {name: 'Close'}).click();

  await until('the transform to finish', async () => {
    const vd = (await arrays(api)).find((a) => a.array.aname === 'Pair');
    return vd && vd.array.raidlevel === 3 && (vd.array.flags & 0xc00) === 0;
  }, 40000);
  const migrated = page.locator('tr[data-array-id]', {hasText: 'Pair'}).first();
  await until('the overview to show RAID5', async () => (await migrated.locator('td').first().textContent()) === 'RAID5');
  assert.equal((await migrated.locator('td').nth(4).textContent()).split(', ').length, 3);

  await page.getByRole('button', {name: 'Manage array Pair', exact: true}).click();
  dialog = page.getByRole('dialog', {name: 'Array Pair'});
  await dialog.getByLabel('New name').fill('Parity');
  await dialog.getByRole('button', {name: 'Rename'}).click();
  dialog = page.getByRole('dialog', {name: 'Array Parity'});
  await dialog.getByText('The array is now called Parity.').waitFor();
  await dialog.getByLabel('Cache policy', {exact: true}).selectOption({label: 'Write-back'});
  await dialog.getByRole('button', {name: 'Apply cache policy'}).click();
  // This controller has neither cache memory nor a battery unit, so write-back is asked first.
  await page.getByRole('dialog', {name: 'Use write-back without protection?'}).getByRole('button', {name: 'Use write-back'}).click();
  await dialog.getByText('Cache policy: Write-back.').waitFor();
  assert.ok((await arrays(api)).some((a) => a.array.aname === 'Parity' && a.cache_policy === 2));
  await screenshot(page, 'migrated');
  await dialog.getByRole('button', {name: 'Close'}).click();
  await until('the overview row', async () => (await page.locator('tr[data-array-id]', {hasText: 'Parity'}).textContent()).includes('Write-back'));
  assert.deepEqual(page.errors, []);
});

test('an unplugged disk leaves the list until a rescan; a raw disk is initialised after confirmation', async () => {
  const api = await apiSession(f.service.port);
  const page = await f.chromium.newPage();
  await login(page, f.service);
  const id = await diskId(page, 'FREE-D');
  const row = page.locator('tr[data-disk-id="' + id + '"]');
  await row.locator('button').click();
  let dialog = page.getByRole('dialog', {name: /^Disk /});
  await dialog.getByRole('button', {name: 'Unplug'}).click();
  const confirm = page.getByRole('dialog', {name: /^Unplug disk /});
  await confirm.getByRole('button', {name: 'Unplug'}).click();
  await row.waitFor({state: 'detached'});
  assert.ok(!(await api('GetPDList', {domain: 0})).includes(id));
  // The disk is gone, and its dialog with it.
  await dialog.waitFor({state: 'detached'});
  await page.getByRole('button', {name: 'Rescan devices'}).click();
  await row.waitFor();

  const raw = await diskId(page, 'RAW-I');
  const rawRow = page.locator('tr[data-disk-id="' + raw + '"]');
  assert.equal(await rawRow.locator('.badge').textContent(), 'Not initialized');
  await rawRow.locator('button').click();
  dialog = page.getByRole('dialog', {name: /^Disk /});
  await dialog.getByRole('button', {name: 'Initialize'}).click();
  const ask = page.getByRole('dialog', {name: /^Initialize disk /});
  assert.ok((await ask.textContent()).includes('Everything on disk'));
  await ask.getByRole('button', {name: 'Initialize disk'}).click();
  await until('the disk to be initialised', async () => (await rawRow.locator('.badge').textContent()) === 'Online');
  assert.equal((await api('GetVDInfo', {domain: 0, id: raw})).disk.flags & 0x10000, 0);
  await screenshot(page, 'initialized');
  assert.deepEqual(page.errors, []);
});

test('an unplugged array leaves the host until a rescan brings it back', async () => {
  const api = await apiSession(f.service.port);
  const page = await f.chromium.newPage();
  await login(page, f.service);
  const vd = (await arrays(api)).find((a) => a.array.aname === 'Parity');
  assert.ok(vd && vd.target_id !== 255, 'the migrated array is exposed to the host');
  await page.getByRole('button', {name: 'Manage array Parity', exact: true}).click();
  const dialog = page.getByRole('dialog', {name: 'Array Parity'});
  const target = dialog.locator('dt:text-is("Host target") + dd');
  assert.equal(await target.textContent(), String(vd.target_id));
  await dialog.getByRole('button', {name: 'Unplug'}).click();
  const confirm = page.getByRole('dialog', {name: 'Unplug array Parity?'});
  assert.ok((await confirm.textContent()).includes('The host loses access to array Parity until the next rescan.'));
  await confirm.getByRole('button', {name: 'Unplug'}).click();
  await until('the array off the host', async () => (await target.textContent()) === 'not exposed');
  await dialog.getByRole('button', {name: 'Close'}).click();
  await page.getByRole('button', {name: 'Rescan devices'}).click();
  await until('the array back on the host', async () =>
    (await arrays(api)).find((a) => a.array.aname === 'Parity').target_id !== 255);
  await screenshot(page, 'array-rescanned');
  assert.deepEqual(page.errors, []);
});
