"""Compiles the configured Windows resource script with MinGW's windres and checks the version record (numbers,
"1.00" texts, product name qelo) and the icon Explorer shows."""

import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile

RT_ICON, RT_GROUP_ICON, RT_VERSION = 3, 14, 16


def check(condition, message):
    if not condition:
        sys.exit(f"FAIL: {message}")


def read_id(data, offset):
    """A resource type or name: an ordinal (0xFFFF, number) or a NUL-terminated UTF-16 string."""
    if data[offset:offset + 2] == b"\xff\xff":
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    end = offset
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def resources(data):
    """The entries of a compiled .res file as (type, body)."""
    entries, offset = [], 0
    while offset < len(data):
        data_size, header_size = struct.unpack_from("<II", data, offset)
        kind, _ = read_id(data, offset + 8)
        body = offset + header_size
        entries.append((kind, data[body:body + data_size]))
        offset = (body + data_size + 3) & ~3
    return entries


def main():
    rc_file, project_version = sys.argv[1], sys.argv[2]
    major, minor, patch = (int(part) for part in project_version.split("."))
    text = f"{major}.{minor:02d}"
    windres = shutil.which("x86_64-w64-mingw32-windres")
    check(windres, "x86_64-w64-mingw32-windres is missing (binutils-mingw-w64-x86-64)")
    with tempfile.TemporaryDirectory() as work:
        res_file = pathlib.Path(work) / "qelo.res"
        # The host's C preprocessor stands in for the MinGW compiler, which the set-up does not install.
        subprocess.run([windres, "--preprocessor=cpp", "--input-format=rc", "--output-format=res",
                        "--input", rc_file, "--output", str(res_file)], check=True)
        entries = resources(res_file.read_bytes())
    versions, groups, icons = ([body for kind, body in entries if kind == wanted]
                               for wanted in (RT_VERSION, RT_GROUP_ICON, RT_ICON))
    check(len(versions) == 1 and len(groups) == 1, f"{len(versions)} version records, {len(groups)} icon groups")

    record = versions[0]
    fixed = record.find(struct.pack("<I", 0xFEEF04BD))
    check(fixed > 0, "the version record has no fixed file information")
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<4I", record, fixed + 8)
    numbers = (file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16, file_ls & 0xFFFF)
    check(numbers == (major, minor, patch, 0), f"file version is {numbers}, expected {(major, minor, patch, 0)}")
    check((product_ms, product_ls) == (file_ms, file_ls), "product version differs from the file version")
    # Each text value follows its key (type 1, UTF-16), a NUL and padding to four bytes.
    strings = record.decode("utf-16-le", errors="replace")
    for key, wanted in {"ProductName": "qelo", "FileVersion": text, "ProductVersion": text,
                        "OriginalFilename": "qelo.exe"}.items():
        found = re.search(f"\x01{key}\0+([^\0]*)\0", strings)
        check(found and found[1] == wanted, f"{key} is {found and found[1]!r}, expected {wanted!r}")

    _reserved, group_type, count = struct.unpack_from("<HHH", groups[0])
    check(group_type == 1 and count == len(icons) > 0, f"icon group lists {count} images, the script has {len(icons)}")
    widths = sorted(groups[0][6 + 14 * i] or 256 for i in range(count))
    check(16 in widths and 256 in widths, f"icon sizes {widths} lack 16 or 256 pixels")
    print(f"windows_resources: version {numbers} \"{text}\", {count} icon images {widths}")


if __name__ == "__main__":
    main()
