"""Checks that the Windows resource script compiles and carries the version record and the icon Explorer shows."""

import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile

RT_ICON = 3
RT_GROUP_ICON = 14
RT_VERSION = 16
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def align4(offset):
    return (offset + 3) & ~3


def read_id(data, offset):
    """A resource type or name: an ordinal (0xFFFF, number) or a NUL-terminated UTF-16 string."""
    (first,) = struct.unpack_from("<H", data, offset)
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    end = offset
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def resources(data):
    """The entries of a compiled .res file as (type, name, language, bytes)."""
    entries = []
    offset = 0
    while offset < len(data):
        data_size, header_size = struct.unpack_from("<II", data, offset)
        kind, after = read_id(data, offset + 8)
        name, after = read_id(data, after)
        after = align4(after)
        _data_version, _flags, language = struct.unpack_from("<IHH", data, after)
        body = offset + header_size
        entries.append((kind, name, language, data[body:body + data_size]))
        offset = align4(body + data_size)
    return entries


def version_block(data, offset):
    """One block of a version resource: its key, its value and its children."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    key_start = offset + 6
    key_end = key_start
    while struct.unpack_from("<H", data, key_end)[0] != 0:
        key_end += 2
    key = data[key_start:key_end].decode("utf-16-le")
    value_start = align4(key_end + 2)
    if value_type == 1:  # text, its length counted in UTF-16 units including the NUL
        value = data[value_start:value_start + 2 * value_length].decode("utf-16-le").rstrip("\0")
        value_end = value_start + 2 * value_length
    else:
        value = data[value_start:value_start + value_length]
        value_end = value_start + value_length
    children = []
    child = align4(value_end)
    while child < end:
        block = version_block(data, child)
        children.append(block)
        child = align4(child + struct.unpack_from("<H", data, child)[0])
    return key, value, children


def main():
    rc_file, project_version = sys.argv[1], sys.argv[2]
    major, minor, patch = (int(part) for part in project_version.split("."))
    expected_text = f"{major}.{minor:02d}"

    windres = shutil.which("x86_64-w64-mingw32-windres")
    if windres is None:
        fail("x86_64-w64-mingw32-windres is missing (binutils-mingw-w64-x86-64)")
    with tempfile.TemporaryDirectory() as work:
        res_file = pathlib.Path(work) / "qelo.res"
        # The host's C preprocessor stands in for the MinGW compiler, which the set-up does not install.
        subprocess.run([windres, "--preprocessor=cpp", "--input-format=rc", "--output-format=res",
                        "--input", rc_file, "--output", str(res_file)], check=True)
        entries = resources(res_file.read_bytes())

    versions = [body for kind, _name, _lang, body in entries if kind == RT_VERSION]
    if len(versions) != 1:
        fail(f"expected one version record, found {len(versions)}")
    key, fixed, children = version_block(versions[0], 0)
    if key != "VS_VERSION_INFO":
        fail(f"version record is named {key!r}")
    signature, _struct_version, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != FIXED_FILE_INFO_SIGNATURE:
        fail("the fixed file information is missing")
    numbers = (file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16, file_ls & 0xFFFF)
    if numbers != (major, minor, patch, 0):
        fail(f"file version is {numbers}, expected {(major, minor, patch, 0)}")
    if (product_ms, product_ls) != (file_ms, file_ls):
        fail("product version differs from the file version")

    strings = {}
    for child_key, _value, tables in children:
        if child_key == "StringFileInfo":
            for _table_key, _table_value, values in tables:
                strings.update({name: text for name, text, _ in values})
    wanted = {"ProductName": "qelo", "FileVersion": expected_text, "ProductVersion": expected_text,
              "OriginalFilename": "qelo.exe"}
    for name, text in wanted.items():
        if strings.get(name) != text:
            fail(f"{name} is {strings.get(name)!r}, expected {text!r}")

    groups = [body for kind, _name, _lang, body in entries if kind == RT_GROUP_ICON]
    icons = [body for kind, _name, _lang, body in entries if kind == RT_ICON]
    if len(groups) != 1:
        fail(f"expected one icon group, found {len(groups)}")
    _reserved, group_type, count = struct.unpack_from("<HHH", groups[0])
    if group_type != 1 or count != len(icons) or count == 0:
        fail(f"icon group lists {count} images, the script holds {len(icons)}")
    widths = sorted(groups[0][6 + 14 * i] or 256 for i in range(count))
    if 256 not in widths or 16 not in widths:
        fail(f"icon sizes {widths} lack 16 or 256 pixels")

    print(f"windows_resources: version {numbers} \"{expected_text}\", {count} icon images {widths}")


if __name__ == "__main__":
    main()
