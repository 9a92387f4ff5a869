// Serves the sample bank page's folder on 127.0.0.1, as a bank's web server
// would serve its page: over https with a certificate of its own when
// tlsDir is given (the browser is told to accept it).
import { execFileSync } from 'node:child_process';
import { readFile } from 'node:fs/promises';
import { mkdirSync, readFileSync } from 'node:fs';
import http from 'node:http';
import https from 'node:https';
import path from 'node:path';

const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css' };

export async function servePage(pageDir, port, tlsDir) {
  const handler = async (request, response) => {
    const name = path.basename(new URL(request.url, 'http://x').pathname) || 'index.html';
    try {
      const body = await readFile(path.join(pageDir, name));
      response.writeHead(200, { 'Content-Type': types[path.extname(name)] || 'text/plain' });
      response.end(body);
    } catch {
      response.writeHead(404);
      response.end('not found');
    }
  };
  let server;
  if (tlsDir) {
    mkdirSync(tlsDir, { recursive: true });
    const key = path.join(tlsDir, 'page.key');
    const cert = path.join(tlsDir, 'page.crt');
    execFileSync('openssl', ['req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '2', '-subj', '/CN=bank page',
                             '-keyout', key, '-out', cert], { stdio: 'ignore' });
    server = https.createServer({ key: readFileSync(key), cert: readFileSync(cert) }, handler);
  } else {
    server = http.createServer(handler);
  }
  await new Promise((resolve) => server.listen(Number(port), '127.0.0.1', resolve));
  return server;
}
