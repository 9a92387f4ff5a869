// Sample bank page: reads the key through the manager and works with its PIN.
'use strict';

const $ = (id) => document.getElementById(id);
const params = new URLSearchParams(location.search);
const firstPort = Number(params.get('port')) || 51913;
const ports = Array.from({ length: 10 }, (_, i) => firstPort + i);
const bridge = new KeyBridge(ports);
bridge.onWaitingForPermission = () =>
  show('status', 'Waiting for your permission: answer the key manager\'s question on your screen.');
bridge.onBrowserAsking = () =>
  show('status', 'Your browser asks whether this page may reach programs on this computer: '
    + 'choose Allow to use your key.');

const unreachable = {
  absent: 'No key manager answers on this computer. Start the key manager (Online Banking Key Manager), '
    + 'plug in your key and connect again.',
  blocked: 'Your browser blocked this page from reaching programs on this computer, so it cannot '
    + 'reach the key manager. Allow it in this site\'s settings (the icon left of the address: '
    + 'apps and services on this device, or local network access), or ask your administrator for '
    + 'the browser policy of the key manager, then connect again.',
  unanswered: 'Your browser asked whether this page may reach programs on this computer, and it '
    + 'was not allowed. Connect again and choose Allow, or allow it in this site\'s settings.',
  insecure: 'Your browser blocked this page from reaching programs on this computer: it lets only '
    + 'pages served over https do that. Open the bank\'s page at its https address.',
};

function show(id, text, ok) {
  const element = $(id);
  element.textContent = text;
  element.className = ok === undefined ? element.className : (ok ? 'result ok' : 'result error');
}

async function readKey() {
  await bridge.request('Initialize');
  const count = await bridge.request('CheckToken');
  show('keyCount', count);
  show('serial', await bridge.request('GetSN'));
  show('subject', await bridge.request('GetCertDN', ''));
  show('certSerial', await bridge.request('GetCertSN', ''));
  show('validFrom', (await bridge.request('GetCertNA', '')).trim());
  show('version', await bridge.request('GetCntlVersion'));
}

$('connect').addEventListener('click', async () => {
  show('status', 'Connecting...');
  try {
    const port = await bridge.connect();
    await readKey();
    show('status', `Connected (port ${port})`);
    $('verify').disabled = false;
    $('change').disabled = false;
  } catch (e) {
    if (e instanceof KeyBridgeUnreachable)
      show('status', unreachable[e.reason], false);
    else
      show('status', e.message, e instanceof KeyBridgeRefused ? false : undefined);
  }
});

$('verifyForm').addEventListener('submit', async (event) => {
  event.preventDefault();
  const pin = $('pin').value;
  $('pin').value = '';
  try {
    const result = describePinResult(await bridge.request('VerifyUserPin', '', pin));
    show('pinResult', result.ok ? 'PIN verified.' : result.text, result.ok);
  } catch (e) {
    show('pinResult', e.message, false);
  }
});

$('changeForm').addEventListener('submit', async (event) => {
  event.preventDefault();
  const oldPin = $('oldPin').value;
  const newPin = $('newPin').value;
  const again = $('newPin2').value;
  for (const id of ['oldPin', 'newPin', 'newPin2'])
    $(id).value = '';
  if (newPin !== again) {
    show('changeResult', 'The new PINs differ.', false);
    return;
  }
  try {
    const result = describePinResult(await bridge.request('ChangeUserPin', '', oldPin, newPin));
    show('changeResult', result.ok ? 'PIN changed.' : result.text, result.ok);
  } catch (e) {
    show('changeResult', e.message, false);
  }
});
