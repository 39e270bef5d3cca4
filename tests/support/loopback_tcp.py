"""A loopback TCP peer for tests: greets the first client at once and records what it sends; with an answer
function it also answers each line the client ends with LF."""

import socket
import threading


class TcpPeer:
    def __init__(self, greeting, answer=None, timeout=60):
        self.greeting = greeting
        self.answer = answer
        self.timeout = timeout
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.listener.settimeout(timeout)
        self.port = self.listener.getsockname()[1]
        self.connected = threading.Event()
        self.received = b""
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        try:
            client, _ = self.listener.accept()
        except OSError:
            return
        self.connected.set()
        with client:
            client.settimeout(self.timeout)
            client.sendall(self.greeting)
            pending = b""
            while True:
                try:
                    data = client.recv(4096)
                except OSError:
                    return
                if not data:
                    return
                self.received += data
                if self.answer is None:
                    continue
                pending += data
                while b"\n" in pending:
                    line, pending = pending.split(b"\n", 1)
                    client.sendall(self.answer(line))

    def close(self):
        self.listener.close()
        self.thread.join(10)
