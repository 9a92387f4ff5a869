// Drives the sample bank page in the system's headless Chromium and prints
// what the page showed as one JSON object.
// Usage: node bank-page.mjs PAGE_DIR BRIDGE_PORT PIN NEW_PIN PROFILE_DIR HTTP_PORT
import { chromium } from 'playwright-core';
import { servePage } from './serve-page.mjs';

const [pageDir, port, pin, newPin, profileDir, httpPort] = process.argv.slice(2);

// The page is served from this machine, so the browser lets it reach the
// loopback bridge without asking (a bank's page would need the user's consent).
const server = await servePage(pageDir, httpPort);
const origin = `http://127.0.0.1:${httpPort}`;

const context = await chromium.launchPersistentContext(profileDir, {
  executablePath: process.env.ZVIT_CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync'],
});
try {
  const page = context.pages()[0] || await context.newPage();
  const console_ = [];
  page.on('console', (message) => console_.push(message.text()));
  await page.goto(`${origin}/index.html?port=${port}`);
  await page.click('#connect');
  await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('Connected'),
                             null, { timeout: 30000 }).catch(() => {});
  const text = (id) => page.locator(`#${id}`).textContent();
  const result = { status: await text('status') };
  for (const id of ['keyCount', 'serial', 'subject', 'certSerial', 'validFrom', 'version'])
    result[id] = await text(id);
  if (!result.status.startsWith('Connected')) {
    result.console = console_;
    console.log(JSON.stringify(result));
    process.exitCode = 2;
  } else {

  const submit = async (fields, button, output) => {
    await page.evaluate((id) => { document.getElementById(id).textContent = ''; }, output);
    for (const [id, value] of Object.entries(fields))
      await page.fill(`#${id}`, value);
    await page.click(`#${button}`);
    await page.waitForFunction((id) => document.getElementById(id).textContent !== '', output, { timeout: 30000 });
    return text(output);
  };
  result.wrongPin = await submit({ pin: '000000' }, 'verify', 'pinResult');
  result.rightPin = await submit({ pin }, 'verify', 'pinResult');
  result.mismatch = await submit({ oldPin: pin, newPin, newPin2: newPin + 'x' }, 'change', 'changeResult');
  result.change = await submit({ oldPin: pin, newPin, newPin2: newPin }, 'change', 'changeResult');
  result.newPin = await submit({ pin: newPin }, 'verify', 'pinResult');
  result.pinFieldEmpty = (await page.inputValue('#pin')) === '';
  result.console = console_;
  console.log(JSON.stringify(result));
  }
} finally {
  await context.close();
  server.close();
}
