#!/usr/bin/env bash
# Builds the .deb from a finished build, unpacks it into a scratch root
# (dpkg -x, as a machine without the build tree would have it) and runs the
# programs from there: both versions without a display, and a refresh of a
# channel whose feed is a local file.
# Usage: check_deb.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL $*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log"; fail "cpack"; }
deb="$scratch/out/kelvor_1.70_amd64.deb"
[ -f "$deb" ] || fail "no $deb"
depends=$(dpkg-deb -f "$deb" Depends)
for need in fonts-noto-cjk qt6-translations-l10n libqt6svg6 libqt6webenginewidgets6 libxml2 libcurl4; do
  [[ "$depends" == *"$need"* ]] || fail "Depends lacks $need: $depends"
done
echo "ok   Depends: $depends"

root="$scratch/root"
dpkg -x "$deb" "$root"
for f in usr/bin/kelvor usr/bin/kelvor-tool usr/share/kelvor/data/index.xml \
         usr/share/applications/org.kelvor.Kelvor.desktop usr/share/metainfo/org.kelvor.Kelvor.metainfo.xml \
         usr/share/icons/hicolor/256x256/apps/kelvor.png usr/share/man/man1/kelvor-tool.1.gz \
         usr/share/doc/kelvor/copyright usr/share/doc/kelvor/changelog.gz; do
  [ -f "$root/$f" ] || fail "package lacks /$f"
done
echo "ok   files"

[ "$("$root/usr/bin/kelvor-tool" --version)" = "kelvor-tool 1.70" ] || fail "kelvor-tool --version"
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/kelvor" --version)" = "kelvor 1.70" ] || fail "kelvor --version"
echo "ok   versions"

home="$scratch/home"
mkdir -p "$home"
cat >"$home/feed.xml" <<'XML'
<rss version="2.0"><channel><title>本地</title><item><title>第一条</title><link>http://127.0.0.1:9/1</link></item></channel></rss>
XML
cat >"$home/index.xml" <<XML
<Tree><TreeNode Title="本地频道" Rss="file://$home/feed.xml"/></Tree>
XML
"$root/usr/bin/kelvor-tool" refresh "$home/index.xml" --home "$home" >"$scratch/refresh.log" || { cat "$scratch/refresh.log"; fail "refresh"; }
grep -q "第一条" "$home"/rss/*.xml || fail "refresh wrote no copy: $(cat "$scratch/refresh.log")"
echo "ok   refresh from the unpacked package"
