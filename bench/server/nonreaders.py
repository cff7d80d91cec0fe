#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Memory with clients that never read: SILENT logged-in clients stop reading
# (small receive window), READERS keep reading, one sender sends MB megabytes of
# chat in 60 KB lines. Prints the server's resident memory before the chat
# (baseline) and at its peak, how many silent clients the server dropped and
# whether every reader got every line. Loopback only; every wait is bounded.
#
#   bench/server/nonreaders.py SERVER [--silent 500] [--readers 10] [--mb 6] [--budget MIB] [--flood-limit R]
#                              [--classic]
import argparse, os, selectors, sys, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from benchroom import start_server, stop_server, login as benchroom_login

ap = argparse.ArgumentParser()
ap.add_argument("server")
ap.add_argument("--silent", type=int, default=500)
ap.add_argument("--readers", type=int, default=10)
ap.add_argument("--mb", type=float, default=6)
ap.add_argument("--budget", type=int, default=None, help="--send-budget for the server (MiB)")
ap.add_argument("--flood-limit", default="0")
ap.add_argument("--timeout", type=float, default=60)
ap.add_argument("--classic", action="store_true", help="a server without the limit options (a before figure)")
a = ap.parse_args()

def status(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0

extra = []
if not a.classic:
    extra += ["--flood-limit", a.flood_limit, "--max-pending-per-address", "0", "--login-timeout", "0"]
if a.budget is not None:
    extra += ["--send-budget", str(a.budget)]
server, port = start_server(a.server, extra)
try:
    login = lambda name, rcvbuf=None: benchroom_login(port, name, rcvbuf)

    readers = [login(f"r{i}") for i in range(a.readers)]
    sender = login("sender")
    silent = [login(f"s{i}", rcvbuf=4096) for i in range(a.silent)]
    time.sleep(1)
    baseline = status(server.pid, "VmRSS")

    line = b"sender> " + b"x" * 60000 + b"\0"
    count = max(1, int(a.mb * 1e6 / len(line)))
    sel = selectors.DefaultSelector()
    got = {}
    usrd = 0  # users gone, as the first reader hears it
    for s in readers + [sender]:
        sel.register(s, selectors.EVENT_READ); got[s] = 0
    out = line * count
    sender.setblocking(True); sender.settimeout(a.timeout)
    start = time.time(); peak = baseline
    sent = 0
    sender.setblocking(False)
    while time.time() - start < a.timeout:
        if sent < len(out):
            try: sent += sender.send(out[sent:sent + (1 << 20)])
            except BlockingIOError: pass
        for key, _ in sel.select(0.01):
            try: data = key.fileobj.recv(1 << 20)
            except (BlockingIOError, ConnectionError): continue
            got[key.fileobj] += data.count(b"sender> ")
            if key.fileobj is readers[0]:
                usrd += data.count(b"\xff\xffUSRD")
        peak = max(peak, status(server.pid, "VmRSS"))
        if sent == len(out) and all(got[s] >= count for s in readers):
            break
    elapsed = time.time() - start
    hwm = status(server.pid, "VmHWM")
    dropped = usrd
    served = sum(1 for s in readers if got[s] >= count)
    print(f"RESULT silent={a.silent} readers={a.readers} lines={count} line_bytes={len(line)} "
          f"baseline_mb={baseline/1024:.1f} peak_mb={max(peak, hwm)/1024:.1f} "
          f"growth_mb={(max(peak, hwm) - baseline)/1024:.1f} dropped={dropped} served={served} seconds={elapsed:.1f}")
finally:
    stop_server(server)
