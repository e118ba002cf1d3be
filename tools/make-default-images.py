#!/usr/bin/env python3
"""Writes the two configuration images built into the program:

resources/kv16std.syx  the 16-bank model's default dump (1543 bytes)
resources/kv64std.syx  the 64-pot model's dump (2055 bytes), carried along but never loaded

Run from the project's root after changing a rule; the outputs are committed.
"""
from pathlib import Path

root = Path(__file__).resolve().parent.parent


def kv16():
    d = bytearray([0xF0, 0x00, 0x00, 0x7E, 0x42, 0x02])
    for p in range(256):
        if p < 128:  # Controller p on channel 1
            status, byte1 = 0xB0, p
        else:  # Controllers 0..7 on channels 1..16, the channel changing fastest
            k = p - 128
            status, byte1 = 0xB0 + k % 16, k // 16
        d += bytes([status & 0x7F, byte1, 0, 127])
    for b in range(128):
        if b < 64:  # notes 48..55 on channel 1
            status, byte1 = 0x90, 48 + b % 8
        else:  # note 48 on channels 1..8
            status, byte1 = 0x90 + b % 8, 48
        d += bytes([status & 0x7F, byte1, 127, 0])
    d.append(0xF7)
    assert len(d) == 1543
    return bytes(d)


def kv64():
    groups = [(91, "bReverb"), (93, "bChorus"), (74, "cCutOff"), (7, "bVolume")]
    d = bytearray([0xF0, 0x00, 0x00, 0x7E, 0x43, 0x02])
    for p in range(64):  # each controller on channels 1..16
        cc, _ = groups[p // 16]
        d += bytes([(0xB0 + p % 16) & 0x7F, cc, 0, 127])
    for b in range(64):  # notes 48..55 on channels 1..8, "ON/OFF"
        d += bytes([(0x90 + b // 8) & 0x7F, 48 + b % 8, 127, 0])
    # Settings block, 512 bytes of 7-bit data: format version 1, global channel 1,
    # LCD contrast 64, backlight on, the rest reserved as zero.
    settings = bytearray(512)
    settings[0:4] = bytes([1, 0, 64, 127])
    d += settings
    for p in range(64):
        _, name = groups[p // 16]
        d += f"{name} # {p % 16 + 1}".ljust(16).encode("ascii")
    d.append(0xF7)
    assert len(d) == 2055
    return bytes(d)


(root / "resources" / "kv16std.syx").write_bytes(kv16())
(root / "resources" / "kv64std.syx").write_bytes(kv64())
