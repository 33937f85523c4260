#!/usr/bin/env python3
"""Packs a folder into a release archive that is the same, byte for byte, every
time the same files are packed: entries sorted by name under one top folder
named after the archive, every time stamp set to --epoch, owner and group 0
with no names, modes 0755 for programs and folders and 0644 for the rest.

    release-archives.py --epoch SECONDS FOLDER ARCHIVE(.zip|.tar.gz)
"""

import argparse
import gzip
import io
import os
import stat
import sys
import tarfile
import time
import zipfile


def entries(folder):
    """The files below `folder` as (relative path, full path), sorted; folders are implied."""
    found = []
    for root, _, files in os.walk(folder):
        for name in files:
            full = os.path.join(root, name)
            found.append((os.path.relpath(full, folder).replace(os.sep, "/"), full))
    return sorted(found)


def mode_of(path):
    return 0o755 if os.stat(path).st_mode & stat.S_IXUSR else 0o644


def folders_of(names):
    """Every folder that the names lie in, each once, sorted."""
    folders = set()
    for name in names:
        parts = name.split("/")[:-1]
        for depth in range(1, len(parts) + 1):
            folders.add("/".join(parts[:depth]))
    return sorted(folders)


def write_zip(files, top, epoch, archive):
    stamp = time.gmtime(epoch)[:6]
    with zipfile.ZipFile(archive, "w") as out:
        for name in [top] + [top + "/" + f for f in folders_of(n for n, _ in files)]:
            info = zipfile.ZipInfo(name + "/", stamp)
            info.create_system = 3  # Unix, so the modes below are read
            info.external_attr = (stat.S_IFDIR | 0o755) << 16 | 0x10
            out.writestr(info, b"")
        for name, full in files:
            info = zipfile.ZipInfo(top + "/" + name, stamp)
            info.create_system = 3
            info.external_attr = (stat.S_IFREG | mode_of(full)) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(full, "rb") as source:
                out.writestr(info, source.read(), compresslevel=9)


def tar_entry(name, kind, mode, epoch, size=0):
    info = tarfile.TarInfo(name)
    info.type, info.mode, info.mtime, info.size = kind, mode, epoch, size
    info.uid = info.gid = 0
    info.uname = info.gname = ""
    return info


def write_tar_gz(files, top, epoch, archive):
    packed = io.BytesIO()
    with tarfile.open(fileobj=packed, mode="w", format=tarfile.GNU_FORMAT) as out:
        for name in [top] + [top + "/" + f for f in folders_of(n for n, _ in files)]:
            out.addfile(tar_entry(name, tarfile.DIRTYPE, 0o755, epoch))
        for name, full in files:
            with open(full, "rb") as source:
                data = source.read()
            out.addfile(tar_entry(top + "/" + name, tarfile.REGTYPE, mode_of(full), epoch, len(data)), io.BytesIO(data))
    with open(archive, "wb") as raw, gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=epoch, compresslevel=9) as out:
        out.write(packed.getvalue())


def main():
    parser = argparse.ArgumentParser(description="Packs a folder into a reproducible release archive.")
    parser.add_argument("--epoch", type=int, required=True, help="time stamp of every entry (SOURCE_DATE_EPOCH)")
    parser.add_argument("folder")
    parser.add_argument("archive", help="ending in .zip or .tar.gz")
    args = parser.parse_args()

    files = entries(args.folder)
    if not files:
        sys.exit("release-archives.py: nothing to pack in %s" % args.folder)
    base = os.path.basename(args.archive)
    partial = args.archive + ".part"  # renamed into place once whole
    if base.endswith(".zip"):
        write_zip(files, base[: -len(".zip")], args.epoch, partial)
    elif base.endswith(".tar.gz"):
        write_tar_gz(files, base[: -len(".tar.gz")], args.epoch, partial)
    else:
        sys.exit("release-archives.py: %s is neither .zip nor .tar.gz" % args.archive)
    os.replace(partial, args.archive)


if __name__ == "__main__":
    main()
