#!/usr/bin/env python3
"""cvkeys-cli.exe under Wine stores its profiles in the registry with the
profile store's value names, types and sizes, as `reg query` shows them.

Runs in the build tree's own Wine prefix (WINEPREFIX from the test's
environment), never the user's."""

import argparse
import os
import re
import subprocess
import sys

KEY = r"HKCU\software\Lumrick\cvkeys"

# (key below KEY, value name, registry type, size in bytes or None for text)
EXPECTED = [
    ("", "Langauge", "REG_SZ", None),
    ("Profile", "NumberOfProfiles", "REG_DWORD", 4),
    ("Profile", "NumberOfProfiles.F", "REG_DWORD", 4),
    ("Profile00", "Name", "REG_SZ", None),
    ("Profile00", "Name.F", "REG_SZ", None),
    ("Profile00", "Data", "REG_BINARY", 64),
    ("Profile00", "Data.F", "REG_BINARY", 128),
    ("Profile00", "Signature", "REG_BINARY", 512),
    ("Profile00", "SignatureText", "REG_BINARY", 1024),
    ("Profile01", "Name", "REG_SZ", None),
    ("Profile01", "Data", "REG_BINARY", 64),
]


def wine(args, wine_cmd):
    return subprocess.run([wine_cmd] + args, capture_output=True, text=True, timeout=240)


def query(wine_cmd):
    """{(subkey, name): (type, data)} of everything under KEY."""
    result = wine(["reg", "query", KEY, "/s"], wine_cmd)
    if result.returncode != 0:
        sys.exit(f"reg query {KEY} failed: {result.stderr.strip()}")
    values, subkey = {}, None
    prefix = "HKEY_CURRENT_USER" + KEY[len("HKCU"):]
    for line in result.stdout.splitlines():
        line = line.rstrip("\r")
        if line.startswith("HKEY_"):
            subkey = line[len(prefix):].lstrip("\\") if line.startswith(prefix) else None
            continue
        m = re.match(r"^\s{4}(\S+)\s{4}(REG_\w+)\s{4}?(.*)$", line)
        if m and subkey is not None:
            values[(subkey, m.group(1))] = (m.group(2), m.group(3))
    return values


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--wine", required=True)
    args = parser.parse_args()
    if not os.environ.get("WINEPREFIX"):
        sys.exit("WINEPREFIX is not set: refusing to touch the user's own Wine prefix")

    wine(["reg", "delete", KEY, "/f"], args.wine)
    run = wine([args.cli, "--simulate", "dorrin", "apply", "show store"], args.wine)
    if run.returncode != 0 or "apply: written and verified" not in run.stdout:
        sys.exit(f"cvkeys-cli failed ({run.returncode}):\n{run.stdout}\n{run.stderr}")

    values = query(args.wine)
    failures = []
    for subkey, name, kind, size in EXPECTED:
        got = values.get((subkey, name))
        if got is None:
            failures.append(f"{subkey}\\{name}: missing")
            continue
        got_kind, data = got
        if got_kind != kind:
            failures.append(f"{subkey}\\{name}: {got_kind}, not {kind}")
        elif kind == "REG_BINARY" and len(data) // 2 != size:
            failures.append(f"{subkey}\\{name}: {len(data) // 2} bytes, not {size}")
        elif kind == "REG_DWORD" and not re.fullmatch(r"0x[0-9a-fA-F]{1,8}", data):
            failures.append(f"{subkey}\\{name}: {data!r} is no DWORD")
    # What the tool listed is what the registry holds.
    for subkey, name, kind, _ in EXPECTED:
        section = "[" + subkey + "]"
        if f"{section} {name} " not in run.stdout:
            failures.append(f"'show store' does not list {section} {name}")
    if failures:
        sys.exit("\n".join(failures))
    print(f"{len(EXPECTED)} values as the profile store lays them out")


if __name__ == "__main__":
    main()
