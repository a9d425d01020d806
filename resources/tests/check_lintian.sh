#!/usr/bin/env bash
# Builds the .deb from a finished build and holds it to Debian's policy as
# lintian reads it: any E: or W: line fails. The package is made under a
# umask of 077, so a directory that keeps the packager's umask shows up as
# non-standard-dir-perm here rather than on a user's machine.
# Exits 77 (skipped) when lintian is not installed.
# Usage: check_lintian.sh BUILD_DIR
set -euo pipefail
command -v lintian >/dev/null || { echo "SKIP lintian is not installed (scripts/install-deps --extras)"; exit 77; }
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL $*"; exit 1; }

(cd "$build" && umask 077 && cpack -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log"; fail "cpack"; }
debs=("$scratch"/out/kelvor_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || fail "cpack made no kelvor_*.deb"

# The changelog's newest entry must be the version being packaged, or the
# package describes a release it is not.
version=$(dpkg-deb -f "$deb" Version)
logged=$(dpkg-parsechangelog -l "$source_dir/resources/packaging/changelog" -S Version)
[ "$logged" = "$version" ] || fail "resources/packaging/changelog starts at $logged, the package is $version"
echo "ok   changelog names $version"

# --no-cfg: a developer's ~/.config/lintian must not change the verdict.
status=0
lintian --no-cfg --display-info "$deb" >"$scratch/lintian.log" 2>&1 || status=$?
cat "$scratch/lintian.log"
if grep -qE '^[EW]: ' "$scratch/lintian.log"; then
  fail "lintian reports errors or warnings"
fi
# 1 is lintian's "tags at the fail-on level", already looked at above; more
# means lintian itself could not run.
[ "$status" -le 1 ] || fail "lintian exited $status"
echo "ok   lintian: no errors or warnings"
