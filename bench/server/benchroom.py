# SPDX-License-Identifier: GPL-3.0-or-later
# What the Python server benchmarks share: a headless server on a free port of
# 127.0.0.1 and logged-in raw clients. Every wait is bounded.
import os, socket, subprocess, sys, tempfile, time

def free_port():
    s = socket.socket(); s.bind(("127.0.0.1", 0)); p = s.getsockname()[1]; s.close(); return p

# Starts SERVER --headless on a free port with the extra arguments; returns (process, port)
# once it listens. Its stored options stay out of the user's own.
def start_server(server, extra):
    port = free_port()
    args = [server, "--headless", "--port", str(port), "--password", ""] + extra
    env = dict(os.environ, XDG_CONFIG_HOME=tempfile.mkdtemp())
    proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.PIPE, env=env)
    deadline = time.time() + 10
    while True:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close(); return proc, port
        except OSError:
            if time.time() > deadline:
                stop_server(proc); sys.exit("server does not listen")
            time.sleep(0.1)

def stop_server(proc):
    proc.terminate()
    try: proc.wait(5)
    except subprocess.TimeoutExpired: proc.kill()

# A client logged in as name (with a small receive window when rcvbuf is given), non-blocking.
def login(port, name, rcvbuf=None):
    s = socket.socket()
    if rcvbuf: s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, rcvbuf)
    s.connect(("127.0.0.1", port))
    s.sendall(b"\xff\xffCACK" + name.encode() + b"##0.2 build \\#0013\0")
    buf = b""; s.settimeout(10)
    while b"\xff\xffSACK\0" not in buf: buf += s.recv(65536)
    s.sendall(b"\xff\xffACKD\0")
    own = b"#" + name.encode() + b"#0\0"
    while own not in buf: buf += s.recv(65536)
    s.setblocking(False)
    return s
