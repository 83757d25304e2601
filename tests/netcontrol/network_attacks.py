"""Clients that try to hold a listener's places, for the guard tests and
bench/slow_clients_bench.py: from addresses of 127.0.0.0/8 standing in
for other hosts, on loopback only, each in a thread of its own until
stopped."""
import socket
import threading
import time


class Holders:
    """From each address, `share` connections that each send `opening`
    once and then stay silent, opened again as soon as they are closed
    (at most `rate` connections a second from each address)."""

    def __init__(self, port, sources, share, opening, rate=3.0):
        self.port, self.share, self.opening, self.rate = port, share, opening, rate
        self.stopping = threading.Event()
        self.opened = 0
        self.threads = [threading.Thread(target=self.hold, args=(source,), daemon=True)
                        for source in sources]
        for thread in self.threads:
            thread.start()

    def hold(self, source):
        held = []
        while not self.stopping.is_set():
            for connection in list(held):
                try:
                    connection.setblocking(False)
                    if connection.recv(65536) == b"":
                        raise OSError("closed")
                except BlockingIOError:
                    pass
                except OSError:
                    connection.close()
                    held.remove(connection)
            if len(held) < self.share:
                try:
                    connection = socket.create_connection(("127.0.0.1", self.port), timeout=2,
                                                          source_address=(source, 0))
                    connection.sendall(self.opening)
                    held.append(connection)
                    self.opened += 1
                except OSError:
                    pass
                time.sleep(1.0 / self.rate)
            else:
                time.sleep(0.05)
        for connection in held:
            connection.close()

    def stop(self):
        self.stopping.set()
        for thread in self.threads:
            thread.join()


class SlowReaders:
    """From each address, `share` connections with the smallest receive
    buffer that pipeline `requests` requests and read nothing, opened again
    as they are closed."""

    def __init__(self, port, sources, share, request, requests=6000):
        self.port, self.share = port, share
        self.pipeline = request * requests
        self.stopping = threading.Event()
        self.threads = [threading.Thread(target=self.hold, args=(source,), daemon=True)
                        for source in sources]
        for thread in self.threads:
            thread.start()

    def hold(self, source):
        held = {}  # connection: the bytes of the pipeline it has not sent yet
        while not self.stopping.is_set():
            while len(held) < self.share and not self.stopping.is_set():
                try:
                    connection = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
                    connection.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1)
                    connection.bind((source, 0))
                    connection.settimeout(2)
                    connection.connect(("127.0.0.1", self.port))
                    connection.setblocking(False)
                    held[connection] = self.pipeline
                except OSError:
                    connection.close()
                    break
            for connection, rest in list(held.items()):
                try:
                    if rest:
                        held[connection] = rest[connection.send(rest[:65536]):]
                    # Closed by the other side: a peek tells (a reset, or
                    # the end when nothing is left unread).
                    if connection.recv(1, socket.MSG_PEEK) == b"":
                        raise OSError("closed")
                except BlockingIOError:
                    pass
                except OSError:
                    connection.close()
                    del held[connection]
            time.sleep(0.05)
        for connection in held:
            connection.close()

    def stop(self):
        self.stopping.set()
        for thread in self.threads:
            thread.join()


def ask(port, request, complete, source="127.0.0.1", timeout=10.0):
    """Seconds from connecting to the whole answer, or None."""
    started = time.monotonic()
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=timeout,
                                      source_address=(source, 0)) as connection:
            connection.sendall(request)
            answer = b""
            while not complete(answer):
                chunk = connection.recv(65536)
                if not chunk:
                    return None
                answer += chunk
    except OSError:
        return None
    return time.monotonic() - started
