// Serves the sample bank page's folder on 127.0.0.1, as a bank's web server
// would serve its page.
import { readFile } from 'node:fs/promises';
import http from 'node:http';
import path from 'node:path';

const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css' };

export async function servePage(pageDir, port) {
  const server = http.createServer(async (request, response) => {
    const name = path.basename(new URL(request.url, 'http://x').pathname) || 'index.html';
    try {
      const body = await readFile(path.join(pageDir, name));
      response.writeHead(200, { 'Content-Type': types[path.extname(name)] || 'text/plain' });
      response.end(body);
    } catch {
      response.writeHead(404);
      response.end('not found');
    }
  });
  await new Promise((resolve) => server.listen(Number(port), '127.0.0.1', resolve));
  return server;
}
