"""Checks that the built qelo.wasm declares the memory bounds a phone grants a page: 32 MiB to start, 256 MiB at most,
rather than Qt's 50 MB and 4 GB. Usage: module_memory.py QELO_WASM"""
import sys


def leb(data, at):
    value = shift = 0
    while True:
        value, shift, at = value | (data[at] & 0x7F) << shift, shift + 7, at + 1
        if data[at - 1] < 0x80:
            return value, at


data, at, limits = open(sys.argv[1], "rb").read(), 8, None
while at < len(data):
    kind, (size, at) = data[at], leb(data, at + 1)
    if kind == 5:  # the memory section: one memory, its flags, then its initial and maximum size in 64 KiB pages
        flags, pos = leb(data, leb(data, at)[1])
        initial, pos = leb(data, pos)
        limits = (initial, leb(data, pos)[0] if flags & 1 else None)
    at += size
MiB = 1 << 20
if limits != (32 * MiB >> 16, 256 * MiB >> 16):
    raise SystemExit(f"{sys.argv[1]}: memory of {limits} pages of 64 KiB, not 512 growing to at most 4096")
print(f"qelo.wasm's memory: {limits[0] * 64 // 1024} MiB at start, at most {limits[1] * 64 // 1024} MiB")
