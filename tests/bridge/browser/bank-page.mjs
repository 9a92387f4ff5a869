// Drives the sample bank page in the system's headless Chromium or Firefox
// and prints what the page showed as one JSON object.
// Usage: node bank-page.mjs PAGE_DIR BRIDGE_PORT PIN NEW_PIN PROFILE_DIR HTTP_PORT [NAME=VALUE...]
//   browser=chromium|firefox  host=NAME (resolved to 127.0.0.1)  scheme=http|https
//   public=1 (the browser takes the page server for a public site)
//   firefoxWebsocketChecks=1  connectOnly=1 (stop after Connect, whatever came of it)
//   stopAt=TEXT (stop waiting once the status shows TEXT)
import { launchBrowser, loopbackPermission } from './launch-browser.mjs';
import { servePage } from './serve-page.mjs';

const [pageDir, port, pin, newPin, profileDir, httpPort, ...rest] = process.argv.slice(2);
const opt = Object.fromEntries(rest.map((arg) => arg.split('=')));
const host = opt.host || '127.0.0.1';
const scheme = opt.scheme || 'http';

const server = await servePage(pageDir, httpPort, scheme === 'https' ? profileDir : null);
const browser = await launchBrowser({
  browser: opt.browser || 'chromium', profileDir: `${profileDir}/${opt.browser || 'chromium'}`,
  host: host === '127.0.0.1' ? null : host, publicPort: opt.public === '1' ? httpPort : null,
  firefoxWebsocketChecks: opt.firefoxWebsocketChecks === '1',
});
try {
  const page = await browser.newPage();
  const console_ = [];
  page.on('console', (message) => console_.push(message.text()));
  await page.goto(`${scheme}://${host}:${httpPort}/index.html?port=${port}`);
  const text = (id) => page.$eval(`#${id}`, (element) => element.textContent);
  const result = { permissionBefore: await loopbackPermission(page), statuses: [] };
  await page.click('#connect');
  // Every status the page shows on the way, until it connects or gives up.
  for (const deadline = Date.now() + 30000; Date.now() < deadline;) {
    const now = await text('status');
    if (result.statuses[result.statuses.length - 1] !== now)
      result.statuses.push(now);
    const failed = await page.$eval('#status', (element) => element.classList.contains('error'));
    if (now.startsWith('Connected') || failed || (opt.stopAt && now.includes(opt.stopAt)))
      break;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  result.status = await text('status');
  result.permissionAfter = await loopbackPermission(page);
  for (const id of ['keyCount', 'serial', 'subject', 'certSerial', 'validFrom', 'version'])
    result[id] = await text(id);
  if (result.status.startsWith('Connected') && opt.connectOnly !== '1') {
    const submit = async (fields, button, output) => {
      await page.$eval(`#${output}`, (element) => { element.textContent = ''; });
      for (const [id, value] of Object.entries(fields))
        await page.$eval(`#${id}`, (element, v) => { element.value = v; }, value);
      await page.click(`#${button}`);
      await page.waitForFunction((id) => document.getElementById(id).textContent !== '', { timeout: 30000 }, output);
      return text(output);
    };
    result.wrongPin = await submit({ pin: '000000' }, 'verify', 'pinResult');
    result.rightPin = await submit({ pin }, 'verify', 'pinResult');
    result.mismatch = await submit({ oldPin: pin, newPin, newPin2: newPin + 'x' }, 'change', 'changeResult');
    result.change = await submit({ oldPin: pin, newPin, newPin2: newPin }, 'change', 'changeResult');
    result.newPin = await submit({ pin: newPin }, 'verify', 'pinResult');
    result.pinFieldEmpty = (await page.$eval('#pin', (element) => element.value)) === '';
  } else if (opt.connectOnly !== '1') {
    process.exitCode = 2;
  }
  result.console = console_;
  console.log(JSON.stringify(result));
} finally {
  await browser.close();
  server.close();
}
