#!/usr/bin/python3
# A scripted SFTP server (version 3) for the SFTP client's tests, run by sshd
# as its sftp subsystem on stdin and stdout. A folder's listing has no end.
# Everything else but what a logon and a listing need is refused as
# unsupported.
import struct
import sys

INIT, VERSION, OPEN, CLOSE, OPENDIR, READDIR, REALPATH = 1, 2, 3, 4, 11, 12, 16
STATUS, HANDLE, NAME = 101, 102, 104
ATTRS = struct.pack(">IQIII", 0x1 | 0x4 | 0x8, 123, 0o100644, 1700000000, 1700000000)

stdin, stdout = sys.stdin.buffer, sys.stdout.buffer
counter = 0


def text(value):
    return struct.pack(">I", len(value)) + value


def send(kind, payload):
    stdout.write(struct.pack(">IB", len(payload) + 1, kind) + payload)
    stdout.flush()


def read_exactly(size):
    data = stdin.read(size)
    if len(data) < size:
        sys.exit(0)
    return data


while True:
    length, kind = struct.unpack(">IB", read_exactly(5))
    body = read_exactly(length - 1)
    if kind == INIT:
        send(VERSION, struct.pack(">I", 3))
        continue
    request = body[:4]
    if kind == REALPATH:
        send(NAME, request + struct.pack(">I", 1) + text(b"/") + text(b"/") + struct.pack(">I", 0))
    elif kind == OPENDIR:
        send(HANDLE, request + text(b"folder"))
    elif kind == READDIR:
        names = b""
        for _ in range(100):
            counter += 1
            name = b"entry-%09d" % counter
            names += text(name) + text(name) + ATTRS
        send(NAME, request + struct.pack(">I", 100) + names)
    else:
        ok = kind == CLOSE
        send(STATUS, request + struct.pack(">I", 0 if ok else 8) + text(b"") + text(b""))
