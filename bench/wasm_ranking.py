#!/usr/bin/env python3
"""Ranks what takes the bytes of a qelo.wasm linked with its function names kept (emscripten's --profiling-funcs)
and, when given, wasm-ld's link map: the sections, the code by library (raw and with brotli) and by function, and the
data segments. Usage: wasm_ranking.py QELO_WASM [LINK_MAP] [TOP]"""
import collections, re, subprocess, sys  # noqa: E401


def leb(data, at):
    value = shift = 0
    while True:
        byte = data[at]
        at += 1
        value |= (byte & 0x7F) << shift
        shift += 7
        if byte < 0x80:
            return value, at


def sections(data):
    at = 8
    while at < len(data):
        kind = data[at]
        size, at = leb(data, at + 1)
        yield kind, data[at:at + size]
        at += size


def name_of(payload, at=0):
    length, at = leb(payload, at)
    return payload[at:at + length].decode(errors="replace"), at + length


def brotli(data):
    return len(subprocess.run(["brotli", "-q", "11", "-c"], input=data, stdout=subprocess.PIPE, check=True).stdout)


def main():
    data = open(sys.argv[1], "rb").read()
    top = int(sys.argv[3]) if len(sys.argv) > 3 else 25
    imported, bodies, names, segments, totals, data_bytes = 0, [], {}, [], collections.Counter(), b""
    for kind, payload in sections(data):
        label = {1: "type", 2: "import", 3: "function", 5: "memory", 6: "global", 7: "export", 10: "code",
                 11: "data", 12: "datacount"}.get(kind, f"section {kind}")
        if kind == 0:
            label, at = name_of(payload)
            label = "custom " + label
            if label == "custom name":
                while at < len(payload):
                    sub, (size, start) = payload[at], leb(payload, at + 1)
                    if sub == 1:
                        count, p = leb(payload, start)
                        for _ in range(count):
                            index, p = leb(payload, p)
                            names[index], p = name_of(payload, p)
                    at = start + size
        elif kind == 2:
            count, at = leb(payload, 0)
            for _ in range(count):
                at = name_of(payload, name_of(payload, at)[1])[1]
                what = payload[at]
                at += 1
                if what == 0:
                    imported += 1
                    _, at = leb(payload, at)
                elif what == 1:
                    flags, at = leb(payload, at + 1)
                    _, at = leb(payload, at)
                    at = leb(payload, at)[1] if flags & 1 else at
                elif what == 2:
                    flags, at = leb(payload, at)
                    _, at = leb(payload, at)
                    at = leb(payload, at)[1] if flags & 1 else at
                else:
                    at += 2
        elif kind == 10:
            count, at = leb(payload, 0)
            for index in range(count):
                size, start = leb(payload, at)
                bodies.append((imported + index, payload[start:start + size]))
                at = start + size
        elif kind == 11:
            data_bytes, (count, at) = payload, leb(payload, 0)
            for _ in range(count):
                mode, at = leb(payload, at)
                if mode in (0, 2):
                    if mode == 2:
                        _, at = leb(payload, at)
                    while payload[at] != 0x0B:
                        at += 1
                    at += 1
                size, at = leb(payload, at)
                segments.append(size)
                at += size
        totals[label] += len(payload)
    print(f"{sys.argv[1]}: {len(data)} bytes, {brotli(data)} with brotli")
    for label, size in totals.most_common():
        print(f"  {size:9d}  {label}")

    library_of, data_of = {}, []
    if len(sys.argv) > 2:
        # wasm-ld's map names, for each function it kept, the object it came from on one line and the function's
        # demangled name, as the name section has it, on the next.
        source, part = None, None
        for line in open(sys.argv[2], errors="replace"):
            fields = line.split(None, 3)
            if len(fields) == 4 and fields[0] == "-" and fields[3].strip().isupper():
                part = fields[3].strip()  # the output section the lines below are in: CODE, DATA, ...
                continue
            member = len(fields) == 4 and re.match(r"(\S+?\.o\)?|<internal>):\((.*)\)\s*$", fields[3])
            if part == "DATA" and member:
                data_of.append((int(fields[2], 16), member.group(1).rsplit("/", 1)[-1], member.group(2)))
            if len(fields) < 4 or fields[0] != "-":
                continue
            if member:
                archive = re.search(r"([^/]+)\.a\(", member.group(1))
                source = (re.sub(r"^lib", "", archive.group(1)) if archive else
                          "game" if member.group(1).startswith("src/") else
                          "Qt plug-ins" if "/plugins/" in member.group(1) else "other")
            elif source:
                library_of.setdefault(fields[3].strip(), source)
                source = None
    by_library = collections.defaultdict(list)
    for index, body in bodies:
        by_library[library_of.get(names.get(index, ""), "other")].append(body)
    print("Code by library: raw, brotli")
    for library, parts in sorted(by_library.items(), key=lambda item: -sum(map(len, item[1]))):
        print(f"  {sum(map(len, parts)):9d} {brotli(b''.join(parts)):8d}  {library}")
    print(f"The {top} largest functions")
    for index, body in sorted(bodies, key=lambda item: -len(item[1]))[:top]:
        name = names.get(index, f"#{index}")
        print(f"  {len(body):9d}  {library_of.get(name, 'other'):14s} {name[:110]}")
    for size, where, name in sorted(data_of, reverse=True)[:top // 2]:
        print(f"  {size:9d}  data {where[:40]:40s} {name[:60]}")
    print(f"Data: {len(segments)} segments, {sum(segments)} bytes, {brotli(data_bytes)} with brotli; the largest: "
          f"{sorted(segments)[-5:][::-1]}")


main()
