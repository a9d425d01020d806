#!/usr/bin/env python3
"""Times kelvor-tool sync against the real server at 100 channels of 200
entries: a first sync, a second with nothing new, one after marks changed
on the server in one channel, and one a day later (the whole list read
again). Not run by ctest; needs root, as the server does.

Usage: sync_timing.py BIN_DIR [CHANNELS [ENTRIES]]
"""

import os
import subprocess
import sys
import tempfile
import shutil
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sync_ttrss as e2e  # noqa: E402  (its helpers: the server, relay, feeds)


def timed(label, home, relay):
    relay.ops.clear()
    started = time.monotonic()
    out = e2e.synced(home, relay)
    print("%s: %.1f s, %d calls (%d getHeadlines); %s" % (
        label, time.monotonic() - started, len(relay.ops), relay.ops.count("getHeadlines"),
        out.strip().replace("\n", "; ")), flush=True)


def main():
    channels = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    entries = int(sys.argv[3]) if len(sys.argv) > 3 else 200
    base = e2e.start_server()
    home = tempfile.mkdtemp(prefix="kelvor-sync-timing-")
    api = e2e.Api(base)
    e2e.clean_server(api)
    relay = e2e.Relay(base)
    try:
        for n in range(channels):
            url = e2e.write_feed("timing-%03d" % n, "Timing %03d" % n, entries)
            api.call("subscribeToFeed", feed_url=url)
        subprocess.run([os.path.join(e2e.ROOT, "scripts", "ttrss-server"), "update"], check=True)
        timed("first sync", home, relay)
        timed("second sync, nothing new", home, relay)
        some = sorted(h["id"] for h in api.headlines(api.feeds()[url]).values())[:4]
        api.call("updateArticle", article_ids=",".join(map(str, some[:3])), mode=0, field=2)
        api.call("updateArticle", article_ids=str(some[3]), mode=1, field=0)
        timed("3 read and 1 starred on the server", home, relay)
        e2e.a_day_later(home)
        timed("a day later (whole list)", home, relay)
    finally:
        e2e.clean_server(api)
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
