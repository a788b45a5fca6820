#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (fuzz/corpus/<target>/) from known-good
packets and texts, in the input layouts the targets describe. Run it after changing a
layout; the files it writes are committed."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    folder = os.path.join(here, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def pen_record(pen, button, x, y, spare=b"\0\0\x07"):
    body = bytes([0x03, 0xCE]) + spare + bytes([0x02, pen, button]) + struct.pack(">hh", x, y)
    return body + bytes([sum(body) & 0xFF])


def datagram(payload):
    return bytes([0, len(payload)]) + payload


# Pen-status datagrams: set-up byte, then operations.
good = pen_record(1, 1, 640, 400)
assert good.hex() == "03ce00000702010102800190ef"
put("penstatus", "one-record", bytes([0]) + datagram(good))
put("penstatus", "bad-checksum", bytes([0]) + datagram(good[:-1] + b"\xf0"))
put("penstatus", "two-records", bytes([1]) + datagram(good + pen_record(1, 2, 700, 400)))
put("penstatus", "trailing-piece", bytes([0]) + datagram(good + good[:12]))
put("penstatus", "bad-then-good", bytes([0]) + datagram(b"\0" * 13 + good))
put("penstatus", "position-minus-one", bytes([0]) + datagram(pen_record(1, 1, -1, -1)))
stroke = b"".join(
    datagram(pen_record(1, 1 if i == 0 else 2, 160 + 60 * i, 400)) + bytes([1, 10])
    for i in range(17)) + datagram(pen_record(1, 0, 1120, 400))
put("penstatus", "stroke-touch", bytes([0]) + stroke)
put("penstatus", "stroke-mouse", bytes([0x81]) + stroke)
lost = datagram(pen_record(1, 1, 200, 200)) + datagram(pen_record(2, 1, 900, 600)) + \
    bytes([1, 50]) + datagram(pen_record(2, 2, 910, 600)) + bytes([1, 60, 2])
put("penstatus", "lost-up-two-pens", bytes([0]) + lost)

# Search replies: SeqNo, AppFlag, sender form, sender, targets, datagram.
def reply(cmd, seq=1, name=b"PJ-Demo", hostip=b"10.77.0.2", status=0x10, appflag=0x01000000,
          size=256):
    d = bytearray(size)
    d[0:4] = b"ZRVX"
    d[4] = 0x13
    struct.pack_into("<HH", d, 8, seq, 112)
    struct.pack_into("<II", d, 16, cmd, status)
    d[32:32 + len(hostip)] = hostip
    d[96:96 + len(name)] = name[:size - 96]
    if size >= 148:
        struct.pack_into("<I", d, 144, appflag)
    return bytes(d)


def search(data, seq=1, appflag=0x01000000, sender=(10, 77, 0, 2), targets=((10, 77, 0, 1),),
           mapped=0):
    head = struct.pack("<HI", seq, appflag) + bytes([mapped]) + bytes(sender)
    return head + bytes([len(targets)]) + b"".join(bytes(t) for t in targets) + data


bcast = ((10, 77, 0, 1), (10, 77, 0, 255))
put("searchreply", "broadcast-reply", search(reply(2), targets=bcast))
put("searchreply", "broadcast-reply-mapped", search(reply(2), targets=bcast, mapped=1))
put("searchreply", "unicast-reply", search(reply(3), targets=((10, 77, 0, 1), (10, 77, 0, 2))))
put("searchreply", "unicast-stranger", search(reply(3), sender=(10, 77, 0, 9), targets=bcast))
put("searchreply", "notify", search(reply(8, seq=77), targets=bcast))
put("searchreply", "old-seqno", search(reply(2, seq=1), seq=2, targets=bcast))
put("searchreply", "appflag-mask", search(reply(2, appflag=0x4001), appflag=0x4000, targets=bcast))
put("searchreply", "name-without-nul", search(reply(2, name=b"N" * 160), targets=bcast))
put("searchreply", "shift-jis-name", search(reply(2, name="会議室".encode("shift_jis")), targets=bcast))
put("searchreply", "other-hostip", search(reply(2, hostip=b"10.77.3.5"), targets=bcast))
put("searchreply", "empty-hostip", search(reply(2, hostip=b"", size=150), targets=bcast))
put("searchreply", "seqno-wrap", search(reply(2, seq=0), seq=0, targets=bcast))


# Command replies: command bytes, then reads (2-byte length each).
def reads(*chunks):
    return bytes([0x03, 0xCE]) + b"".join(struct.pack("<H", len(c)) + c for c in chunks)


ok = bytes.fromhex("23CE00000200 00F3".replace(" ", ""))
put("commandreply", "ok", reads(ok))
put("commandreply", "rejected", reads(bytes.fromhex("23CE0000020001F4")))
put("commandreply", "error", reads(bytes.fromhex("A3CE0000020000 73".replace(" ", ""))))
put("commandreply", "bad-checksum", reads(bytes.fromhex("23CE0000020000F4")))
put("commandreply", "other-command-then-ok", reads(bytes.fromhex("22CE000000F0"), ok))
put("commandreply", "split", reads(ok[:3], ok[3:]))
put("commandreply", "dribble", reads(*[ok[i:i + 1] for i in range(len(ok))]))
put("commandreply", "short", reads(bytes.fromhex("23CE000000F1")))
put("commandreply", "two-in-one-read", reads(bytes.fromhex("22CE000000F0") + ok))
put("commandreply", "garbage-read-then-ok", reads(b"\x23\xce\x00\x0f\xff" + b"\x55" * 40, ok))

# Settings: mode byte; validation fields or a file.
def validate(type_, port, ip, host):
    text = (ip + host).encode()
    return bytes([0]) + struct.pack("<iiB", type_, port, len(ip)) + text


put("settings", "address", validate(0, 7142, "10.77.0.2", ""))
put("settings", "host-name", validate(1, 7142, "", "projector.example"))
put("settings", "bad-octet", validate(0, 7142, "10.77.0.256", ""))
put("settings", "empty-part", validate(0, 7142, "10.77..2", ""))
put("settings", "negative-port", validate(0, -1, "10.77.0.2", ""))
put("settings", "long-host-name", validate(1, 65535, "", "h" * 33))
put("settings", "file-good", b"\x01[Settings]\nType=0\nIpAddress=10.77.0.2\nHostName=\n"
    b"Port=7142\nPenMode=1\nAdapter=pc0\n")
put("settings", "file-garbage", b"\x01[Settings\nType=@Variant(\\0\\0\\0\\x7f)\nPort=abc\n\xff\xfe")

# Address fields as the masked line edit holds them.
for name, text in [("full", "10.77.0.2"), ("masked", "10 .77 .0  .2  "),
                   ("blank-mask", "   .   .   .   "), ("broadcast", "255.255.255.255"),
                   ("three-parts", "10.77.1"), ("octet-256", "10.77.0.256"),
                   ("five-parts", "1.2.3.4.5")]:
    put("addressinput", name, text.encode())
