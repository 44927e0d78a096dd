// Logging in and out, a reload that keeps the session, and a session that ends under the page.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {fixture, login, screenshot, apiSession, until} from './harness.mjs';

const f = fixture({configJson: {password: 'Sesame-17'}});
before(f.before);
after(f.after);

test('a wrong password is refused and the login page stays', async () => {
  const page = await f.chromium.newPage();
  await page.goto(f.service.url);
  const form = page.locator('#login-form');
  await form.getByLabel('Password').fill('not-the-password');
  await form.getByRole('button', {name: 'Log in'}).click();
  const message = page.locator('#login-message');
  await message.waitFor({state: 'visible'});
  assert.equal(await message.textContent(), 'Login failed: wrong user name or password.');
  assert.equal(await page.locator('#console').isVisible(), false);
  assert.equal(await form.getByLabel('Password').inputValue(), '', 'the refused password is not kept');
  await screenshot(page, 'login-refused');
  assert.deepEqual(page.errors, []);
});

test('the right password opens the console, a reload keeps it, logout ends it', async () => {
  const page = await f.chromium.newPage();
  await login(page, f.service, 'Sesame-17');
  assert.equal(await page.locator('#user-name').textContent(), 'admin');
  await page.locator('tr[data-array-id]').first().waitFor();

  await page.reload();
  await page.locator('tr[data-array-id]').first().waitFor();
  assert.equal(await page.locator('#login-page').isVisible(), false, 'still logged in after the reload');
  assert.equal(await page.locator('#user-name').textContent(), 'admin');

  await page.getByRole('button', {name: 'Log out'}).click();
  await page.locator('#login-page').waitFor({state: 'visible'});
  assert.equal(await page.locator('#login-message').textContent(), 'You have logged out.');
  await page.reload();
  await page.locator('#login-page').waitFor({state: 'visible'});
  assert.equal(await page.locator('#console').isVisible(), false, 'the session is gone on the service too');
  await screenshot(page, 'login-logged-out');
  assert.deepEqual(page.errors, []);
});

test('a session pushed out of the full session table returns the page to the login', async () => {
  const page = await f.chromium.newPage();
  await login(page, f.service, 'Sesame-17');
  await page.locator('tr[data-array-id]').first().waitFor();
  // An array's dialog is open when the session ends; it reads the array every few seconds.
  await page.getByRole('button', {name: /^Manage array /}).first().click();
  await page.getByRole('dialog', {name: /^Array /}).locator('dl.facts').waitFor();
  // The service keeps ten sessions; ten newer logins evict the page's one.
  for (let i = 0; i < 10; i++) await apiSession(f.service.port, 'Sesame-17');
  // The next refresh finds the session gone.
  await page.locator('#login-page').waitFor({state: 'visible', timeout: 20000});
  assert.equal(await page.locator('dialog[open]').count(), 0, 'no dialog of the ended session is left');
  assert.equal(await page.locator('#login-message').textContent(),
               'Your session has expired. Please log in again.');
  assert.equal(await page.locator('#console').isVisible(), false);
  await screenshot(page, 'session-expired');

  // Logging in again brings the console back.
  await login(page, f.service, 'Sesame-17');
  await until('the overview', () => page.locator('tr[data-array-id]').count());
  await screenshot(page, 'session-resumed');
  assert.deepEqual(page.errors, []);
});

test('a login by keyboard alone, then a password change that the next login needs', async () => {
  const page = await f.chromium.newPage();
  await page.goto(f.service.url);
  await page.locator('#login-page').waitFor({state: 'visible'});
  // The page puts the cursor into the password field: type and press Enter.
  await page.keyboard.type('Sesame-17');
  await page.keyboard.press('Enter');
  await page.locator('tr[data-array-id]').first().waitFor();

  await page.getByRole('button', {name: 'Change password'}).click();
  const dialog = page.getByRole('dialog', {name: 'Change password'});
  await dialog.getByLabel('Current password').fill('guessed');
  await dialog.getByLabel('New password', {exact: true}).fill('Open-Sesame-18');
  await dialog.getByLabel('New password again').fill('Open-Sesame-18');
  await dialog.getByRole('button', {name: 'Change password'}).click();
  const message = dialog.locator('.message');
  await until('the refusal', async () => (await message.textContent()) !== '');
  assert.equal(await message.textContent(), 'Password not changed: wrong password');
  await screenshot(page, 'password-refused');

  await dialog.getByLabel('Current password').fill('Sesame-17');
  await dialog.getByRole('button', {name: 'Change password'}).click();
  await dialog.getByText('The password has been changed.').waitFor();
  await dialog.getByRole('button', {name: 'Close'}).click();
  await page.getByRole('button', {name: 'Log out'}).click();

  const form = page.locator('#login-form');
  await form.getByLabel('Password').fill('Sesame-17');
  await form.getByRole('button', {name: 'Log in'}).click();
  await until('the refusal of the old password',
              async () => (await page.locator('#login-message').textContent()).startsWith('Login failed'));
  await login(page, f.service, 'Open-Sesame-18');
  await page.locator('tr[data-array-id]').first().waitFor();
  await screenshot(page, 'password-changed');
  assert.deepEqual(page.errors, []);
});
