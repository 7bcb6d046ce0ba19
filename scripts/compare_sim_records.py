#!/usr/bin/env python3
"""Compares the simulated machine's records of two builds.

The records are the files the tests write when SMT_SIM_RECORD_DIR names a
folder (tests/support/SimRecordDump.h): every command the simulated boards
received, in order, and every part let go. Two runs of one build already
differ a little (what the cameras see depends on when a frame is grabbed,
and the feeder thread's commands interleave with the run's), so records
count as alike when:
  - the commands come in the same order, leaving out the feeder thread's
    (066, 056), the camera selects (004), the vacuum reads (015) and the
    state reports (060), which are compared as counts;
  - each payload has the same length and every differing field is within
    TOL steps (default 3);
  - every part is let go by the same head within 0.02 mm and 0.1 degree.

    compare_sim_records.py BEFORE_DIR AFTER_DIR [TOL]
"""
import os, sys, collections
a, b = sys.argv[1], sys.argv[2]
CONC = {'066', '056', '004', '015', '060'}
TOL = int(sys.argv[3]) if len(sys.argv) > 3 else 3

def parse(L):
    cmds, rel = [], []
    for l in L:
        p = l.split()
        if p[0] in ('U', 'S'):
            cmds.append((p[0], p[1], bytes(int(x, 16) for x in p[2:])))
        else:
            rel.append(p)
    return cmds, rel

def close(x, y):
    if len(x) != len(y): return False
    diff = [i for i in range(len(x)) if x[i] != y[i]]
    for i in diff:
        ok = False
        for s in range(max(0, i - 3), min(i, len(x) - 4) + 1):
            vx = int.from_bytes(x[s:s + 4], 'little', signed=True)
            vy = int.from_bytes(y[s:s + 4], 'little', signed=True)
            if abs(vx - vy) <= TOL: ok = True; break
        if not ok: return False
    return True

total = same = 0
for name in sorted(os.listdir(a)):
    total += 1
    A, RA = parse(open(os.path.join(a, name)).read().splitlines())
    B, RB = parse(open(os.path.join(b, name)).read().splitlines())
    why = []
    ma = [c for c in A if c[1] not in CONC]; mb = [c for c in B if c[1] not in CONC]
    if [(c[0], c[1]) for c in ma] != [(c[0], c[1]) for c in mb]:
        why.append('command order')
    elif not all(close(x[2], y[2]) for x, y in zip(ma, mb)):
        bad = next(i for i, (x, y) in enumerate(zip(ma, mb)) if not close(x[2], y[2]))
        why.append(f'payload of command #{bad} ({ma[bad][1]})')
    ca = collections.Counter((c[0], c[1]) for c in A if c[1] in CONC)
    cb = collections.Counter((c[0], c[1]) for c in B if c[1] in CONC)
    if ca != cb:
        why.append('counts of ' + ', '.join(sorted({k[1] for k in (ca - cb) + (cb - ca)})))
    if len(RA) != len(RB) or any(x[0] != y[0] or x[2] != y[2] or abs(float(x[4]) - float(y[4])) > 0.02 or
                                 abs(float(x[5]) - float(y[5])) > 0.02 or abs(float(x[6]) - float(y[6])) > 0.1
                                 for x, y in zip(RA, RB)):
        why.append('placements')
    if why:
        print(name, ':', '; '.join(why))
    else:
        same += 1
print(f'{same} of {total} records alike')
