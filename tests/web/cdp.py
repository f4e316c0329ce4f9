"""A minimal client of Chromium's DevTools protocol, standard library only.

Chromium started with --remote-debugging-port=0 prints the port it chose;
Page.connect() finds the first page target and talks to it over a
WebSocket (RFC 6455: text frames, masked from the client, no extensions).
"""
import base64
import json
import os
import re
import socket
import struct
import time
import urllib.request


class Page:
    def __init__(self, ws_url):
        m = re.match(r"ws://([^/:]+):(\d+)(/.*)", ws_url)
        host, port, path = m.group(1), int(m.group(2)), m.group(3)
        self.sock = socket.create_connection((host, port), timeout=120)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall(("GET %s HTTP/1.1\r\nHost: %s:%d\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                           "Sec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\n\r\n"
                           % (path, host, port, key)).encode())
        response = b""
        while b"\r\n\r\n" not in response:
            response += self.sock.recv(1)
        if b" 101 " not in response.split(b"\r\n")[0]:
            raise RuntimeError("DevTools refused the WebSocket: %r" % response)
        self.next_id = 0

    @staticmethod
    def connect(port, timeout=30):
        deadline = time.time() + timeout
        while True:
            try:
                targets = json.load(urllib.request.urlopen("http://127.0.0.1:%d/json/list" % port))
                pages = [t for t in targets if t.get("type") == "page"]
                if pages:
                    return Page(pages[0]["webSocketDebuggerUrl"])
            except OSError:
                pass
            if time.time() > deadline:
                raise RuntimeError("no page target on DevTools port %d" % port)
            time.sleep(0.2)

    def _send(self, text):
        data = text.encode()
        header = bytearray([0x81])
        n = len(data)
        if n < 126:
            header.append(0x80 | n)
        elif n < 65536:
            header.append(0x80 | 126)
            header += struct.pack(">H", n)
        else:
            header.append(0x80 | 127)
            header += struct.pack(">Q", n)
        mask = os.urandom(4)
        header += mask
        self.sock.sendall(bytes(header) + bytes(b ^ mask[i % 4] for i, b in enumerate(data)))

    def _recv_exact(self, n):
        out = b""
        while len(out) < n:
            chunk = self.sock.recv(n - len(out))
            if not chunk:
                raise RuntimeError("DevTools closed the connection")
            out += chunk
        return out

    def _receive(self):
        message = b""
        while True:
            b0, b1 = self._recv_exact(2)
            n = b1 & 0x7F
            if n == 126:
                n = struct.unpack(">H", self._recv_exact(2))[0]
            elif n == 127:
                n = struct.unpack(">Q", self._recv_exact(8))[0]
            payload = self._recv_exact(n)
            if b0 & 0x0F in (0x8,):
                raise RuntimeError("DevTools closed the WebSocket")
            if b0 & 0x0F in (0x9, 0xA):  # ping / pong: not expected, skipped
                continue
            message += payload
            if b0 & 0x80:
                return json.loads(message)

    def call(self, method, **params):
        self.next_id += 1
        self._send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            reply = self._receive()
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply.get("result", {})

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        return result.get("result", {}).get("value")
