#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the screenshots of the user guide: the server window running with two
# users, and the client's main window in that room. Everything talks over
# 127.0.0.1 on a virtual display; a small scripted user says something so the
# transcript is not empty.
#   docs/screenshots/make-screenshots.sh BUILD_DIR
# Needs xvfb-run (xvfb), import (imagemagick), xdotool and python3.
set -euo pipefail
build=$(realpath "${1:?usage: $0 BUILD_DIR}")
out=$(cd "$(dirname "$0")" && pwd)
server="$build/server/ZindleChatServer"
client="$build/client/ZindleChatClient"
for tool in xvfb-run import xdotool python3; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
[[ -x $server && -x $client ]] || { echo "build both programs first" >&2; exit 2; }

if [[ -z ${ZINDLE_IN_XVFB:-} ]]; then
    export ZINDLE_IN_XVFB=1
    exec timeout 120 xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$@"
fi

# The virtual display may take a moment to accept clients.
for _ in $(seq 50); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && break
    sleep 0.2
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
port=$((20000 + RANDOM % 20000))

export XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb LANG=C.UTF-8
mkdir -p "$XDG_CONFIG_HOME"
cat > "$XDG_CONFIG_HOME/ZindleChatServer.ini" <<INI
[Options]
ServerNaam=Huiskamer
MOTD=Welkom in de huiskamer! Wees aardig voor elkaar.
Port=$port
Password=
ChatLog=-1
chkDubbelIP=0
INI
cat > "$XDG_CONFIG_HOME/ZindleChat.ini" <<INI
[Options]
Nickname=Anna
ConnectTo=127.0.0.1
ConnectToPort=$port
INI

# Waits up to 10 s for a visible window whose title matches $1 and prints its id.
wait_window() {
    for _ in $(seq 50); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
        [[ -n $id ]] && { echo "$id"; return 0; }
        sleep 0.2
    done
    echo "no window \"$1\"" >&2
    return 1
}

"$server" & pids+=($!)
server_window=$(wait_window '^ZindleChat Server$')
xdotool windowfocus --sync "$server_window" key --clearmodifiers alt+s
sleep 1

# A second user, speaking the wire protocol directly: log in, chat, stay.
python3 - "$port" <<'PY' & pids+=($!)
import socket, sys, time
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=5)
def command(code, fields):
    esc = lambda f: f.replace("\\", "\\\\").replace("#", "\\#").replace("\n", "\\n").replace("\r", "\\r")
    s.sendall(b"\xff\xff" + code + "#".join(esc(f) for f in fields).encode("latin-1") + b"\0")
def chat(line):
    s.sendall((line.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n")).encode("latin-1") + b"\0")
command(b"CACK", ["Bram", "", "0.2 build #0013"])
reply = b""
while b"SACK" not in reply:
    data = s.recv(4096)
    if not data:
        sys.exit("login refused")
    reply += data
s.sendall(b"\xff\xffACKD\0")
time.sleep(4)
chat("Bram> Hoi Anna! Zin in een potje schaak vanavond?\r\n")
time.sleep(0.5)
chat("* Bram zet alvast koffie\r\n")
time.sleep(60)
PY
sleep 1

"$client" "127.0.0.1:$port" & pids+=($!)
sleep 8
# Anna answers, typed into the client's input line.
for id in $(xdotool search --onlyvisible --name '^ZindleChat'); do
    if [[ $(xdotool getwindowname "$id") != "ZindleChat Server" ]]; then
        xdotool windowraise "$id" windowfocus --sync "$id"
        xdotool type --delay 20 "Ja, leuk! Om acht uur bij mij?"
        xdotool key Return
    fi
done
sleep 2

xdotool search --onlyvisible --name '^ZindleChat' | while read -r id; do
    name=$(xdotool getwindowname "$id")
    # Without a window manager the windows overlap; bring each to the top first.
    xdotool windowraise "$id"
    sleep 0.5
    case $name in
        "ZindleChat Server") import -window "$id" "$out/server.png" ;;
        "ZindleChat - Log") ;;
        *) import -window "$id" "$out/client.png" ;;
    esac
done
# The About window, opened by a double click on the server's version text.
xdotool windowraise "$server_window"
info=$(xdotool search --onlyvisible --name '^ZindleChat Server$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$info")"
xdotool mousemove --window "$info" $((WIDTH * 2 / 3)) $((HEIGHT - 50)) click --repeat 2 --delay 80 1
if about=$(wait_window '^Over ZindleChat$'); then
    sleep 2.5 # a few credit lines
    import -window "$about" "$out/about.png"
fi
ls -l "$out"/*.png
