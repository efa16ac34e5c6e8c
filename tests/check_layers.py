#!/usr/bin/env python3
"""Checks that the folders under src/ (and sim/) use only the layers below them.

    check_layers.py [--root DIR] [--links LAYER:TARGET:ITEM,ITEM,...]...
    check_layers.py --self-test

Every '#include "folder/..."' in a .h or .cpp file is mapped to the layer of
that folder; an include of a layer that the file's own layer may not use is
printed as 'file:line: include' with the rule it breaks. With --links (one
per CMake library: its layer, its name and its direct link items, as
tests/CMakeLists.txt passes them) each library must also link exactly the
layers its folder includes: no forbidden layer, none it does not include and
every allowed one it does. Exit status 1 when anything breaks a rule.
"""

import argparse
import os
import re
import sys
import tempfile

# The layers, lowest first, each with the layers it may include besides its
# own folder. This list is the one place the order is written down:
#   platform <- texts <- config <- device <- profiles, keys <- app <- ui, cli
# and the firmware update (service), on the ports alone, under ui and cli.
# profiles and keys are siblings and do not include each other, nor do the
# two front ends ui and cli. The backends under platform/ and the simulated
# devices in sim/ sit on the ports; only the front ends pick them.
LAYERS = [
    ("platform", []),
    ("texts", ["platform"]),
    ("config", ["platform", "texts"]),
    ("device", ["platform", "texts", "config"]),
    ("profiles", ["platform", "texts", "config", "device"]),
    ("keys", ["platform", "texts", "config", "device"]),
    ("app", ["platform", "texts", "config", "device", "profiles", "keys"]),
    ("service", ["platform"]),
    ("platform/linux", ["platform"]),
    ("platform/qt", ["platform"]),
    ("platform/windows", ["platform"]),
    ("sim", ["platform", "config"]),
    ("cli", ["platform", "texts", "config", "device", "profiles", "keys", "app", "service",
             "platform/linux", "platform/qt", "platform/windows", "sim"]),
    ("ui", ["platform", "texts", "config", "device", "profiles", "keys", "app", "service",
            "platform/linux", "platform/qt", "sim"]),
]

ALLOWED = {}
for _layer, _below in LAYERS:
    # Only layers listed earlier may be used, so the table cannot hold a cycle.
    for _other in _below:
        if _other not in ALLOWED:
            raise SystemExit(f"check_layers.py: {_layer} uses {_other}, which is not listed before it")
    ALLOWED[_layer] = frozenset(_below)

SOURCE_DIRS = ["src", "sim"]
SUFFIXES = (".h", ".cpp")
INCLUDE = re.compile(r'^\s*#\s*include\s*(?:"([^"]+)"|<([^>]+)>)')


def layer_of(parts):
    """The layer of a path given as folder names ('platform', 'linux', 'x.h'):
    the longest leading run of folders that names a layer, or None."""
    for n in range(len(parts) - 1, 0, -1):
        name = "/".join(parts[:n])
        if name in ALLOWED:
            return name
    return None


def layer_of_file(rel):
    """The layer of a file given relative to the root: src/FOLDER/... or sim/..."""
    parts = rel.replace(os.sep, "/").split("/")
    if parts[0] == "sim":
        return "sim"
    if parts[0] == "src":
        return layer_of(parts[1:])
    return None


def include_rule(source_layer, target_layer, verb="include"):
    """None when source_layer may use target_layer, else the broken rule."""
    if target_layer == source_layer or target_layer in ALLOWED[source_layer]:
        return None
    allowed = ", ".join(sorted(ALLOWED[source_layer])) or "nothing else"
    return f"{source_layer} must not {verb} {target_layer} ({source_layer} may {verb} itself and {allowed})"


def check_file(root, rel, lines):
    """Findings for one file's lines, and the layers it includes."""
    findings = []
    used = set()
    layer = layer_of_file(rel)
    if layer is None:
        return [f"{rel}: folder not in the layer table of tests/check_layers.py"], used
    folder = os.path.dirname(os.path.join(root, rel))
    for number, line in enumerate(lines, 1):
        match = INCLUDE.match(line)
        if not match:
            continue
        quoted, angled = match.groups()
        name = quoted or angled
        target = None
        if quoted:
            # A path next to the file ("x.h", "../app/x.h") counts where it lands.
            beside = os.path.normpath(os.path.join(folder, name))
            if os.path.isfile(beside):
                target = layer_of_file(os.path.relpath(beside, root))
            else:
                target = layer_of(name.split("/"))
            if target is None:
                findings.append(f'{rel}:{number}: #include "{name}": names no layer of tests/check_layers.py')
                continue
        else:
            # <...> is a system or library header unless it names a layer.
            target = layer_of(name.split("/"))
            if target is None:
                continue
        used.add(target)
        rule = include_rule(layer, target)
        if rule:
            text = f'"{name}"' if quoted else f"<{name}>"
            findings.append(f"{rel}:{number}: #include {text}: {rule}")
    return findings, used


def scan(root):
    """Findings for every .h/.cpp under the source folders, and per layer the
    layers its files include."""
    findings = []
    used = {}
    for top in SOURCE_DIRS:
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs.sort()
            for name in sorted(files):
                if not name.endswith(SUFFIXES):
                    continue
                rel = os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")
                with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
                    file_findings, file_used = check_file(root, rel, f.read().splitlines())
                findings += file_findings
                layer = layer_of_file(rel)
                if layer is not None:
                    used.setdefault(layer, set()).update(file_used)
    return findings, used


def check_links(libraries, used):
    """libraries: layer -> (library name, [its direct link items]);
    used: layer -> layers its files include. Findings for the links."""
    layer_of_library = {name: layer for layer, (name, _) in libraries.items()}
    findings = []
    for layer, (name, items) in sorted(libraries.items()):
        linked = {layer_of_library[item] for item in items if item in layer_of_library}
        includes = used.get(layer, set())
        for other in sorted(linked - {layer}):
            rule = include_rule(layer, other, "use")
            if rule:
                findings.append(f"{name} links {libraries[other][0]}: {rule}")
            elif other not in includes:
                findings.append(f"{name} links {libraries[other][0]}, but nothing in {layer} includes {other}/...")
        for other in sorted(includes - linked - {layer}):
            if other in libraries and include_rule(layer, other) is None:
                findings.append(f"{layer} includes {other}/..., but {name} does not link {libraries[other][0]}")
    return findings


def parse_links(values):
    libraries = {}
    for value in values:
        layer, name, items = value.split(":", 2)
        if layer not in ALLOWED:
            raise SystemExit(f"check_layers.py: --links names an unknown layer: {layer}")
        libraries[layer] = (name, [item for item in items.split(",") if item])
    return libraries


def self_test():
    """Table-driven checks of the rules above; returns the failures."""
    failures = []
    # (layer of the including file, layer of the included file, allowed?)
    rules = [
        ("platform", "platform", True),
        ("platform", "texts", False),
        ("texts", "platform", True),
        ("config", "texts", True),
        ("config", "device", False),
        ("device", "config", True),
        ("device", "app", False),
        ("device", "keys", False),
        ("device", "profiles", False),
        ("profiles", "device", True),
        ("profiles", "app", False),
        ("profiles", "keys", False),
        ("keys", "profiles", False),
        ("keys", "config", True),
        ("app", "profiles", True),
        ("app", "keys", True),
        ("app", "cli", False),
        ("app", "sim", False),
        ("app", "platform/linux", False),
        ("app", "platform/qt", False),
        ("platform", "platform/linux", False),
        ("platform/linux", "platform", True),
        ("platform/linux", "texts", False),
        ("platform/linux", "platform/qt", False),
        ("platform/qt", "platform", True),
        ("platform/qt", "config", False),
        ("sim", "platform", True),
        ("sim", "config", True),
        ("sim", "device", False),
        ("sim", "platform/linux", False),
        ("cli", "app", True),
        ("cli", "sim", True),
        ("cli", "platform/qt", True),
        ("cli", "ui", False),
        ("ui", "platform/linux", True),
        ("ui", "cli", False),
    ]
    for source, target, allowed in rules:
        if (include_rule(source, target) is None) != allowed:
            failures.append(f"{source} -> {target}: expected {'allowed' if allowed else 'refused'}")

    # (path below the root, the layer it belongs to)
    files = [
        ("src/platform/clock.h", "platform"),
        ("src/platform/linux/hidapi_bus.cpp", "platform/linux"),
        ("src/platform/qt/qsettings_store.h", "platform/qt"),
        ("src/device/models.cpp", "device"),
        ("src/app/sub/deeper.h", "app"),
        ("sim/sim.h", "sim"),
        ("src/widgets/w.cpp", None),
        ("src/x.cpp", None),
    ]
    for rel, layer in files:
        if layer_of_file(rel) != layer:
            failures.append(f"{rel}: expected layer {layer}, got {layer_of_file(rel)}")

    # (file, its text, the start of each finding expected, in order)
    trees = [
        ("src/config/a.cpp", '#include "config/a.h"\n#include "texts/texts.h"\n#include <vector>\n', []),
        ("src/config/b.cpp", '#include "device/reports.h"\n', ['src/config/b.cpp:1: #include "device/reports.h": config must not']),
        ("src/config/c.cpp", '  #  include   "app/main_controller.h"\n', ['src/config/c.cpp:1: #include "app/main_controller.h"']),
        ("src/config/d.cpp", '// #include "app/main_controller.h"\n/* x */\n', []),
        ("src/config/e.cpp", '#include <app/view_port.h>\n#include <fmt/format.h>\n', ["src/config/e.cpp:1: #include <app/view_port.h>"]),
        ("src/config/f.cpp", '#include "../device/reports.h"\n#include "a.h"\n', ['src/config/f.cpp:1: #include "../device/reports.h"']),
        ("src/config/g.cpp", '#include "nowhere/x.h"\n', ['src/config/g.cpp:1: #include "nowhere/x.h": names no layer']),
        ("src/platform/linux/h.cpp", '#include "platform/hid_bus.h"\n#include "texts/utf.h"\n', ['src/platform/linux/h.cpp:2: #include "texts/utf.h": platform/linux must not']),
        ("src/ui/i.cpp", '#include "cli/cli.h"\n#include "sim/sim.h"\n', ['src/ui/i.cpp:1: #include "cli/cli.h": ui must not']),
        ("sim/j.cpp", '#include "config/factory_blocks.h"\n#include "device/device_state.h"\n', ['sim/j.cpp:2: #include "device/device_state.h": sim must not']),
        ("src/widgets/k.cpp", "", ["src/widgets/k.cpp: folder not in the layer table"]),
    ]
    with tempfile.TemporaryDirectory(prefix="check-layers-") as root:
        for rel, text, _ in trees + [("src/config/a.h", "", []), ("src/device/reports.h", "", [])]:
            os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
            with open(os.path.join(root, rel), "w", encoding="utf-8") as f:
                f.write(text)
        for rel, text, expected in trees:
            got, _ = check_file(root, rel, text.splitlines())
            if len(got) != len(expected) or not all(g.startswith(e) for g, e in zip(got, expected)):
                failures.append(f"{rel}: expected {expected}, got {got}")
        findings, used = scan(root)
        if used.get("config") != {"config", "texts", "device", "app"}:
            failures.append(f"scan: config includes {sorted(used.get('config', ()))}")
        if len(findings) != sum(len(e) for _, _, e in trees):
            failures.append(f"scan: findings {findings}")

    libraries = {
        "platform": ("cvk_platform", ["fmt::fmt", "cvk_warnings"]),
        "texts": ("cvk_texts", ["cvk_platform"]),
        "config": ("cvk_config", ["cvk_texts", "cvk_platform"]),
        "device": ("cvk_device", ["cvk_platform", "cvk_config"]),
    }
    # (what the folders include, the start of each finding expected, in order)
    links = [
        ({"texts": {"platform"}, "config": {"texts", "platform"}, "device": {"platform", "config"}}, []),
        ({"texts": {"platform"}, "config": {"texts"}, "device": {"platform", "config"}},
         ["cvk_config links cvk_platform, but nothing in config includes platform/"]),
        ({"texts": {"platform"}, "config": {"texts", "platform", "device"}, "device": {"platform", "config", "texts"}},
         ["device includes texts/..., but cvk_device does not link cvk_texts"]),
    ]
    for used, expected in links:
        got = check_links(libraries, used)
        if len(got) != len(expected) or not all(g.startswith(e) for g, e in zip(got, expected)):
            failures.append(f"links {used}: expected {expected}, got {got}")
    backward = dict(libraries, config=("cvk_config", ["cvk_texts", "cvk_platform", "cvk_device"]))
    got = check_links(backward, {"texts": {"platform"}, "config": {"texts", "platform", "device"},
                                 "device": {"platform", "config"}})
    if got != ["cvk_config links cvk_device: " + include_rule("config", "device", "use")]:
        failures.append(f"links config -> device: got {got}")
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    parser.add_argument("--links", action="append", default=[], metavar="LAYER:TARGET:ITEMS")
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()

    if args.self_test:
        failures = self_test()
        for failure in failures:
            print(f"check_layers.py self-test: {failure}")
        return 1 if failures else 0

    root = os.path.abspath(args.root)
    findings, used = scan(root)
    findings += check_links(parse_links(args.links), used)
    for finding in findings:
        print(finding)
    if findings:
        print("The layers, lowest first: " + ", ".join(layer for layer, _ in LAYERS) +
              "; LAYERS in tests/check_layers.py says which may include which.")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
