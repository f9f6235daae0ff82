#!/usr/bin/env bash
# Stop latency and loop rhythm of the pollwerk service under the sd_notify protocol.
#
#   bench/service_stop.sh [PATH_TO_POLLWERK] [RUNS]
#
# Plays systemd with python3: a notify socket (NOTIFY_SOCKET), SIGTERM, and a device on
# 127.0.0.1 that answers every export request with an empty body.
#  1. stop latency: RUNS starts of the service without devices; SIGTERM at a random
#     moment 0.2 to 2.2 s after READY=1 (so it falls into the 1000 ms wait or the 100 ms
#     rest); time from the signal to STOPPING=1 and to the exit of the process.
#  2. loop rhythm: one device with interval -1 (due in every cycle); time between the
#     device's requests, i.e. between the starts of consecutive cycles, over RUNS gaps.
# Prints median and maximum in milliseconds. Nothing outside a temporary folder is
# touched.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
pollwerk=${1:-"$here/build/service/pollwerk"}
runs=${2:-20}
[ -x "$pollwerk" ] || { echo "service_stop.sh: no pollwerk at $pollwerk (build it first)" >&2; exit 1; }
command -v python3 >/dev/null || { echo "service_stop.sh: python3 is needed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$pollwerk" "$runs" "$work" <<'PY'
import os, random, signal, socket, statistics, subprocess, sys, threading, time

pollwerk, runs, work = sys.argv[1], int(sys.argv[2]), sys.argv[3]
random.seed(7)

def write(path, text):
    with open(path, "w") as f:
        f.write(text)

def setup(name, devices):
    d = os.path.join(work, name)
    os.mkdir(d)
    write(os.path.join(d, "registry"), "path=%s/ixan.ini\n" % d)
    write(os.path.join(d, "ixan.ini"),
          "[Global]\nlog=%s/ixan.log\ndsn=nodsn\n" % d + devices)
    return d

def start(d):
    path = os.path.join(d, "notify")
    s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    s.bind(path)
    s.settimeout(5)
    env = {k: v for k, v in os.environ.items() if k not in ("http_proxy", "HTTP_PROXY")}
    env.update(NOTIFY_SOCKET=path, IXAN_REGISTRY=os.path.join(d, "registry"))
    p = subprocess.Popen([pollwerk], env=env, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    if s.recv(256) != b"READY=1":
        raise SystemExit("no READY=1 from pollwerk")
    return p, s

def summary(name, values):
    print("%-34s median %8.1f ms   max %8.1f ms   (n=%d)" %
          (name, statistics.median(values), max(values), len(values)))

# 1. stop latency
pending, exits = [], []
for i in range(runs):
    d = setup("stop%d" % i, "")
    p, s = start(d)
    time.sleep(random.uniform(0.2, 2.2))
    t0 = time.monotonic()
    p.send_signal(signal.SIGTERM)
    if s.recv(256) != b"STOPPING=1":
        raise SystemExit("no STOPPING=1")
    pending.append((time.monotonic() - t0) * 1000)
    rc = p.wait(5)
    exits.append((time.monotonic() - t0) * 1000)
    if rc != 0:
        raise SystemExit("pollwerk ended with %d" % rc)
    s.close()

# 2. loop rhythm against a loopback device
listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
listener.bind(("127.0.0.1", 0))
listener.listen(8)
port = listener.getsockname()[1]
stamps = []
def serve():
    while True:
        try:
            c, _ = listener.accept()
        except OSError:
            return
        c.settimeout(2)
        data = b""
        try:
            while b"\r\n\r\n" not in data:
                chunk = c.recv(4096)
                if not chunk:
                    break
                data += chunk
            head, _, body = data.partition(b"\r\n\r\n")
            length = 0
            for line in head.split(b"\r\n"):
                if line.lower().startswith(b"content-length:"):
                    length = int(line.split(b":")[1])
            while len(body) < length:
                body += c.recv(4096)
            stamps.append(time.monotonic())
            c.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n")
        except OSError:
            pass
        c.close()
threading.Thread(target=serve, daemon=True).start()

d = setup("rhythm", "[127.0.0.1]\nport=%d\ninterval=-1\n" % port)
p, s = start(d)
deadline = time.monotonic() + 2 * (runs + 2)
while len(stamps) < runs + 1 and time.monotonic() < deadline:
    time.sleep(0.05)
p.send_signal(signal.SIGTERM)
p.wait(5)
listener.close()
gaps = [(b - a) * 1000 for a, b in zip(stamps, stamps[1:])][:runs]
if len(gaps) < runs:
    raise SystemExit("only %d cycles seen" % (len(gaps) + 1))

print("pollwerk service, %d runs each" % runs)
summary("SIGTERM -> STOPPING=1", pending)
summary("SIGTERM -> process exit", exits)
summary("cycle start -> next cycle start", gaps)
PY
