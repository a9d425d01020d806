#!/usr/bin/env python3
"""Checks the starter collection (data/) and the artwork (resources/).

What a new user sees first must load: every tree file must be a Tree the
reader accepts, every local address in it must lead to a file that is
shipped, every shipped feed must give entries, the style sheet copies must
agree, and the icons must be SVG that Qt's renderer draws at the size the
widgets ask for.

Usage: check_starter_data.py [PROJECT_DIR]   (default: two levels up)
Uses the standard library only; xsltproc is used when it is installed.
Ends with the line "N passed, N failed" and exits non-zero on a failure.
"""

import email.utils
import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

PROJECT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                          os.path.join(os.path.dirname(__file__), "..", ".."))
DATA = os.path.join(PROJECT, "data")
STYLES = os.path.join(DATA, "styles")
ICONS = os.path.join(PROJECT, "resources", "icons")
QRC = os.path.join(PROJECT, "resources", "kelvor.qrc")

IMG_KEYWORDS = {"hot", "rss", "url", "fav", "upd", "txt"}
STYLE_SHEETS = ("fav.xsl", "hot.xsl", "rss.xsl")
TREE_ICONS = ["0-folder", "1-folder-open", "2-link", "3-channel", "4-hot",
              "5-fav", "6-rss", "7-url", "8-update", "9-text"]
ICON_SIZES = {"tree": 16, "toolbar": 24, "address": 18, "tab": 16}
# Elements outside what Qt's SVG renderer (SVG Tiny 1.2) draws.
UNSUPPORTED_SVG = {"filter", "mask", "clipPath", "foreignObject", "style",
                   "pattern", "image", "text", "script", "symbol", "marker"}
SVG_NS = "{http://www.w3.org/2000/svg}"


class Failure(Exception):
    pass


def check(cond, message):
    if not cond:
        raise Failure(message)


def rel(path):
    return os.path.relpath(path, PROJECT)


def xml_files(folder, suffixes=(".xml", ".opml", ".xsl")):
    for root, _, files in os.walk(folder):
        for name in sorted(files):
            if name.endswith(suffixes):
                yield os.path.join(root, name)


def tree_files():
    """Files of the tree format: index.xml and everything under fav/."""
    yield os.path.join(DATA, "index.xml")
    for path in xml_files(os.path.join(DATA, "fav"), (".xml",)):
        yield path


def is_scheme(address):
    """An address that starts with a scheme (http:, https:, file:)."""
    return re.match(r"[A-Za-z][A-Za-z0-9+.-]+:", address) is not None


def stylesheet_href(path):
    with open(path, encoding="utf-8") as f:
        head = f.read(400)
    m = re.search(r'<\?xml-stylesheet[^>]*href="([^"]+)"', head)
    return m.group(1) if m else None


def local_target(address):
    """The file a local address names, as the reader resolves it when it is
    started in the home folder (a copy of data/)."""
    if address.startswith("/"):
        return os.path.join(DATA, address.lstrip("/"))
    if address.startswith("file:///"):
        return address[7:]
    return os.path.join(DATA, address)


# ---------------------------------------------------------------- data/

def test_every_file_is_utf8_xml():
    for path in xml_files(DATA):
        with open(path, "rb") as f:
            raw = f.read()
        try:
            raw.decode("utf-8")
        except UnicodeDecodeError as e:
            raise Failure(f"{rel(path)}: not UTF-8 ({e})")
        check(re.match(rb'<\?xml version="1.0" encoding="utf-8"\?>', raw),
              f"{rel(path)}: must start with a UTF-8 XML declaration")
        try:
            ET.fromstring(raw)
        except ET.ParseError as e:
            raise Failure(f"{rel(path)}: {e}")


def test_index_root_attributes():
    root = ET.parse(os.path.join(DATA, "index.xml")).getroot()
    check(root.tag == "Tree", "index.xml: root must be Tree")
    check(re.match(r"https?://", root.get("Home", "")), "index.xml: Home must be a web address")
    check(root.get("About", "").strip(), "index.xml: About is empty")
    index = root.get("Index", "")
    check(index and not is_scheme(index) and not index.startswith("/"),
          "index.xml: Index must be a path relative to the home folder")
    check(os.path.isfile(os.path.join(DATA, index)), f"index.xml: Index {index} is not shipped")


def test_index_starts_with_the_two_categories():
    nodes = ET.parse(os.path.join(DATA, "index.xml")).getroot().findall("TreeNode")
    check(len(nodes) >= 2, "index.xml: fewer than two items")
    for node, title, src, img, kind in ((nodes[0], "我的收藏", "/fav/fav.xml", "fav", "fav"),
                                        (nodes[1], "热点关注", "/fav/hot.xml", "hot", "hot")):
        check(node.get("Title") == title and node.get("NodeSrc") == src and node.get("Img") == img,
              f"index.xml: expected {title} -> {src} first")
        root = ET.parse(local_target(src)).getroot()
        check(root.get("Type") == kind, f"{src}: Type must be {kind}")
        check(len(root.findall("TreeNode")) > 0,
              f"{src}: a category without items is not listed for send-to")


def test_tree_structure():
    """Shapes the reader would show differently from what the file means."""
    for path in tree_files():
        root = ET.parse(path).getroot()
        check(root.tag == "Tree", f"{rel(path)}: root must be Tree")
        for node in root.iter("TreeNode"):
            title = node.get("Title", "")
            where = f"{rel(path)}: item '{title}'"
            children = list(node)
            check(title.strip(), f"{rel(path)}: an item without a Title")
            if node.get("Img") is not None:
                check(node.get("Img") in IMG_KEYWORDS, f"{where}: unknown Img {node.get('Img')}")
            descs = [i for i, c in enumerate(children) if c.tag == "Desc"]
            check(descs in ([], [0]), f"{where}: a Desc that is not the first child is never shown")
            kids = [c for c in children if c.tag == "TreeNode"]
            if kids and not node.get("NodeSrc") and not node.get("Rss"):
                check(children[0].tag == "TreeNode",
                      f"{where}: children after a Desc make it a leaf; they would never show")
            if node.get("Rss") is not None or node.get("NodeSrc") is not None:
                check(not kids, f"{where}: a channel or sub-tree does not show inline children")
            if node.get("Rss") is not None:
                check(not re.search(r"[/\\\x00-\x1f]", title),
                      f"{where}: a channel title becomes a cache file name")
            if node.get("Href") is not None:
                href = node.get("Href")
                check(re.match(r"https?://", href), f"{where}: Href {href} is not a web address")


def test_local_addresses_are_shipped():
    for path in tree_files():
        for node in ET.parse(path).getroot().iter("TreeNode"):
            for attr in ("NodeSrc", "Rss"):
                address = node.get(attr)
                if not address:
                    continue
                if is_scheme(address) and not address.startswith("file:"):
                    check(re.match(r"https?://", address), f"{rel(path)}: {attr} {address}")
                    continue
                target = local_target(address)
                check(os.path.isfile(target),
                      f"{rel(path)}: {attr} {address} -> {rel(target)} is not shipped")


def test_every_tree_file_names_a_shipped_style_sheet():
    for path in tree_files():
        href = stylesheet_href(path)
        check(href in STYLE_SHEETS, f"{rel(path)}: names no known style sheet")
        check(os.path.isfile(os.path.join(STYLES, href)), f"data/styles/{href} is missing")


def test_no_two_data_files_are_the_same():
    """One copy of everything: seeding a home folder places the style sheets
    where the pages need them."""
    seen = {}
    for root, _, files in os.walk(DATA):
        for name in sorted(files):
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                content = f.read()
            if content in seen:
                raise Failure(f"{rel(path)} is a copy of {rel(seen[content])}")
            seen[content] = path


def test_hot_channels_keep_their_desc_first():
    root = ET.parse(os.path.join(DATA, "fav", "hot.xml")).getroot()
    channels = [n for n in root.iter("TreeNode") if n.get("Rss")]
    check(len(channels) >= 4, "hot.xml: expected at least four channels")
    for node in channels:
        children = list(node)
        check(children and children[0].tag == "Desc",
              f"hot.xml: channel '{node.get('Title')}' needs a Desc first (headlines live on it)")


def test_shipped_feeds_have_entries():
    feeds = [p for p in xml_files(os.path.join(DATA, "feeds"), (".xml",))]
    check(len(feeds) >= 3, "fewer than three shipped feeds")
    for path in feeds:
        root = ET.parse(path).getroot()
        items = list(root.iter("item"))
        check(10 <= len(items) <= 20, f"{rel(path)}: {len(items)} items, want 10-20")
        for item in items:
            fields = {c.tag: (c.text or "") for c in item}
            check(fields.get("title", "").strip(), f"{rel(path)}: an item without a title")
            check(fields.get("description", "").strip(),
                  f"{rel(path)}: '{fields['title']}' has no description")
            if "link" in fields:
                check(re.match(r"https?://", fields["link"]), f"{rel(path)}: bad link {fields['link']}")
            date = fields.get("pubDate", "")
            parsed = email.utils.parsedate_to_datetime(date) if date else None
            check(parsed, f"{rel(path)}: '{fields['title']}' has no pubDate")
            check(date.startswith(parsed.strftime("%a, ")),
                  f"{rel(path)}: {date} names the wrong weekday")


def test_shipped_opml_lists_feeds():
    for path in xml_files(os.path.join(DATA, "feeds"), (".opml",)):
        root = ET.parse(path).getroot()
        check(root.tag == "opml", f"{rel(path)}: the root must be exactly 'opml'")
        feeds = [o for o in root.iter("outline") if o.get("xmlUrl")]
        check(len(feeds) == 3, f"{rel(path)}: expected three feed outlines")
        for o in feeds:
            check(o.get("title") and o.get("htmlUrl"), f"{rel(path)}: an outline lacks title or htmlUrl")


def test_stylesheets_render_descriptions_as_html():
    xsltproc = shutil.which("xsltproc")
    if not xsltproc:
        return "skipped: xsltproc is not installed"
    for path in tree_files():
        href = stylesheet_href(path)
        out = subprocess.run([xsltproc, os.path.join(STYLES, href), path],
                             capture_output=True, text=True, check=False)
        check(out.returncode == 0, f"{rel(path)}: xsltproc failed: {out.stderr.strip()}")
        html = out.stdout
        check('<meta charset="utf-8">' in html, f"{rel(path)}: page declares no charset")
        check("&lt;p&gt;" not in html, f"{rel(path)}: a description came out escaped")
        for node in ET.parse(path).getroot().iter("TreeNode"):
            title = node.get("Title", "").replace("&", "&amp;").replace("<", "&lt;")
            check(title in html, f"{rel(path)}: '{title}' is missing from the page")


def test_readme_present():
    check(os.path.isfile(os.path.join(DATA, "README.md")), "data/README.md is missing")


# ---------------------------------------------------------------- resources/

def svg_files():
    for root, _, files in os.walk(ICONS):
        for name in sorted(files):
            if name.endswith(".svg"):
                yield os.path.join(root, name)


def test_tree_icons_are_the_ten_of_the_image_list():
    names = sorted(f[:-4] for f in os.listdir(os.path.join(ICONS, "tree")) if f.endswith(".svg"))
    check(names == TREE_ICONS, f"resources/icons/tree holds {names}")


def test_icons_are_plain_svg_of_their_size():
    for path in svg_files():
        folder = os.path.basename(os.path.dirname(path))
        size = ICON_SIZES.get(folder, 48)
        root = ET.parse(path).getroot()
        check(root.tag == SVG_NS + "svg", f"{rel(path)}: not an SVG document")
        check(root.get("viewBox") == f"0 0 {size} {size}", f"{rel(path)}: viewBox must be 0 0 {size} {size}")
        check(root.get("width") == str(size) and root.get("height") == str(size),
              f"{rel(path)}: width and height must be {size}")
        for el in root.iter():
            tag = el.tag.replace(SVG_NS, "")
            check(tag not in UNSUPPORTED_SVG, f"{rel(path)}: <{tag}> is not drawn by Qt's SVG renderer")
            for key in el.attrib:
                check("href" not in key, f"{rel(path)}: no references to other files")


def test_qrc_lists_every_icon():
    root = ET.parse(QRC).getroot()
    resources = root.findall("qresource")
    check(len(resources) == 1 and resources[0].get("prefix") == "/", "kelvor.qrc: one qresource with prefix /")
    listed = sorted(f.text for f in resources[0].findall("file"))
    present = sorted(os.path.relpath(p, os.path.dirname(QRC)) for p in svg_files())
    check(listed == present, f"kelvor.qrc lists {set(listed) ^ set(present)} differently from the files")


def main():
    tests = [(name, fn) for name, fn in globals().items() if name.startswith("test_")]
    passed = failed = skipped = 0
    for name, fn in tests:
        try:
            note = fn()
        except Failure as e:
            failed += 1
            print(f"FAIL {name}: {e}")
            continue
        except Exception as e:  # a broken file can fail in many ways
            failed += 1
            print(f"FAIL {name}: {type(e).__name__}: {e}")
            continue
        if note:
            skipped += 1
            print(f"skip {name}: {note}")
        else:
            passed += 1
            print(f"ok   {name}")
    line = f"{passed} passed, {failed} failed"
    print(line + (f", {skipped} skipped" if skipped else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
