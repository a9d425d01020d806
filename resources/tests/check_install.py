#!/usr/bin/env python3
"""Installs the build into a scratch root (DESTDIR) and checks that a
desktop would find everything there: both programs, the starter collection
where HomeFolder.cpp looks for it, the desktop entry, the icon at every size,
AppStream metadata and the man pages; then runs the installed kelvor-tool.

Usage: check_install.py BUILD_DIR
"""

import os
import struct
import subprocess
import sys
import tempfile
import time

BUILD = os.path.abspath(sys.argv[1])
PREFIX = "/usr"
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
EXPECTED = [
    "bin/kelvor", "bin/kelvor-tool",
    "share/kelvor/data/index.xml", "share/kelvor/data/styles/fav.xsl",
    "share/applications/org.kelvor.Kelvor.desktop",
    "share/metainfo/org.kelvor.Kelvor.metainfo.xml",
    "share/icons/hicolor/scalable/apps/kelvor.svg",
    "share/man/man1/kelvor.1.gz", "share/man/man1/kelvor-tool.1.gz",
    "share/doc/kelvor/copyright", "share/doc/kelvor/changelog.gz",
] + ["share/icons/hicolor/%dx%d/apps/kelvor.png" % (s, s) for s in ICON_SIZES]

failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", head[16:24])


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, timeout=120, **kw)


with tempfile.TemporaryDirectory() as root:
    env = dict(os.environ, DESTDIR=root)
    result = run(["cmake", "--install", BUILD, "--prefix", PREFIX], env=env)
    check(result.returncode == 0, "cmake --install: " + result.stderr.strip()[-300:])
    top = os.path.join(root, PREFIX.lstrip("/"))
    for rel in EXPECTED:
        check(os.path.isfile(os.path.join(top, rel)), "installed " + rel)
    for s in ICON_SIZES:
        path = os.path.join(top, "share/icons/hicolor/%dx%d/apps/kelvor.png" % (s, s))
        check(os.path.isfile(path) and png_size(path) == (s, s), "icon is %d x %d" % (s, s))

    desktop = os.path.join(top, "share/applications/org.kelvor.Kelvor.desktop")
    result = run(["desktop-file-validate", desktop])
    check(result.returncode == 0 and not result.stdout.strip(),
          "desktop-file-validate " + result.stdout.strip())
    metainfo = os.path.join(top, "share/metainfo/org.kelvor.Kelvor.metainfo.xml")
    result = run(["appstreamcli", "validate", "--no-net", metainfo])
    check(result.returncode == 0, "appstreamcli validate " + result.stdout.strip()[-300:])
    text = open(desktop, encoding="utf-8").read()
    for line in ("Name[zh_CN]=万象汇览", "Exec=kelvor %U", "Categories=Network;News;", "Icon=kelvor"):
        check(line in text.splitlines(), "desktop entry has " + line)
    meta = open(metainfo, encoding="utf-8").read()
    check('<release version="1.70"' in meta and "<screenshot" in meta,
          "metainfo names release 1.70 and a screenshot")

    tool = os.path.join(top, "bin/kelvor-tool")
    result = run([tool, "--version"])
    check(result.returncode == 0 and "1.70" in result.stdout, "installed kelvor-tool --version")
    # The installed reader seeds a new home from share/kelvor/data, found
    # beside bin/, before it opens a window.
    home = os.path.join(root, "home")
    reader_env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
                      QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu")
    reader = subprocess.Popen([os.path.join(top, "bin/kelvor"), "--home", home], env=reader_env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.time() + 30
    seeded = lambda: os.path.isfile(os.path.join(home, "fav", "fav.xsl"))
    while time.time() < deadline and not seeded() and reader.poll() is None:
        time.sleep(0.2)
    reader.terminate()
    try:
        reader.wait(10)
    except subprocess.TimeoutExpired:
        reader.kill()
        reader.wait()
    check(seeded() and os.path.isfile(os.path.join(home, "index.xml")),
          "the installed reader seeds a new home folder")

print("%d failed" % len(failures))
sys.exit(1 if failures else 0)
