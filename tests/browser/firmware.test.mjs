// Firmware upload: the progress bar reaches 100 % and the service's verdict is shown; images
// it refuses are refused with its reason.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {fixture, login, screenshot, apiSession, until} from './harness.mjs';
import fs from 'node:fs';
import path from 'node:path';
import {buildImage, patterned} from './fwimage.mjs';

const f = fixture();
before(f.before);
after(f.after);

const ANY = 0xffffffff;
// The default machine's first controller answers this PCI id pair.
const ID = [0x24101e4a, 0x00011e4a];

function images() {
  const boot = patterned(512 * 1024, 7);
  const main = patterned(64 * 1024, 11);
  const good = buildImage([{data: boot, target: 0}, {data: main, target: 0x80000}], [[0x11111111, 0x22222222], ID]);
  const corrupt = good.slice();
  corrupt[1000] ^= 0x40;
  const foreign = buildImage([{data: main, target: 0}], [[ID[0], ANY - 1]]);
  return {good, corrupt, foreign};
}

// `file`: the image's bytes, or the path of a file that holds them.
async function upload(page, name, file) {
  const card = page.locator('#page-firmware');
  await card.getByLabel('Controller').selectOption('0:0');
  await card.getByLabel('Firmware file').setInputFiles(typeof file === 'string' ? file
    : {name, mimeType: 'application/octet-stream', buffer: Buffer.from(file)});
  await card.getByRole('button', {name: 'Upload and update'}).click();
  const confirm = page.getByRole('dialog', {name: 'Update the firmware?'});
  assert.ok((await confirm.textContent()).includes('Arkmoor AX 2410 (domain 0, controller 0) will be replaced by ' + name));
  await confirm.getByRole('button', {name: 'Update firmware'}).click();
  const message = card.locator('form .message');
  await until('the verdict', async () => !(await message.isHidden()) && (await message.textContent()) !== '', 60000);
  return message;
}

test('a firmware image is uploaded with its progress shown up to 100 %, bad ones are refused with the reason', async () => {
  const page = await f.chromium.newPage();
  const api = await apiSession(f.service.port);
  await login(page, f.service);
  await page.getByRole('link', {name: 'Firmware'}).click();
  await page.locator('#page-firmware option[value="0:0"]').waitFor({state: 'attached'});
  const {good, corrupt, foreign} = images();

  let message = await upload(page, 'ax2410-good.bin', good);
  assert.equal(await message.textContent(), 'The firmware ax2410-good.bin was written to Arkmoor AX 2410. ' +
               'It takes effect when the computer starts again.');
  assert.ok((await message.getAttribute('class')).includes('done'));
  const bar = page.locator('#page-firmware progress');
  assert.equal(await bar.getAttribute('value'), '100');
  assert.equal(await page.locator('#page-firmware .progress-text').textContent(), '100 %');
  await screenshot(page, 'firmware-uploaded');

  const refusals = [
    ['ax2410-corrupt.bin', corrupt, 'unknown file format'],
    ['other-board.bin', foreign, 'file is not compatible with current device'],
  ];
  for (const [name, bytes, reason] of refusals) {
    message = await upload(page, name, bytes);
    assert.equal(await message.textContent(), 'Firmware update of Arkmoor AX 2410 refused: ' + reason, name);
    assert.ok((await message.getAttribute('class')).includes('error'));
    await screenshot(page, 'firmware-' + name.replace('.bin', ''));
  }
  // The service goes on answering.
  assert.equal(typeof await api('GetEventLogCount'), 'number');
  assert.deepEqual(page.errors, []);
});

test('an image larger than the service takes is refused with a sentence that says so', async () => {
  const page = await f.chromium.newPage();
  await login(page, f.service);
  await page.getByRole('link', {name: 'Firmware'}).click();
  await page.locator('#page-firmware option[value="0:0"]').waitFor({state: 'attached'});
  const big = path.join(f.service.dir, 'huge-image.bin');
  const mib = Buffer.alloc(1 << 20, 0x5a);
  const fd = fs.openSync(big, 'w');
  for (let i = 0; i < 65; i++) fs.writeSync(fd, mib);
  fs.closeSync(fd);
  const message = await upload(page, 'huge-image.bin', big);
  assert.equal(await message.textContent(),
               'Firmware update of Arkmoor AX 2410 refused: the file is larger than the service accepts');
  await screenshot(page, 'firmware-too-large');
  assert.deepEqual(page.errors, []);
});
