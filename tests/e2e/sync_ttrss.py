#!/usr/bin/env python3
"""kelvor-tool sync against a real Tiny Tiny RSS server (scripts/ttrss-server).

Usage: sync_ttrss.py BIN_DIR

Subscriptions reach the reader's category file and copies, marks go both
ways, a channel added to the category is subscribed, and a server that goes
away in the middle of a sync loses nothing. The tool talks to the server
through a small relay in this script, which can cut the line at a chosen
call: that is the server going away, at a known point, every run.
Exits 77 (skipped) when the server cannot be started here.
"""

import http.server
import json
import os
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TOOL = os.path.join(os.path.abspath(sys.argv[1]), "kelvor-tool")
STATE = "/var/tmp/kelvor-ttrss"
FEEDS = os.path.join(STATE, "feeds")
PASSWORD = "kelvor-test"
DIRECT = urllib.request.build_opener(urllib.request.ProxyHandler({}))
# The server keeps the entries of a feed unsubscribed (archived) and does not
# give them to a new subscription: each run's entries are its own.
RUN = "r%d" % int(time.time() * 1000)


def start_server():
    env = dict(os.environ, KELVOR_TTRSS_FEEDS=FEEDS, KELVOR_TTRSS_STATE=STATE)
    try:
        run = subprocess.run([os.path.join(ROOT, "scripts", "ttrss-server"), "start"], env=env,
                             capture_output=True, text=True, timeout=900)
    except (OSError, subprocess.TimeoutExpired) as error:
        print("SKIP: the server could not be started:", error)
        sys.exit(77)
    if run.returncode != 0:
        print("SKIP: the server could not be started:", run.stderr.strip())
        sys.exit(77)
    # The address is the last line: tools the script starts may print before it.
    return run.stdout.strip().splitlines()[-1].rstrip("/")


class Api:
    def __init__(self, base):
        self.url = base + "/api/"
        self.sid = self.call("login", user="admin", password=PASSWORD)["session_id"]

    def call(self, op, **fields):
        body = dict(fields, op=op)
        if getattr(self, "sid", None):
            body["sid"] = self.sid
        request = urllib.request.Request(self.url, json.dumps(body).encode())
        answer = json.load(DIRECT.open(request, timeout=120))
        assert answer["status"] == 0, (op, answer)
        return answer["content"]

    def feeds(self):
        return {f["feed_url"]: f["id"] for f in self.call("getFeeds", cat_id=-3)}

    def headlines(self, feed):
        return {h["link"]: h for h in self.call("getHeadlines", feed_id=feed, limit=200)}

    def subscribe(self, url):
        self.call("subscribeToFeed", feed_url=url)
        feed = self.feeds()[url]
        self.call("updateFeed", feed_id=feed)
        return feed


class Relay(http.server.ThreadingHTTPServer):
    """Passes the tool's calls to the server; with cut_at set, closes the line
    at the first call of that op instead, as a server that went away."""

    def __init__(self, target):
        super().__init__(("127.0.0.1", 0), RelayHandler)
        self.target, self.cut_at, self.ops, self.bodies = target, None, [], []
        threading.Thread(target=self.serve_forever, daemon=True).start()

    @property
    def url(self):
        return "http://127.0.0.1:%d/" % self.server_address[1]


class RelayHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        fields = json.loads(body)
        op = fields.get("op")
        self.server.ops.append(op)
        self.server.bodies.append(fields)
        if op == self.server.cut_at:
            self.close_connection = True
            self.connection.shutdown(2)
            return
        request = urllib.request.Request(self.server.target + "/api/", body)
        answer = DIRECT.open(request, timeout=120).read()
        self.send_response(200)
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    def log_message(self, *args):
        pass


def link(name, i):
    return "http://example.invalid/%s/%s/%d" % (RUN, name, i)


def write_feed(name, title, count):
    items = "".join(
        "<item><title>%s %d</title><link>%s</link><guid>%s</guid>"
        "<description>Body %d of %s</description><pubDate>%s</pubDate></item>" % (
            title, i, link(name, i), link(name, i), i, title,
            time.strftime("%a, %d %b %Y %H:%M:%S +0000", time.gmtime(1704067200 + i * 3600)))
        for i in range(count))
    os.makedirs(FEEDS, exist_ok=True)
    with open(os.path.join(FEEDS, name + ".xml"), "w") as f:
        f.write('<?xml version="1.0"?><rss version="2.0"><channel><title>%s</title>'
                "<link>http://example.invalid/%s/</link>%s</channel></rss>" % (title, name, items))
    return "http://[::1]/%s.xml" % name


def sync(home, relay):
    env = dict(os.environ, KELVOR_SYNC_PASSWORD=PASSWORD)
    return subprocess.run([TOOL, "sync", "--home", home, "--server", relay.url, "--user", "admin"],
                          env=env, capture_output=True, text=True, timeout=600)


def synced(home, relay):
    run = sync(home, relay)
    assert run.returncode == 0, run.stderr
    return run.stdout


def count(output, label):
    return int(re.search(label + r"：(\d+)", output).group(1))


def category_file(home, relay):
    key = "127.0.0.1-%d" % relay.server_address[1]
    return os.path.join(home, "fav", "sync-%s.xml" % key)


def mark_read_in_reader(home, channel, entry):
    """What the reader's store does when an entry is read (store::setRead)."""
    db = sqlite3.connect(os.path.join(home, "kelvor.db"))
    db.execute("INSERT OR REPLACE INTO readmarks VALUES (?, ?, 1, ?)",
               (channel, entry, int(time.time()) + 1))
    db.commit()
    db.close()


def read_in_reader(home, channel, entry):
    db = sqlite3.connect(os.path.join(home, "kelvor.db"))
    row = db.execute("SELECT read FROM readmarks WHERE channel = ? AND entry = ?",
                     (channel, entry)).fetchone()
    db.close()
    return bool(row and row[0])


def copies(home):
    folder = os.path.join(home, "rss")
    return {n: open(os.path.join(folder, n), "rb").read()
            for n in sorted(os.listdir(folder)) if n.endswith(".xml")}


def a_day_later(home):
    """What a day's wait does to the sync's record: the whole list is due."""
    db = sqlite3.connect(os.path.join(home, "kelvor.db"))
    db.execute("UPDATE sync_state SET value = value - 86400 WHERE key = 'whole_list'")
    db.commit()
    db.close()


def drop_on_server(article):
    """The server dropping an article, as its purge does."""
    subprocess.run(["runuser", "-u", "postgres", "--", "psql", "-q", "-d", "ttrss", "-c",
                    "DELETE FROM ttrss_user_entries WHERE ref_id = %d" % article], check=True,
                   capture_output=True)


def headline_calls(relay):
    """(feed_id, since_id, show_content) of each getHeadlines the tool made."""
    return [(b["feed_id"], b["since_id"], b["show_content"]) for b in relay.bodies
            if b.get("op") == "getHeadlines"]


def clean_server(api):
    for feed in api.feeds().values():
        api.call("unsubscribeFeed", feed_id=feed)


def check(base, home):
    api = Api(base)
    clean_server(api)
    relay = Relay(base)
    feed_a = write_feed("e2e-a", "Alpha", 3)
    feed_b = write_feed("e2e-b", "Beta", 4)
    a, b = api.subscribe(feed_a), api.subscribe(feed_b)

    # Subscriptions become the category file and copies under rss/.
    out = synced(home, relay)
    assert count(out, "频道") == 2 and count(out, "新条目") == 7, out
    category = open(category_file(home, relay), encoding="utf-8").read()
    assert feed_a in category and feed_b in category, category
    assert "Alpha 2" in copies(home)["Alpha.xml"].decode(), copies(home)

    # A read mark of the reader reaches the server; the server's reach the reader.
    mark_read_in_reader(home, feed_a, link("e2e-a", 1))
    by_link = api.headlines(b)
    read_there = by_link[link("e2e-b", 2)]["id"]
    starred_there = by_link[link("e2e-b", 3)]["id"]
    api.call("updateArticle", article_ids=str(read_there), mode=0, field=2)
    api.call("updateArticle", article_ids=str(starred_there), mode=1, field=0)
    out = synced(home, relay)
    assert count(out, "发送的标记") == 1 and count(out, "收到的标记") == 2, out
    assert not api.headlines(a)[link("e2e-a", 1)]["unread"]
    assert read_in_reader(home, feed_b, link("e2e-b", 2))
    assert 'SyncId="%d" Starred="1"' % starred_there in copies(home)["Beta.xml"].decode()
    assert relay.ops.count("updateArticle") == 1, relay.ops

    # A channel added to the category in the reader is subscribed there.
    feed_c = write_feed("e2e-c", "Gamma", 2)
    text = open(category_file(home, relay), encoding="utf-8").read()
    text = text.replace("</Tree>", '<TreeNode Title="Gamma" Rss="%s"/></Tree>' % feed_c)
    open(category_file(home, relay), "w", encoding="utf-8").write(text)
    out = synced(home, relay)
    assert "新增订阅：1 个" in out, out
    assert feed_c in api.feeds()

    # Marks changed on the server on articles older than the highest id the
    # sync asked from reach the reader; a sync with nothing new asks for no
    # text but what is newer than that id, and no feed's own list.
    old = api.headlines(a)
    api.call("updateArticle", article_ids=str(old[link("e2e-a", 0)]["id"]), mode=0, field=2)
    api.call("updateArticle", article_ids=str(old[link("e2e-a", 2)]["id"]), mode=1, field=0)
    relay.bodies.clear()
    out = synced(home, relay)
    assert count(out, "收到的标记") == 2 and count(out, "新条目") == 0, out
    assert read_in_reader(home, feed_a, link("e2e-a", 0))
    starred_a = 'SyncId="%d" Starred="1"' % old[link("e2e-a", 2)]["id"]
    assert starred_a in copies(home)["Alpha.xml"].decode()
    calls = headline_calls(relay)
    assert all(feed < 0 for feed, _, _ in calls), calls
    assert [since > 0 for _, since, text in calls if text] == [True], calls

    # An article the server drops stays until the whole list is read again
    # (once a day), and goes from the copy then.
    dropped = 'SyncId="%d"' % api.headlines(b)[link("e2e-b", 1)]["id"]
    drop_on_server(api.headlines(b)[link("e2e-b", 1)]["id"])
    synced(home, relay)
    assert dropped in copies(home)["Beta.xml"].decode()
    a_day_later(home)
    out = synced(home, relay)
    assert dropped not in copies(home)["Beta.xml"].decode(), out
    assert "Beta 3" in copies(home)["Beta.xml"].decode()

    # The server goes away while the marks are being sent: nothing local moves.
    mark_read_in_reader(home, feed_b, link("e2e-b", 0))
    before = copies(home)
    relay.cut_at = "updateArticle"
    run = sync(home, relay)
    assert run.returncode != 0 and "无法连接同步服务器" in run.stderr, run
    assert copies(home) == before
    relay.cut_at = None
    out = synced(home, relay)
    assert count(out, "发送的标记") == 1, out
    assert not api.headlines(b)[link("e2e-b", 0)]["unread"]

    # And when it cannot be reached at all, the reason is said in Chinese.
    run = sync(home, type("Closed", (), {"url": "http://127.0.0.1:9/",
                                         "server_address": ("", 9)})())
    assert run.returncode != 0 and "无法连接同步服务器" in run.stderr, run
    clean_server(api)
    print("sync_ttrss: 1 passed, 0 failed")


def main():
    base = start_server()
    home = tempfile.mkdtemp(prefix="kelvor-sync-")
    try:
        check(base, home)
    finally:
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
