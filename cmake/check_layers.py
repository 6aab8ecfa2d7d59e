#!/usr/bin/env python3
"""The core's folders form a fixed order: a folder may include itself and the
folders before it, never one after it. platform/ (the interfaces) comes first
and includes nothing of the core; win32 is the Windows layer above
everything and is not checked.

    check_layers.py SRC_DIR LAYER...    exit 1 and list every back-edge
    check_layers.py --self-test LAYER... a planted back-edge must be caught
"""
import os
import re
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s*"([A-Za-z0-9_]+)/')


def ranks(layers):
    return {name: i for i, group in enumerate(layers) for name in group.split(",")}


def back_edges(src, layers):
    rank = ranks(layers)
    found = []
    for layer in rank:
        folder = os.path.join(src, layer)
        if not os.path.isdir(folder):
            continue
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            if not os.path.isfile(path) or not name.endswith((".h", ".cpp")):
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    other = m.group(1) if m else None
                    if other in rank and other != layer and rank[other] >= rank[layer]:
                        found.append(f"{layer}/{name}:{number}: includes {other}/, which is not below {layer}/")
    return found


def self_test(layers):
    with tempfile.TemporaryDirectory() as src:
        low, high = layers[1], layers[-1].split(",")[0]
        os.makedirs(os.path.join(src, low))
        os.makedirs(os.path.join(src, high))
        with open(os.path.join(src, high, "fine.h"), "w") as f:
            f.write(f'#include "{low}/base.h"\n')
        if back_edges(src, layers):
            print("self-test: a downward include was reported")
            return 1
        with open(os.path.join(src, low, "base.h"), "w") as f:
            f.write(f'#pragma once\n#include "{high}/fine.h"\n')
        if len(back_edges(src, layers)) != 1:
            print("self-test: the planted back-edge was not reported")
            return 1
        peers = layers[-1].split(",")
        if len(peers) > 1:
            os.makedirs(os.path.join(src, peers[1]))
            with open(os.path.join(src, peers[1], "peer.h"), "w") as f:
                f.write(f'#include "{peers[0]}/fine.h"\n')
            if len(back_edges(src, layers)) != 2:
                print("self-test: a backend including another was not reported")
                return 1
    print("self-test: the planted back-edge is caught")
    return 0


def main(argv):
    if len(argv) > 2 and argv[1] == "--self-test":
        return self_test(argv[2:])
    if len(argv) < 3:
        print(__doc__)
        return 2
    edges = back_edges(argv[1], argv[2:])
    for e in edges:
        print(e)
    print(f"folder order {' < '.join(argv[2:])}: {len(edges)} back-edge(s)")
    return 1 if edges else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
