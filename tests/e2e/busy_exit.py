#!/usr/bin/env python3
"""Closing the reader while it is busy: it ends at once and leaves no debris.

Starts build/bin/kelvor on a home whose first item, expanded at start, is a
hot category of 200 channels served on 127.0.0.1 by a server that trickles
every feed slowly, so that five downloads run and the rest wait. Once they
run, the window is closed from the File menu. The reader must end within a
few seconds (the time is printed), write no copy of a feed it did not finish,
leave no temporary file, and leave kelvor.db whole.

Usage: xvfb-run -a -s "-screen 0 1280x800x24" busy_exit.py BIN_DIR
"""

import http.server
import os
import shutil
import socket
import sqlite3
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import user_day as day  # noqa: E402  (the window helpers)

CHANNELS = 200

INDEX = """<?xml version="1.0" encoding="utf-8"?>
<Tree Index="about:blank" About="端到端测试">
  <TreeNode Title="热点关注" NodeSrc="/fav/hot.xml" Img="hot"/>
</Tree>"""


def hot_file(port):
    nodes = "".join('<TreeNode Title="频道 %d" Rss="http://127.0.0.1:%d/feed/%d.xml"/>' % (i, port, i)
                    for i in range(CHANNELS))
    return '<?xml version="1.0" encoding="utf-8"?><Tree Type="hot" Title="热点关注">%s</Tree>' % nodes


def trickling_server():
    """Answers every feed with a body that comes a few bytes at a time."""
    stopping = threading.Event()
    requests = []

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            requests.append(self.path)
            self.send_response(200)
            self.send_header("Content-Type", "application/rss+xml")
            self.send_header("Content-Length", "1000000")
            self.end_headers()
            try:
                self.wfile.write(b"<?xml version='1.0'?><rss><channel><title>slow</title>")
                while not stopping.wait(0.1):
                    self.wfile.write(b"<!-- still coming -->")
                    self.wfile.flush()
            except OSError:
                pass  # the reader hung up

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, stopping, requests


def busy_exit():
    server, stopping, requests = trickling_server()
    port = server.server_address[1]
    scratch = tempfile.mkdtemp(prefix="kelvor-exit-")
    home = os.path.join(scratch, "home")
    env = dict(os.environ)
    for name, folder in (("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                         ("XDG_CACHE_HOME", "cache")):
        env[name] = os.path.join(scratch, folder)
    env["QT_QPA_PLATFORM"] = "xcb"
    env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + os.path.join(scratch, "no-bus")
    closed = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    closed.bind(("127.0.0.1", 0))
    day.offline_environment(env, closed.getsockname()[1])
    env["KELVOR_HOME"] = ""
    os.makedirs(os.path.join(home, "fav"))
    with open(os.path.join(home, "index.xml"), "w", encoding="utf-8") as f:
        f.write(INDEX)
    with open(os.path.join(home, "fav", "hot.xml"), "w", encoding="utf-8") as f:
        f.write(hot_file(port))
    try:
        reader = day.Reader(home, env)
        day.wait_for(lambda: len(requests) >= 5, "five downloads under way")
        began = time.monotonic()
        code = reader.quit_from_menu()
        took = time.monotonic() - began
        print("# the reader ended %.2f s after File > Exit, with %d of %d feeds asked"
              % (took, len(requests), CHANNELS), flush=True)
        day.check(code == 0, "the reader exits cleanly (code %s)" % code)
        day.check(took < 15, "the reader ends within moments, not when the downloads would")
        rss = os.path.join(home, "rss")
        left = sorted(os.listdir(rss)) if os.path.isdir(rss) else []
        day.check(not [n for n in left if n.endswith(".xml")],
                  "no copy of an unfinished feed is written: %s" % left)
        day.check(not [n for n in left if "kelvor-tmp" in n], "no temporary file is left: %s" % left)
        database = os.path.join(home, "kelvor.db")
        if os.path.exists(database):
            verdict = sqlite3.connect(database).execute("PRAGMA integrity_check").fetchone()[0]
            day.check(verdict == "ok", "kelvor.db is whole (%s)" % verdict)
        return 0
    except day.Failure as failure:
        print("not ok -", failure, flush=True)
        return 1
    finally:
        for process in day.Reader.started:
            day.end_process_tree(process)
        day.Reader.started.clear()
        stopping.set()
        closed.close()
        server.shutdown()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    for tool in ("xdotool", "xclip"):
        if not shutil.which(tool):
            print("skipped: %s is not installed" % tool)
            sys.exit(77)
    sys.exit(busy_exit())
