#!/usr/bin/env python3
"""Finds include and call circles between the files of src/.

A unit is a header with the source of the same name beside it (Foo.h and
Foo.cpp); unit A uses unit B when one of A's files includes B's header by its
path under src/ ("link/Foo.h"). With --objects, A also uses B when A's object
file calls a function (or reads a variable) that B's object file defines:
the linker's view, which sees calls an include does not show (a function
declared where it is used, a member defined in another source). A source
without a header of its own that only defines members of a class another
unit holds (a class whose members fill several sources) belongs to that unit.
A circle is a set of units that use each other in a loop. Prints every circle
with the includes and calls that tie it and exits with 1 when there is a new
one (0 otherwise).

A circle that is still to be broken is listed in the KNOWN file (one circle a
line: its units, blank-separated); a circle found among the units of a known
one passes with a note, anything else (a new circle, or a known one that drew
in another unit) fails.

    include_circles.py [SRC_DIR] [--known KNOWN] [--objects BUILD_SRC_DIR]
    include_circles.py --self-test

BUILD_SRC_DIR is the build folder of src/ (<build>/src): the objects of
src/<sub>/Foo.cpp are found as <sub>/CMakeFiles/<target>.dir/Foo.cpp.o there.
"""
import os
import re
import shutil
import subprocess
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


def object_files(objects):
    """{unit: object path} for the objects under BUILD_SRC_DIR."""
    found = {}
    for root, _, names in os.walk(objects):
        parts = os.path.relpath(root, objects).replace(os.sep, '/').split('/')
        dirs = [i for i, p in enumerate(parts) if p.endswith('.dir')]
        if not dirs or 'autogen' in root:
            continue
        sub = [p for p in parts[:dirs[0]] if p != 'CMakeFiles']
        inner = parts[dirs[0] + 1:]
        for n in names:
            if n.endswith(('.cpp.o', '.cc.o')):
                found['/'.join(sub + inner + [n.rsplit('.', 2)[0]])] = os.path.join(root, n)
    return found


def nm_symbols(path):
    """(defined, undefined): the object's strong definitions and its calls."""
    def run(*args):
        return subprocess.run(['nm', '-C', *args, path], capture_output=True, text=True, check=True).stdout
    defined, undefined = set(), set()
    for line in run('--defined-only').splitlines():
        parts = line.split(' ', 2)
        # Text, data, bss and read-only data of this object alone; inline and
        # template code (weak, unique) belongs to whoever includes it.
        if len(parts) == 3 and parts[1] in 'TDBR':
            defined.add(parts[2])
    for line in run('-u').splitlines():
        line = line.strip()
        if line:
            undefined.add(line.split(None, 1)[1])
    return defined, undefined


def owner_class(symbol):
    """'Foo::Bar(int)' -> 'Foo' (the class a member belongs to), else None."""
    name = symbol.split('(', 1)[0]
    depth, cut = 0, -1
    for i, c in enumerate(name):
        if c == '<':
            depth += 1
        elif c == '>':
            depth -= 1
        elif c == ':' and depth == 0 and name[i:i + 2] == '::':
            cut = i
    return name[:cut] if cut > 0 else None


def add_calls(uses, why, files, symbols):
    """Adds to `uses` the calls between units: `symbols` is {unit: (defined,
    undefined)}. Returns {source unit: unit it was folded into}."""
    headers = set(files.values()) & {u for rel, u in files.items() if rel.endswith(('.h', '.hpp'))}
    classes = {}
    for unit, (defined, _) in symbols.items():
        if unit in headers:
            for sym in defined:
                owner = owner_class(sym)
                if owner:
                    classes.setdefault(owner, set()).add(unit)
    folded = {}
    for unit, (defined, _) in symbols.items():
        if unit in headers:
            continue
        owners = {owner_class(sym) for sym in defined}
        homes = set().union(*(classes.get(o, set()) for o in owners if o)) if owners else set()
        if None not in owners and len(homes) == 1:
            folded[unit] = homes.pop()
    def home(unit):
        return folded.get(unit, unit)
    where = {}
    for unit, (defined, _) in symbols.items():
        for sym in defined:
            where.setdefault(sym, set()).add(home(unit))
    for unit, (_, undefined) in symbols.items():
        a = home(unit)
        uses.setdefault(a, set())
        for sym in sorted(undefined):
            for b in where.get(sym, ()):
                if b != a:
                    uses[a].add(b)
                    calls = why.setdefault((a, b), [])
                    if len(calls) < 3:
                        calls.append(f'{unit} calls {sym}')
    for unit, into in folded.items():
        # What the folded source includes, its unit includes.
        for b in uses.pop(unit, set()):
            if b != into:
                uses.setdefault(into, set()).add(b)
                why.setdefault((into, b), []).extend(why.pop((unit, b), []))
        for a in uses:
            if unit in uses[a]:
                uses[a].discard(unit)
                if a != into:
                    uses[a].add(into)
                    why.setdefault((a, into), []).extend(why.pop((a, unit), []))
    return folded


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

    call_cases = [
        # (what, files, symbols {unit: (defined, called)}, circles found)
        ('calls one way', {'a/A.h': [], 'a/A.cpp': ['a/A.h'], 'b/B.h': [], 'b/B.cpp': ['b/B.h', 'a/A.h']},
         {'a/A': ({'a::F()'}, set()), 'b/B': ({'b::G()'}, {'a::F()'})}, 0),
        ('a call back without an include', {'a/A.h': [], 'a/A.cpp': ['a/A.h'], 'b/B.h': [],
                                            'b/B.cpp': ['b/B.h', 'a/A.h']},
         {'a/A': ({'a::F()'}, {'b::G()'}), 'b/B': ({'b::G()'}, {'a::F()'})}, 1),
        ('three in a ring by calls', {'x/A.h': [], 'x/A.cpp': [], 'x/B.h': [], 'x/B.cpp': [], 'x/C.h': [],
                                      'x/C.cpp': []},
         {'x/A': ({'f()'}, {'g()'}), 'x/B': ({'g()'}, {'h()'}), 'x/C': ({'h()'}, {'f()'})}, 1),
        ('one class over two sources is one unit', {'v/P.h': [], 'v/P.cpp': ['v/P.h'], 'v/PPage.cpp': ['v/P.h']},
         {'v/P': ({'P::Open()', 'P::Info()'}, {'P::Page()'}), 'v/PPage': ({'P::Page()'}, {'P::Info()'})}, 0),
        ('a headerless source with a function of its own is its own unit',
         {'v/P.h': [], 'v/P.cpp': ['v/P.h'], 'v/Q.cpp': ['v/P.h']},
         {'v/P': ({'P::Open()'}, {'Q()'}), 'v/Q': ({'Q()', 'P::Page()'}, {'P::Open()'})}, 1),
    ]
    failed = 0
    for what, files, symbols, circles_expected in call_cases:
        top, src, _ = tree(files)
        uses, why = graph(src)
        file_units = units(src)
        add_calls(uses, why, file_units, {u: (set(d), set(c)) for u, (d, c) in symbols.items()})
        got = len(circles(uses))
        shutil.rmtree(top, ignore_errors=True)
        ok = got == circles_expected
        failed += not ok
        print(f'{"ok  " if ok else "FAIL"} {what}: {got} circle(s)')
    # The member-of-class reading of symbol names.
    for sym, owner in [('Foo::Bar(int)', 'Foo'), ('smt::run::Finish(smt::Machine&)', 'smt::run'),
                       ('F()', None), ('A<B::C>::D()', 'A<B::C>'), ('vtable for Foo', None)]:
        ok = owner_class(sym) == owner
        failed += not ok
        print(f'{"ok  " if ok else "FAIL"} owner of {sym}: {owner_class(sym)}')
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
    objects = None
    if '--objects' in args:
        i = args.index('--objects')
        if i + 1 >= len(args):
            print('--objects needs the build folder of src/')
            return 2
        objects = args[i + 1]
        del args[i:i + 2]
    src = args[0] if args else os.path.join(os.path.dirname(__file__), '..', 'src')
    known = read_known(known_path)
    uses, why = graph(src)
    if objects is not None:
        if shutil.which('nm') is None:
            print('no nm on this host: the calls between the files cannot be read')
            return 2
        file_units = units(src)
        objs = {u: p for u, p in object_files(objects).items() if u in set(file_units.values())}
        if not objs:
            print(f'no object files of {os.path.normpath(src)} under {objects}: build first')
            return 2
        add_calls(uses, why, file_units, {u: nm_symbols(p) for u, p in objs.items()})
    found = circles(uses)
    new = 0
    for comp in found:
        members = set(comp)
        listed = any(members <= k for k in known)
        new += not listed
        print(f'{"known" if listed else "NEW"} circle of {len(comp)} units:')
        for a in comp:
            for b in sorted(uses[a] & members):
                for line in why[(a, b)]:
                    print(f'  {line}')
    where = os.path.normpath(src)
    if new:
        print(f'{new} new circle(s) in {where}: break them (an interface, a moved declaration or function, '
              'a split header)')
        return 1
    print(f'no new {"include or call " if objects else "include "}circle in {where} '
          f'({len(found)} known still to break)')
    return 0


if __name__ == '__main__':
    sys.exit(main())
