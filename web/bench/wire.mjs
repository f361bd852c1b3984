// The ceiling a page's frames run against: a bare WebSocket loop on loopback
// that sends binary messages of one size and keeps a number of them
// unanswered, to a page in the same browser that answers each at once and
// does nothing else with it. What the viewer presents is measured against it.
import http from 'node:http';
import crypto from 'node:crypto';

const GUID = '258EAFA5-E914-47DA-95CA-C5AB0DC85B11';

const PAGE = `<!doctype html><title>wire</title><script>
window.wire = (seconds) => new Promise((resolve, reject) => {
  const ws = new WebSocket('ws://' + location.host + '/ws');
  ws.binaryType = 'arraybuffer';
  let count = 0, bytes = 0, start = 0;
  ws.onmessage = (e) => {
    if (!start) start = performance.now();
    count++;
    bytes += e.data.byteLength;
    ws.send('a');
    const elapsed = performance.now() - start;
    if (elapsed >= seconds * 1000) {
      ws.close();
      resolve({ perSecond: (count - 1) / (elapsed / 1000), bytes: bytes / count });
    }
  };
  ws.onerror = () => reject(new Error('the wire loop failed'));
});
</script>`;

function binaryFrame(payload) {
  const header = Buffer.alloc(10);
  header[0] = 0x82;
  header[1] = 127;
  header.writeBigUInt64BE(BigInt(payload.length), 2);
  return Buffer.concat([header, payload]);
}

// Counts the page's answers: masked client frames, each one answer.
function answerCounter(onAnswer) {
  let pending = Buffer.alloc(0);
  return (chunk) => {
    pending = Buffer.concat([pending, chunk]);
    for (;;) {
      if (pending.length < 2) return;
      let length = pending[1] & 0x7f, at = 2;
      if (length === 126) { if (pending.length < 4) return; length = pending.readUInt16BE(2); at = 4; }
      else if (length === 127) { if (pending.length < 10) return; length = Number(pending.readBigUInt64BE(2)); at = 10; }
      const masked = (pending[1] & 0x80) !== 0;
      const end = at + (masked ? 4 : 0) + length;
      if (pending.length < end) return;
      const opcode = pending[0] & 0x0f;
      pending = pending.subarray(end);
      if (opcode === 0x8) return;  // close
      onAnswer();
    }
  };
}

// Messages per second the page receives, `size` bytes each, with
// `inFlight` unanswered at a time.
export async function wireCeiling(context, { size, inFlight, seconds = 3 }) {
  const message = binaryFrame(crypto.randomBytes(size));
  const server = http.createServer((req, res) => {
    res.writeHead(200, { 'content-type': 'text/html' });
    res.end(PAGE);
  });
  const sockets = new Set();
  server.on('upgrade', (req, socket) => {
    sockets.add(socket);
    const key = req.headers['sec-websocket-key'];
    const accept = crypto.createHash('sha1').update(key + GUID).digest('base64');
    socket.setNoDelay(true);
    socket.write('HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n' +
      `Sec-WebSocket-Accept: ${accept}\r\n\r\n`);
    socket.on('data', answerCounter(() => socket.write(message)));
    socket.on('error', () => {});
    for (let i = 0; i < inFlight; i++) socket.write(message);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const page = await context.newPage();
  try {
    await page.goto(`http://127.0.0.1:${server.address().port}/`);
    return await page.evaluate((s) => window.wire(s), seconds);
  } finally {
    await page.close();
    for (const socket of sockets) socket.destroy();
    server.closeAllConnections();
    await new Promise((resolve) => server.close(resolve));
  }
}
