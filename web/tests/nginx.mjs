// A real nginx with WebDAV on a free loopback port, configured as the C++ tests'
// server is: PROPFIND and OPTIONS through the dav-ext module, PUT (with missing
// folders made), DELETE and MKCOL below /, autoindex pages for folders; below
// /plain/ the same files as a plain web server has them (PROPFIND answers 405,
// folders have index pages).
import { spawn } from 'node:child_process';
import { existsSync } from 'node:fs';
import { mkdtemp, mkdir, readFile, rm, writeFile } from 'node:fs/promises';
import { createServer, connect } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const DAV_MODULE = '/usr/lib/nginx/modules/ngx_http_dav_ext_module.so';
const START_MS = 10_000, STOP_MS = 5_000, ATTEMPTS = 5;

// A port nothing listens on now; nginx may lose it to another process, and
// the start is tried again then.
function freePort() {
  return new Promise((resolve, reject) => {
    const server = createServer();
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

function accepts(port) {
  return new Promise((resolve) => {
    const socket = connect(port, '127.0.0.1');
    socket.once('connect', () => { socket.destroy(); resolve(true); });
    socket.once('error', () => resolve(false));
  });
}

function config(dir, root, port) {
  // One process, no privilege changes: works as root and as anyone else.
  return `daemon off;
master_process off;
worker_processes 1;
pid ${dir}/nginx.pid;
error_log ${dir}/logs/error.log notice;
load_module ${DAV_MODULE};
events { worker_connections 128; }
http {
    access_log off;
    default_type application/octet-stream;
    client_body_temp_path ${dir}/temp/client_body;
    proxy_temp_path ${dir}/temp/proxy;
    fastcgi_temp_path ${dir}/temp/fastcgi;
    uwsgi_temp_path ${dir}/temp/uwsgi;
    scgi_temp_path ${dir}/temp/scgi;
    client_max_body_size 0;
    server {
        listen 127.0.0.1:${port};
        server_name localhost;
        location / {
            root ${root};
            dav_methods PUT DELETE MKCOL;
            dav_ext_methods PROPFIND OPTIONS;
            create_full_put_path on;
            autoindex on;
        }
        location /plain/ {
            alias ${root}/;
            autoindex on;
        }
    }
}
`;
}

// Starts nginx; resolves with its port, root folder and a stop() that ends it
// and removes its folder.
export async function startNginx() {
  const binary = existsSync('/usr/sbin/nginx') ? '/usr/sbin/nginx' : 'nginx';
  const dir = await mkdtemp(join(tmpdir(), 'zov-nginx-'));
  const root = join(dir, 'root');
  for (const sub of [root, join(dir, 'logs'), join(dir, 'temp')]) await mkdir(sub, { recursive: true });
  const errorLog = join(dir, 'logs', 'error.log');
  let log = '';
  for (let attempt = 0; attempt < ATTEMPTS; attempt++) {
    const port = await freePort();
    await writeFile(join(dir, 'nginx.conf'), config(dir, root, port));
    const child = spawn(binary, ['-p', dir + '/', '-c', join(dir, 'nginx.conf'), '-e', errorLog],
      { stdio: 'ignore' });
    let exited = false;
    const ended = new Promise((resolve) => child.once('exit', () => { exited = true; resolve(); }));
    child.once('error', () => { exited = true; });
    const deadline = Date.now() + START_MS;
    while (!exited && Date.now() < deadline) {
      if (await accepts(port)) return server(dir, root, port, child, ended);
      await new Promise((r) => setTimeout(r, 20));
    }
    log = existsSync(errorLog) ? await readFile(errorLog, 'utf8') : '';
    if (!exited) {
      child.kill('SIGKILL');
      await ended;
      break;  // running but deaf: another port would not help
    }
    if (!log.includes('Address already in use')) break;
  }
  await rm(dir, { recursive: true, force: true });
  throw new Error('nginx did not start; its error log:\n' + log);
}

function server(dir, root, port, child, ended) {
  return {
    port,
    root,
    // "http://127.0.0.1:PORT" + path (path starts with '/').
    url: (path) => `http://127.0.0.1:${port}${path}`,
    async stop() {
      if (child.exitCode === null && child.signalCode === null) {
        child.kill('SIGQUIT');
        const timer = setTimeout(() => child.kill('SIGKILL'), STOP_MS);
        await ended;
        clearTimeout(timer);
      }
      await rm(dir, { recursive: true, force: true });
    },
  };
}
