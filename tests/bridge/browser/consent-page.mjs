// Loads the sample bank page from a site that is not in the bridge's allowed
// list, clicks Connect and prints, as one JSON object, whether the page said
// it was waiting for the user's permission and how it ended.
// Usage: node consent-page.mjs PAGE_DIR BRIDGE_PORT PROFILE_DIR HTTP_PORT HOST
import { launchBrowser } from './launch-browser.mjs';
import { servePage } from './serve-page.mjs';

const [pageDir, port, profileDir, httpPort, host] = process.argv.slice(2);
const server = await servePage(pageDir, httpPort);

// A site of its own name, as a bank's or any other site's page would be.
const browser = await launchBrowser({ browser: 'chromium', profileDir, host });
try {
  const page = await browser.newPage();
  const status = () => page.$eval('#status', (element) => element.textContent);
  await page.goto(`http://${host}:${httpPort}/index.html?port=${port}`);
  await page.click('#connect');
  const result = { sawWaiting: false };
  const deadline = Date.now() + 90000;
  for (;;) {
    const now = await status();
    if (now.startsWith('Waiting for your permission'))
      result.sawWaiting = true;
    if (now.startsWith('Connected') || now.includes('not allowed') || now.includes('closed')
        || Date.now() > deadline) {
      result.status = now;
      break;
    }
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  result.serial = await page.$eval('#serial', (element) => element.textContent);
  console.log(JSON.stringify(result));
} finally {
  await browser.close();
  server.close();
}
