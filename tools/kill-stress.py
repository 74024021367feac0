#!/usr/bin/env python3
"""Kills large nota commands with SIGKILL at random moments and checks what is left.

    tools/kill-stress.py [--nota build/src/cli/nota] [--trials 300] [--seed 1] [--dir DIR]

Each trial restores a database with a 10,000-item subtree, starts one large command (a put
of a 1-50 MB text, cp, mv or rm of the subtree, compact, or repair onto an existing target),
kills it after a random part of the time the command takes, and then requires: `nota check`
finds no errors (its exclusive open rolls back what the kill left unfinished), the items are
exactly those before the command or those after it, every text committed before is byte for
byte the same, and the text being saved is the old one or the new one. Not part of `make
test`: it takes minutes.
"""

import argparse
import hashlib
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time


def run(nota, *args, stdin=None):
    return subprocess.run([nota, *args], input=stdin, capture_output=True)


def must(nota, *args, stdin=None):
    r = run(nota, *args, stdin=stdin)
    if r.returncode != 0:
        sys.exit(f"setup failed: nota {' '.join(args)}: {r.stderr.decode(errors='replace')}")
    return r


def shape(nota, db):
    """The items (titles, kinds, nesting) without their text references."""
    r = run(nota, "tree", db)
    if r.returncode != 0:
        return "unreadable: " + r.stderr.decode(errors="replace")
    def walk(items):
        return [(i["title"], i["image"] & ~3, walk(i["children"])) for i in items]
    return hashlib.sha256(repr(walk(json.loads(r.stdout)["items"])).encode()).hexdigest()


def text_hash(nota, db, path):
    r = run(nota, "cat", "--raw", db, path)  # the stored bytes
    return hashlib.sha256(r.stdout).hexdigest() if r.returncode == 0 else "unreadable"


def make_base(nota, work):
    db = os.path.join(work, "base.Nota")
    must(nota, "new", db)
    must(nota, "add", db, "Notarium/Keep")
    must(nota, "put", db, "Notarium/Keep", stdin=os.urandom(300_000).hex().encode())
    must(nota, "add", db, "Notarium/Big")
    must(nota, "put", db, "Notarium/Big", stdin=b"the old text of Big\n" * 1000)
    must(nota, "add", db, "Notarium/Dest", "--folder")
    must(nota, "add", db, "Notarium/Tree", "--folder")
    for i in range(100):
        must(nota, "add", db, f"Notarium/Tree/Item {i:03d}")
        if i % 4 == 0:
            must(nota, "put", db, f"Notarium/Tree/Item {i:03d}", stdin=(f"text {i} " * 40).encode())
    while True:  # double the subtree until it has 10,000 items
        items = json.loads(must(nota, "tree", db).stdout)["items"][0]["children"]
        tree = next(i for i in items if i["title"] == "Tree")
        def count(i):
            return 1 + sum(count(c) for c in i["children"])
        if count(tree) >= 10_000:
            break
        must(nota, "cp", db, "Notarium/Tree", "Notarium/Tree")
    return db


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--nota", default="build/src/cli/nota")
    ap.add_argument("--trials", type=int, default=300)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--dir")
    a = ap.parse_args()
    nota = os.path.abspath(a.nota)
    rng = random.Random(a.seed)
    work = a.dir or tempfile.mkdtemp(prefix="nota-kill-")
    os.makedirs(work, exist_ok=True)
    print(f"work folder {work}", flush=True)

    base = make_base(nota, work)
    target_base = os.path.join(work, "target-base.Nota")
    must(nota, "new", target_base)
    must(nota, "add", target_base, "Notarium/Old target")
    big_input = os.urandom(19_000_000).hex().encode()  # 38 MB
    big_input = b"\n".join(big_input[i:i + 120] for i in range(0, len(big_input), 120))
    big_input = big_input + big_input[: 50_000_000 - len(big_input)]  # 50 MB

    db = os.path.join(work, "db.Nota")
    target = os.path.join(work, "target.Nota")

    def restore():
        shutil.copyfile(base, db)
        shutil.copyfile(target_base, target)
        for p in (db + "-journal", target + "-journal"):
            if os.path.exists(p):
                os.remove(p)

    ops = ["put", "cp", "mv", "rm", "compact", "repair"]
    # The state after each command, and how long it takes, from one run without a kill.
    restore()
    before_shape = shape(nota, db)
    keep = text_hash(nota, db, "Notarium/Keep")
    big_old = text_hash(nota, db, "Notarium/Big")
    target_before = shape(nota, target)
    after, duration = {}, {}
    def command(op, size=0):
        return {
            "put": (["put", db, "Notarium/Big"], big_input[:size]),
            "cp": (["cp", db, "Notarium/Tree", "Notarium/Dest"], None),
            "mv": (["mv", db, "Notarium/Tree", "Notarium/Dest"], None),
            "rm": (["rm", db, "Notarium/Tree"], None),
            "compact": (["compact", db], None),
            "repair": (["repair", db, target, "--force"], None),
        }[op]
    for op in ops:
        restore()
        args, data = command(op, len(big_input))
        t = time.monotonic()
        r = run(nota, *args, stdin=data)
        duration[op] = time.monotonic() - t
        if r.returncode != 0:
            sys.exit(f"{op} failed without a kill: {r.stderr.decode(errors='replace')}")
        after[op] = shape(nota, target if op == "repair" else db)
        print(f"{op:8s} takes {duration[op]*1000:8.1f} ms", flush=True)

    counts = {op: {"trials": 0, "killed": 0, "old": 0, "new": 0, "failed": 0} for op in ops}
    failures = []
    for trial in range(a.trials):
        op = ops[trial % len(ops)]
        size = rng.randint(1_000_000, 50_000_000)
        restore()
        args, data = command(op, size)
        expected_big = hashlib.sha256(data.replace(b"\n", b"\r\n")).hexdigest() if data else None
        wait = rng.uniform(0, duration[op] * (size / len(big_input) if op == "put" else 1.0) * 1.1)
        p = subprocess.Popen([nota, *args], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        if data:
            try:
                p.stdin.write(data)
            except BrokenPipeError:
                pass
        p.stdin.close()
        time.sleep(max(0.0, wait - (0 if not data else 0)))
        killed = p.poll() is None
        if killed:
            p.send_signal(signal.SIGKILL)
        p.wait()
        c = counts[op]
        c["trials"] += 1
        c["killed"] += killed
        problems = []
        watched = target if op == "repair" else db
        chk = run(nota, "check", watched)
        if chk.returncode != 0:
            problems.append("check: " + chk.stdout.decode(errors="replace")[-300:])
        now = shape(nota, watched)
        base_shape = target_before if op == "repair" else before_shape
        if op == "put":  # the same items either way: the text tells
            h = text_hash(nota, db, "Notarium/Big")
            if h == big_old:
                c["old"] += 1
            elif h == expected_big:
                c["new"] += 1
            if now != before_shape:
                problems.append("put changed the items")
        elif op == "compact":  # the same items either way: the layout tells
            compacted = run(nota, "tree", db)
            if now != before_shape:
                problems.append("compact changed the items")
            elif compacted.returncode == 0 and json.loads(compacted.stdout)["freeList"] == 0 \
                    and os.path.getsize(db) < os.path.getsize(base):
                c["new"] += 1
            else:
                c["old"] += 1
        elif now == base_shape and now != after[op]:
            c["old"] += 1
        elif now == after[op]:
            c["new"] += 1
        else:
            problems.append("items are neither the old nor the new ones")
        if text_hash(nota, db, "Notarium/Keep") != keep:
            problems.append("Keep changed")
        if op == "put":
            if h not in (big_old, expected_big):
                problems.append("Big is neither the old nor the new text")
        if op == "repair" and shape(nota, db) != before_shape:
            problems.append("the repair source changed")
        leftovers = [f for f in os.listdir(work) if f.endswith(".tmp")]
        if len(leftovers) > 2:
            problems.append(f"work files pile up: {leftovers}")
        if problems:
            c["failed"] += 1
            failures.append((trial, op, size, problems))
            print(f"trial {trial} {op} FAILED: {problems}", flush=True)
        if trial % 25 == 24:
            print(f"{trial + 1} trials", flush=True)

    print(f"{'command':8s} {'trials':>7s} {'killed':>7s} {'old':>5s} {'new':>5s} {'failed':>7s}")
    total = {"trials": 0, "killed": 0, "old": 0, "new": 0, "failed": 0}
    for op in ops:
        c = counts[op]
        print(f"{op:8s} {c['trials']:7d} {c['killed']:7d} {c['old']:5d} {c['new']:5d} {c['failed']:7d}")
        for k in total:
            total[k] += c[k]
    print(f"{'all':8s} {total['trials']:7d} {total['killed']:7d} {total['old']:5d} {total['new']:5d} {total['failed']:7d}")
    if not a.dir:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
