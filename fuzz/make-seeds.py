#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/: well-formed inputs each fuzz
target starts from. Run from the repository's root after a layout changes."""
import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def fields(*values):
    return b"".join(struct.pack("<i", v) for v in values)


def world_setup(name, entries):
    raw = name.encode() + b"\0"
    body = fields(1101, len(raw)) + raw + fields(len(entries))
    for kind, x, y, type_, id_ in entries:
        body += fields(kind, x, y) + (fields(type_) if kind == 0 else b"") + fields(id_)
    return body


MESSAGES = {
    "your_avatar": fields(1100, 500),
    "world_setup": world_setup("Levels/map2.raw", [(0, 3, 2, 1, 100), (1, 1, 5, 0, 500), (1, 2, 5, 0, 501)]),
    "state": fields(1103, 500, 0, 1, 0, 1, 1, 2, 5),
    "remove": fields(1104, 501),
    "respawn": fields(1105, 501, 1, 9),
    "hp": fields(1106, 500, 40),
    "score": fields(1107, 501, 100),
    "taken": fields(1108, 500, 100),
    "spawn": fields(1109, 1, 7, 0, 102),
    "status": fields(1110, 500, 1, 6, 60, 100, 20),
    "add": fields(1111, 502, 2, 6),
    "name": fields(1112, 500, 3) + b"Ann",
    "kill": fields(1113, 501, 500),
    "round_trips": fields(1114, 2, 500, 12, 501, 30),
}


def pieces(*messages, sender=None):
    out = b""
    for message in messages:
        out += (bytes([sender]) if sender is not None else b"") + bytes([len(message)]) + message
    return out


def enet_connect():
    header = struct.pack(">HH", 0x8FFF, 0)
    command = struct.pack(">BBH", 0x82, 0xFF, 1)
    body = struct.pack(">HBBIIIIIIIIII", 0, 0xFF, 0xFF, 1400, 32768, 1, 0, 0, 5000, 2, 2, 0x12345678, 0)
    return header + command + body


def write(target, name, data):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


for name, message in MESSAGES.items():
    write("messages", name, message)
for name, packet in {"hello": b"\x01" + bytes.fromhex("3e49e9edc86a154f8d018b163200b966") + b"test player\0sesame\0",
                     "lan_request": b"QSLAN?\x01" + bytes(57),
                     "lan_reply": b"QSLAN!\x01\x03\x01\x04host\x08map2.raw",
                     "welcome": b"\x02" + fields(3) + b"bogus game\0",
                     "game": b"\x03" + MESSAGES["state"], "heartbeat": b"\x04"}.items():
    write("packets", name, packet)
write("executor", "game", pieces(MESSAGES["your_avatar"], MESSAGES["world_setup"], MESSAGES["state"],
                                  MESSAGES["hp"], MESSAGES["taken"], MESSAGES["spawn"], MESSAGES["status"],
                                  MESSAGES["respawn"], MESSAGES["score"], MESSAGES["add"], MESSAGES["name"], MESSAGES["kill"], MESSAGES["round_trips"], MESSAGES["remove"]))
write("arbiter", "players", pieces(fields(1103, 11, 0, 1, 0, 0, 1, 2, 5), fields(1103, 11, 0, 0, 0, 0, 0, 2, 5),
                                   fields(1104, 12), sender=2) + pieces(fields(1104, 12), fields(2), sender=3)
      + pieces(fields(1), sender=4))
with open(os.path.join(os.path.dirname(ROOT), "..", "Levels", "map2.raw"), "rb") as f:
    write("map", "map2", f.read())
write("map", "short", b"\1" * 100)
write("host", "connect", pieces(enet_connect()))
