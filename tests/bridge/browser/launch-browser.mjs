// The system's Chromium or Firefox ESR, headless, through puppeteer-core
// (Chromium over its DevTools protocol, Firefox over WebDriver BiDi), with
// no browser download and a profile in the test's own folder.
import puppeteer from 'puppeteer-core';

// options: browser ('chromium' | 'firefox'), profileDir, host (a name the
// browser resolves to 127.0.0.1), publicPort (the page server's port, whose
// pages the browser then takes for a public site's), firefoxWebsocketChecks
// (Firefox checks WebSockets for local network access, off by default in 153).
export async function launchBrowser(options) {
  const { browser, profileDir, host, publicPort, firefoxWebsocketChecks } = options;
  if (browser === 'firefox') {
    const prefs = { 'network.lna.websocket.enabled': Boolean(firefoxWebsocketChecks) };
    if (host)
      prefs['network.dns.localDomains'] = host;
    if (publicPort)
      prefs['network.lna.address_space.public.override'] = `127.0.0.1:${publicPort}`;
    return puppeteer.launch({
      browser: 'firefox', executablePath: process.env.ZVIT_FIREFOX || '/usr/bin/firefox-esr', headless: true,
      userDataDir: profileDir, acceptInsecureCerts: true, extraPrefsFirefox: prefs,
    });
  }
  const args = ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
                '--disable-component-update', '--disable-sync'];
  if (host)
    args.push(`--host-resolver-rules=MAP ${host} 127.0.0.1`);
  if (publicPort)
    args.push(`--ip-address-space-overrides=127.0.0.1:${publicPort}=public`);
  return puppeteer.launch({
    browser: 'chrome', executablePath: process.env.ZVIT_CHROMIUM || '/usr/bin/chromium', headless: true,
    userDataDir: profileDir, acceptInsecureCerts: true, args,
  });
}

// The page's local network access permission for this computer, or null.
export function loopbackPermission(page) {
  return page.evaluate(() => navigator.permissions.query({ name: 'loopback-network' })
    .then((status) => status.state, () => null));
}
