#!/usr/bin/env python3
"""A peer for the player's ARexx ports: serves a port, sends to one, or misbehaves on purpose.

  serve PORT [--rc N] [--secondary N] [--result TEXT] [--relay PORT] [--log FILE] [--count N]
  send PORT COMMAND [--noreturn] [--flag FILE]   (FILE is made once the request is out)
  hostile PORT big|truncated|random|silent
  flood PORT COUNT FLAG   (COUNT requests at once; FLAG is made once all are out; prints the replies' codes)
  hold PORT COUNT SECONDS (COUNT connections that send nothing)
"""
import argparse, os, signal, socket, struct, sys, time

RXCOMM, RESULT, STRING, NONRET = 0x01000000, 0x00020000, 0x00040000, 0x00100000


def port_path(name):
    base = os.environ.get("XDG_RUNTIME_DIR")
    directory = os.path.join(base, "vistaloom", "ports")
    plain = 0 < len(name) <= 64 and not name.startswith(".") and all(
        c.isascii() and (c.isalnum() or c in "._-") for c in name)
    if plain:
        return os.path.join(directory, name)
    h = 0xcbf29ce484222325
    for b in name.encode():
        h = ((h ^ b) * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF
    return os.path.join(directory, "~%016x" % h)


def read_exact(conn, n):
    data = b""
    while len(data) < n:
        chunk = conn.recv(n - len(data))
        if not chunk:
            return None
        data += chunk
    return data


def connect(name, wait=60.0):
    deadline = time.time() + wait
    while True:
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            s.connect(port_path(name))
            return s
        except OSError:
            s.close()
            if time.time() > deadline:
                raise
            time.sleep(0.02)


def send(name, command, action, flag=None):
    s = connect(name)
    s.sendall(struct.pack(">II", action, len(command)) + command)
    if flag:
        open(flag, "w").close()
    if action & NONRET:
        s.close()
        return None
    head = read_exact(s, 12)
    if head is None:
        return "closed"
    rc, secondary, length = struct.unpack(">iiI", head)
    body = read_exact(s, length) or b""
    s.close()
    return "%d %d %s" % (rc, secondary, body.decode(errors="replace"))


def serve(args):
    path = port_path(args.port)
    os.makedirs(os.path.dirname(path), mode=0o700, exist_ok=True)
    if os.path.exists(path):
        os.unlink(path)
    listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    listener.bind(path)
    listener.listen(8)
    served = 0
    while args.count == 0 or served < args.count:
        conn, _ = listener.accept()
        head = read_exact(conn, 8)
        if head is None:
            conn.close()
            continue
        action, length = struct.unpack(">II", head)
        command = read_exact(conn, length) or b""
        served += 1
        if args.log:
            with open(args.log, "a") as log:
                log.write("%08x %s\n" % (action, command.decode(errors="replace")))
        result = args.result.encode()
        if args.relay:
            answer = send(args.relay, command, RXCOMM | RESULT)
            result += answer.split(" ", 2)[2].encode()
        if not action & NONRET:
            if args.close:
                conn.close()
                continue
            if not action & RESULT:
                result = b""
            conn.sendall(struct.pack(">iiI", args.rc, args.secondary, len(result)) + result)
        conn.close()
    os.unlink(path)


def hostile(args):
    s = connect(args.port)
    if args.kind == "big":
        s.sendall(struct.pack(">II", RXCOMM | RESULT, 0xFFFFFFFF))
    elif args.kind == "truncated":
        s.sendall(struct.pack(">II", RXCOMM | RESULT, 100) + b"only part")
        s.shutdown(socket.SHUT_WR)
    elif args.kind == "random":
        s.sendall(bytes((i * 151 + 7) & 0xFF for i in range(64)))
    if args.kind != "silent":
        s.settimeout(10)
        print("closed" if s.recv(1) == b"" else "answered")
    else:
        signal.pause()  # holds the connection until the test ends it


def flood(args):
    conns = [connect(args.port) for _ in range(args.count)]
    for i, s in enumerate(conns):
        command = b"req %d" % i
        s.sendall(struct.pack(">II", RXCOMM | RESULT, len(command)) + command)
    open(args.flag, "w").close()
    codes = set()
    for s in conns:
        head = read_exact(s, 12)
        codes.add("closed" if head is None else str(struct.unpack(">iiI", head)[0]))
        s.close()
    print(" ".join(sorted(codes)))


def hold(args):
    conns = []
    for _ in range(args.count):
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        # A blocking connect waits while the backlog is full, up to the send timeout.
        s.setsockopt(socket.SOL_SOCKET, socket.SO_SNDTIMEO, struct.pack("ll", 1, 0))
        try:
            s.connect(port_path(args.port))
        except OSError:
            s.close()
            break
        conns.append(s)
    print("holding", flush=True)
    time.sleep(args.seconds)


def main():
    parser = argparse.ArgumentParser()
    sub = parser.add_subparsers(dest="mode", required=True)
    p = sub.add_parser("serve")
    p.add_argument("port")
    p.add_argument("--rc", type=int, default=0)
    p.add_argument("--secondary", type=int, default=0)
    p.add_argument("--result", default="")
    p.add_argument("--relay")
    p.add_argument("--log")
    p.add_argument("--count", type=int, default=0)
    p.add_argument("--close", action="store_true")
    p = sub.add_parser("send")
    p.add_argument("port")
    p.add_argument("command")
    p.add_argument("--noreturn", action="store_true")
    p.add_argument("--flag")
    p.add_argument("--escapes", action="store_true")
    p = sub.add_parser("flood")
    p.add_argument("port")
    p.add_argument("count", type=int)
    p.add_argument("flag")
    p = sub.add_parser("hold")
    p.add_argument("port")
    p.add_argument("count", type=int)
    p.add_argument("seconds", type=float)
    p = sub.add_parser("hostile")
    p.add_argument("port")
    p.add_argument("kind", choices=["big", "truncated", "random", "silent"])
    args = parser.parse_args()
    if args.mode == "serve":
        serve(args)
    elif args.mode == "send":
        action = RXCOMM | (NONRET if args.noreturn else RESULT)
        command = args.command.encode()
        if args.escapes:
            command = command.decode("unicode_escape").encode("latin-1")
        reply = send(args.port, command, action, args.flag)
        print(reply if reply is not None else "sent", flush=True)
    elif args.mode == "flood":
        flood(args)
    elif args.mode == "hold":
        hold(args)
    else:
        hostile(args)


if __name__ == "__main__":
    sys.exit(main())
