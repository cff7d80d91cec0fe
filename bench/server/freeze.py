#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# How long the room can stand still while the server is over its send budget.
# ATTACKERS logged-in clients hold unsent bytes: "silent" ones never read,
# "drip" ones take turns reading 1.5 MB every 4 s between them, so the backlog
# keeps shrinking a little. One sender sends 60 KB chat lines without pause; a
# probe sends a short line every 100 ms and waits for its own echo. Prints the
# longest time a probe line took to come back (the freeze) and how many
# attackers the server dropped. Loopback only; every wait is bounded.
#
#   bench/server/freeze.py SERVER [--mode silent|drip] [--attackers 20] [--budget 32] [--seconds 30]
import argparse, os, socket, sys, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from benchroom import start_server, stop_server, login as benchroom_login

ap = argparse.ArgumentParser()
ap.add_argument("server")
ap.add_argument("--mode", choices=["silent", "drip"], default="drip")
ap.add_argument("--attackers", type=int, default=20)
ap.add_argument("--budget", type=int, default=32, help="--send-budget for the server (MiB)")
ap.add_argument("--seconds", type=float, default=30)
a = ap.parse_args()

server, port = start_server(a.server, ["--flood-limit", "0", "--max-pending-per-address", "0",
                                      "--login-timeout", "0", "--send-budget", str(a.budget)])
try:
    login = lambda name, rcvbuf=None: benchroom_login(port, name, rcvbuf)
    probe = login("probe")
    sender = login("sender")
    attackers = [login(f"a{i}", rcvbuf=4096) for i in range(a.attackers)]
    line = b"sender> " + b"x" * 60000 + b"\0"
    pending = {}  # probe number -> time sent
    probe_dropped = False
    worst = 0.0
    buf = b""
    next_probe = time.time()
    next_drip = time.time() + 4.0 / max(1, a.attackers)
    turn = 0
    start = time.time()
    n = 0
    out = b""
    while time.time() - start < a.seconds:
        now = time.time()
        if not out:
            out = line * 16
        try:
            sent = sender.send(out)
            out = out[sent:]
        except BlockingIOError:
            pass
        except OSError:
            break
        try:
            while sender.recv(1 << 20): pass
        except (BlockingIOError, OSError):
            pass
        if now >= next_probe:
            probe.send(f"probe> {n}\0".encode()); pending[n] = now; n += 1
            next_probe = now + 0.1
        if a.mode == "drip" and now >= next_drip and attackers:
            s = attackers[turn % len(attackers)]; turn += 1
            taken = 0
            try:
                while taken < 1_500_000:
                    d = s.recv(1 << 20)
                    if not d: break
                    taken += len(d)
            except (BlockingIOError, OSError):
                pass
            next_drip = now + 4.0 / len(attackers)
        try:
            while True:
                d = probe.recv(1 << 20)
                if not d: break
                buf += d
        except BlockingIOError:
            pass
        except OSError:
            probe_dropped = True  # the honest probe itself was dropped: the room is gone for it
            break
        parts = buf.split(b"\0"); buf = parts.pop()
        for m in parts:
            if m.startswith(b"probe> "):
                k = int(m[7:]); t = pending.pop(k, None)
                if t is not None: worst = max(worst, time.time() - t)
        time.sleep(0.002)
    end = time.time()
    for t in pending.values():
        if t < end - 1: worst = max(worst, end - t)
    # Attackers the server dropped: their connections are closed.
    dropped = 0
    for s in attackers:
        try:
            s.setblocking(True); s.settimeout(0.01)
            while True:
                d = s.recv(1 << 20)
                if not d: dropped += 1; break
        except (socket.timeout, BlockingIOError):
            pass
        except OSError:
            dropped += 1
    print(f"RESULT mode={a.mode} attackers={a.attackers} budget_mib={a.budget} probes={n} "
          f"freeze_s={worst:.1f} dropped={dropped} probe_dropped={int(probe_dropped)}")
finally:
    stop_server(server)
