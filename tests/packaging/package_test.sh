#!/bin/bash
# The Debian package as an operator gets it: made by CPack from this build, unpacked into a
# scratch root, checked for its files and dependencies, and its program run from there.
# Usage: package_test.sh BUILD_DIR CPACK
set -euo pipefail

build=$1
cpack=$2
scratch=$build/test-tmp/package
rm -rf "$scratch"
mkdir -p "$scratch"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Its own package folder, so that a `make package` meanwhile does not meet this one.
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
debs=("$scratch"/out/rilo-server_*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "expected one package in $scratch/out"
deb=${debs[0]}
dpkg-deb --info "$deb"

root=$scratch/root
dpkg -x "$deb" "$root"
program=$root/usr/bin/rilo-server
unit=$root/usr/lib/systemd/system/rilo-server.service
[ -x "$program" ] || fail "no /usr/bin/rilo-server in the package"
[ -f "$unit" ] || fail "no systemd unit in the package"
[ -f "$root/usr/share/doc/rilo-server/operating.md" ] || fail "no operating.md in the package"

# The unit names the installed program and page, not the build's or /usr/local's.
grep -q "^ExecStart=.*exec /usr/bin/rilo-server serve " "$unit" || fail "ExecStart: $(grep ExecStart= "$unit")"
grep -qx "Documentation=file:///usr/share/doc/rilo-server/operating.md" "$unit" ||
  fail "$(grep Documentation= "$unit")"
! grep -q "@RILO_" "$unit" || fail "unit left with a placeholder"

# Every shared library the program needs comes from a package it depends on.
depends=$(dpkg-deb --field "$deb" Depends)
depends_names=$(tr ',' '\n' <<<"$depends" | sed 's/[(|].*//; s/ //g')
for soname in $(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
  owners=$(dpkg -S "*/$soname" 2>/dev/null | sed 's/: .*//; s/,/ /g' | tr ' ' '\n' | sort -u)
  [ -n "$owners" ] || fail "no installed package holds $soname"
  found=no
  for owner in $owners; do
    owner=${owner%%:*}
    if grep -qxF "$owner" <<<"$depends_names"; then found=yes; fi
  done
  [ $found = yes ] || fail "$soname comes from $owners, which Depends ($depends) does not name"
done

# The unpacked program runs: a short demo on the embedded engine shows every kind of event.
"$program" --version | grep -q "^rilo-server " || fail "--version"
"$program" demo --seconds 3 --interval 1 --dir "$scratch/demo" >"$scratch/demo.log" 2>&1 ||
  { cat "$scratch/demo.log" >&2; fail "demo failed"; }
cat "$scratch/demo.log"
grep -q "Demo over after 3 s: .* 1 refresh (0 failed)" "$scratch/demo.log" || fail "demo did not end as expected"
echo "package ok: $(basename "$deb")"
