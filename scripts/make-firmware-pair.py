#!/usr/bin/env python3
"""Writes a small device-file list and firmware database to serve to the
firmware tab, the pair the tests build (tests/support/firmwaredb.h):

    FOLDER/devfile/devFileList.csv   the list, for product key P_FLY-ESC
    FOLDER/db/fw.db                  the database it links

The database holds two tables: P_FLY_ESC_A, which esc-sim's default device
name (P_FLY-ESC_A) selects, with the installable versions 2.3.0, 2.4.0 and
2.5.0 (both parts each) and 9.9.9, which is not offered; and P_FLY_MOTOR_B
with 1.0.0. Serve the folder where the page's [firmware] url points (by
default http://localhost:8080/devfile/devFileList.csv):

    scripts/make-firmware-pair.py /tmp/fw-served
    python3 -m http.server 8080 --bind 127.0.0.1 --directory /tmp/fw-served

--url names the server the list's links lead to (default
http://localhost:8080), --name the database file (default fw.db).
"""

import argparse
import pathlib
import sqlite3
import sys

PRODUCT_KEY = "P_FLY-ESC"
INSTALLABLE = "M1:[可升级]"
COLUMNS = ("SF-VERSION", "STATUS", "NOTE", "ROM1-FILE", "ROM1-SUM", "ROM2-FILE", "ROM2-SUM")


def image(version, part, size):
    """Deterministic image bytes of one part of one version."""
    state = 2166136261 ^ part
    for byte in version.encode():
        state = ((state ^ byte) * 16777619) & 0xFFFFFFFF
    out = bytearray(size)
    for i in range(size):
        state = (state * 1103515245 + 12345) & 0xFFFFFFFF
        out[i] = (state >> 16) & 0xFF
    return bytes(out)


def unique_data(version, part):
    """The 8 bytes of unique data a node expects with each part."""
    return b"UD" + str(part).encode() + version.encode()[:5].ljust(5, b".")


def row(version, note, part1, part2, status=INSTALLABLE):
    return (version, status, note, image(version, 1, part1), unique_data(version, 1),
            image(version, 2, part2), unique_data(version, 2))


TABLES = {
    "P_FLY_MOTOR_B": [row("1.0.0", b"motor", 512, 512)],
    "P_FLY_ESC_A": [
        row("2.3.0", b"first release", 700, 300),
        row("2.4.0", b"fixes", 1000, 520),
        row("2.5.0", b"newest: faster start", 1300, 600),
        row("9.9.9", b"not released", 256, 256, status="M0:[测试]"),
    ],
}


def write_db(path):
    path.unlink(missing_ok=True)
    with sqlite3.connect(path) as db:
        for table, rows in TABLES.items():
            db.execute(f'CREATE TABLE "{table}" ([ID] INTEGER PRIMARY KEY AUTOINCREMENT, [SF-VERSION] TEXT, '
                       "[STATUS] TEXT, [NOTE] BLOB, [ROM1-FILE] BLOB, [ROM1-SUM] BLOB, [ROM2-FILE] BLOB, "
                       "[ROM2-SUM] BLOB)")
            names = ",".join(f"[{c}]" for c in COLUMNS)
            db.executemany(f'INSERT INTO "{table}" ({names}) VALUES (?,?,?,?,?,?,?)', rows)
    db.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", type=pathlib.Path)
    parser.add_argument("--url", default="http://localhost:8080")
    parser.add_argument("--name", default="fw.db")
    args = parser.parse_args()
    if "/" in args.name or not args.name.endswith(".db"):
        sys.exit("--name must be a bare file name ending in .db")
    (args.folder / "devfile").mkdir(parents=True, exist_ok=True)
    (args.folder / "db").mkdir(parents=True, exist_ok=True)
    write_db(args.folder / "db" / args.name)
    link = f"{args.url.rstrip('/')}/db/{args.name}"
    (args.folder / "devfile" / "devFileList.csv").write_text(
        "ITEM,TEST_FILE,LINK_TEST_FILE,RELEASE_FILE,LINK_RELEASE_FILE\n"
        f"{PRODUCT_KEY},{args.name},{link},{args.name},{link}\n", encoding="utf-8")
    print(f"wrote {args.folder}/devfile/devFileList.csv and {args.folder}/db/{args.name}")


if __name__ == "__main__":
    main()
