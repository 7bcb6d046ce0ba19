#!/usr/bin/env python3
"""Finds include circles between the files of src/.

A unit is a header with the source of the same name beside it (Foo.h and
Foo.cpp); unit A uses unit B when one of A's files includes B's header by its
path under src/ ("link/Foo.h"). A circle is a set of units that use each
other in a loop. Prints every circle with the includes that tie it and exits
with 1 when there is a new one (0 otherwise).

A circle that is still to be broken is listed in the KNOWN file (one circle a
line: its units, blank-separated); a circle found among the units of a known
one passes with a note, anything else (a new circle, or a known one that drew
in another unit) fails.

    include_circles.py [SRC_DIR] [--known KNOWN]
    include_circles.py --self-test
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def units(src):
    files = {}
    for root, _, names in os.walk(src):
        for n in names:
            if n.endswith(('.h', '.hpp', '.cpp', '.cc')):
                rel = os.path.relpath(os.path.join(root, n), src).replace(os.sep, '/')
                files[rel] = os.path.splitext(rel)[0]
    return files


def graph(src):
    files = units(src)
    uses = {}
    why = {}
    for rel, unit in files.items():
        uses.setdefault(unit, set())
        with open(os.path.join(src, rel), encoding='utf-8', errors='replace') as f:
            text = f.read()
        for inc in INCLUDE.findall(text):
            target = files.get(inc)
            if target is None or target == unit:
                continue
            uses[unit].add(target)
            why.setdefault((unit, target), []).append(f'{rel} -> {inc}')
    return uses, why


def circles(uses):
    # Tarjan's strongly connected components, without recursion.
    index, low, on, stack, out = {}, {}, set(), [], []
    counter = [0]
    for start in sorted(uses):
        if start in index:
            continue
        work = [(start, iter(sorted(uses[start])))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on.add(start)
        while work:
            node, it = work[-1]
            advanced = False
            for nxt in it:
                if nxt not in index:
                    index[nxt] = low[nxt] = counter[0]
                    counter[0] += 1
                    stack.append(nxt)
                    on.add(nxt)
                    work.append((nxt, iter(sorted(uses[nxt]))))
                    advanced = True
                    break
                if nxt in on:
                    low[node] = min(low[node], index[nxt])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                comp = []
                while True:
                    w = stack.pop()
                    on.discard(w)
                    comp.append(w)
                    if w == node:
                        break
                if len(comp) > 1:
                    out.append(sorted(comp))
    return sorted(out)


def read_known(path):
    known = []
    if not path:
        return known
    with open(path, encoding='utf-8') as f:
        for line in f:
            line = line.split('#', 1)[0].split()
            if line:
                known.append(set(line))
    return known


def self_test():
    """The check on small trees: what it must find and what it must pass."""
    import shutil
    import tempfile

    def tree(files, known=None):
        d = tempfile.mkdtemp()
        for name, includes in files.items():
            path = os.path.join(d, 'src', name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, 'w') as f:
                f.write(''.join(f'#include "{i}"\n' for i in includes))
        k = None
        if known is not None:
            k = os.path.join(d, 'known.txt')
            with open(k, 'w') as f:
                f.write(known)
        return d, os.path.join(d, 'src'), k

    cases = [
        # (what, files, known, circles found, exit code)
        ('layers', {'a/A.h': [], 'a/A.cpp': ['a/A.h'], 'b/B.h': ['a/A.h'], 'b/B.cpp': ['b/B.h', 'a/A.h']}, None, 0, 0),
        ('two sources use each other', {'a/A.h': [], 'a/A.cpp': ['a/A.h', 'b/B.h'], 'b/B.h': [],
                                        'b/B.cpp': ['b/B.h', 'a/A.h']}, None, 1, 1),
        ('a header pulls in its user', {'a/A.h': ['b/B.h'], 'b/B.h': [], 'b/B.cpp': ['b/B.h', 'a/A.h']}, None, 1, 1),
        ('three in a ring', {'x/A.cpp': ['x/B.h'], 'x/A.h': [], 'x/B.cpp': ['x/C.h'], 'x/B.h': [],
                             'x/C.cpp': ['x/A.h'], 'x/C.h': []}, None, 1, 1),
        ('a known circle passes', {'a/A.h': [], 'a/A.cpp': ['a/B.h'], 'a/B.h': [], 'a/B.cpp': ['a/A.h']},
         'a/A a/B\n', 1, 0),
        ('a known circle that drew in a unit fails',
         {'a/A.h': [], 'a/A.cpp': ['a/B.h'], 'a/B.h': [], 'a/B.cpp': ['a/C.h'], 'a/C.h': [], 'a/C.cpp': ['a/A.h']},
         'a/A a/B\n', 1, 1),
        ('system and unknown includes are no units', {'a/A.h': ['vector', 'gtest/gtest.h'], 'a/A.cpp': ['a/A.h']},
         None, 0, 0),
    ]
    failed = 0
    for what, files, known, circles_expected, rc_expected in cases:
        top, src, k = tree(files, known)
        uses, _ = graph(src)
        got = len(circles(uses))
        argv = sys.argv
        sys.argv = [argv[0], src] + (['--known', k] if k else [])
        import contextlib
        import io
        with contextlib.redirect_stdout(io.StringIO()):
            rc = main()
        sys.argv = argv
        shutil.rmtree(top, ignore_errors=True)
        ok = got == circles_expected and rc == rc_expected
        failed += not ok
        print(f'{"ok  " if ok else "FAIL"} {what}: {got} circle(s), exit {rc}')
    return 1 if failed else 0


def main():
    args = sys.argv[1:]
    if args == ['--self-test']:
        return self_test()
    known_path = None
    if '--known' in args:
        i = args.index('--known')
        if i + 1 >= len(args):
            print('--known needs a file')
            return 2
        known_path = args[i + 1]
        del args[i:i + 2]
    src = args[0] if args else os.path.join(os.path.dirname(__file__), '..', 'src')
    known = read_known(known_path)
    uses, why = graph(src)
    found = circles(uses)
    new = 0
    for comp in found:
        members = set(comp)
        listed = any(members <= k for k in known)
        new += not listed
        print(f'{"known" if listed else "NEW"} include circle of {len(comp)} units:')
        for a in comp:
            for b in sorted(uses[a] & members):
                for line in why[(a, b)]:
                    print(f'  {line}')
    where = os.path.normpath(src)
    if new:
        print(f'{new} new include circle(s) in {where}: break them (an interface, a moved declaration, a split header)')
        return 1
    print(f'no new include circle in {where} ({len(found)} known still to break)')
    return 0


if __name__ == '__main__':
    sys.exit(main())
