#!/usr/bin/python3
"""A TCP relay for the FTP and SFTP tests that cuts connections on purpose.

It listens on a loopback address of its own (127.0.0.2 by default) on the
FTP server's control port and on every port of the server's passive range,
and relays each connection to the same port of the server's address
(127.0.0.1). The client connects its passive data connections to the control
connection's peer with the port of the PASV/EPSV reply, so they come here too;
nothing on the control channel is rewritten, which is why TLS works as well.

After every --cut-every bytes relayed on data connections (both directions,
counted over all of them) it resets the data connection on both sides, and
with --cut-control the control connections as well.

While it runs, "set stall 1" on stdin holds every byte until "set stall 0",
and "set cut N" cuts every connection, control ones too, after each N bytes
relayed from then on (0: never); each is echoed once it holds.

Handshake on stdin/stdout, so that no port is chosen, closed and taken again:
  1. it binds a free block of 16 consecutive ports on its address and
     prints "data LOW HIGH" (the server is then started with that passive range);
  2. it reads "control PORT" (the port the server bound) from stdin, listens on
     it and prints "control PORT". It ends when stdin closes.
"""

import argparse
import random
import socket
import struct
import sys
import threading
import time

BLOCK = 256 * 1024


class Relay:
    def __init__(self, args):
        self.args = args
        self.lock = threading.Lock()
        self.since_cut = 0
        self.controls = set()
        self.stalled = False
        self.cut_all = False

    def set(self, name, value):
        with self.lock:
            if name == 'stall':
                self.stalled = value != 0
            else:
                self.args.cut_every = value
                self.cut_all = value > 0
                self.since_cut = 0

    def cut(self, pair):
        # An abortive close (RST) on both sides, as a dropped link shows.
        # Shutting the reading side wakes the relay's other thread, blocked in
        # recv, without sending anything.
        for sock in pair:
            try:
                sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack('ii', 1, 0))
                sock.shutdown(socket.SHUT_RD)
            except OSError:
                pass
            sock.close()

    def take(self, size):
        """How many of size data bytes go through before the next cut; whether to cut after them."""
        every = self.args.cut_every
        with self.lock:
            if every <= 0:
                return size, False
            left = every - self.since_cut
            if size < left:
                self.since_cut += size
                return size, False
            self.since_cut = 0
            return left, True

    def pump(self, source, sink, pair, data):
        try:
            while True:
                block = source.recv(BLOCK)
                while self.stalled:
                    time.sleep(0.05)
                if not block:
                    sink.shutdown(socket.SHUT_WR)
                    return
                if not (data or self.cut_all):
                    sink.sendall(block)
                    continue
                count, cut = self.take(len(block))
                sink.sendall(block[:count])
                if cut:
                    self.cut_now(pair)
                    return
        except OSError:
            self.cut(pair)

    def cut_now(self, pair):
        # The control connections go first, so that no closing reply about
        # the cut data gets through and the client sees one break, not two.
        if self.args.cut_control:
            with self.lock:
                controls = list(self.controls)
                self.controls.clear()
            for control in controls:
                self.cut(control)
        self.cut(pair)

    def serve(self, listener, port, data):
        while True:
            try:
                client, _ = listener.accept()
            except OSError:
                return
            server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            try:
                server.connect(('127.0.0.1', port))
            except OSError:
                client.close()
                server.close()
                continue
            pair = (client, server)
            if not data:
                with self.lock:
                    self.controls.add(pair)
            for source, sink in ((client, server), (server, client)):
                threading.Thread(target=self.pump, args=(source, sink, pair, data), daemon=True).start()


def listen(address, port):
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.bind((address, port))
    sock.listen(16)
    return sock


def bind_data_ports(address, count):
    # Below the system's ephemeral range, so that the server's own passive
    # ports on its address are rarely taken by outgoing connections.
    for _ in range(200):
        low = random.randrange(20000, 32000 - count)
        sockets = []
        try:
            for port in range(low, low + count):
                sockets.append(listen(address, port))
            return low, sockets
        except OSError:
            for sock in sockets:
                sock.close()
    raise SystemExit('no free block of %d ports on %s' % (count, address))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--listen', default='127.0.0.2')
    parser.add_argument('--cut-every', type=int, default=0, help='bytes of data between two cuts; 0: never')
    parser.add_argument('--cut-control', action='store_true')
    args = parser.parse_args()
    relay = Relay(args)
    low, data_listeners = bind_data_ports(args.listen, 16)
    for offset, listener in enumerate(data_listeners):
        threading.Thread(target=relay.serve, args=(listener, low + offset, True), daemon=True).start()
    print('data %d %d' % (low, low + len(data_listeners) - 1), flush=True)
    for line in sys.stdin:
        words = line.split()
        if len(words) == 2 and words[0] == 'control':
            port = int(words[1])
            listener = listen(args.listen, port)
            threading.Thread(target=relay.serve, args=(listener, port, False), daemon=True).start()
            print('control %d' % port, flush=True)
        elif len(words) == 3 and words[0] == 'set' and words[1] in ('stall', 'cut'):
            relay.set(words[1], int(words[2]))
            print(' '.join(words), flush=True)


if __name__ == '__main__':
    main()
