#!/usr/bin/env bash
# Checks the installed tree and the Debian package as a user's desktop sees them.
#   install_test.sh tree|start|package BUILD_DIR FILE_LIST
# FILE_LIST names every file installed, relative to the prefix.
set -euo pipefail
mode=$1 build=$2 list=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/zj-install.XXXXXX")
pid=
trap '[ -z "$pid" ] || kill -KILL "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
trap 'echo "FAIL: line $LINENO" >&2' ERR

# Installs into $work/root under the prefix /usr/local, as `make install` would.
install_tree() {
  DESTDIR="$work/root" cmake --install "$build" --prefix /usr/local >/dev/null
  tree="$work/root/usr/local"
}

# Every file listed is there and nothing else.
same_files() {
  diff -u <(sort "$list") <(sort) || fail "$1: the files differ from $list"
}

png_size() {
  local b
  read -ra b < <(od -An -tu1 -j16 -N8 "$1")
  echo "$(( (b[0] << 24) + (b[1] << 16) + (b[2] << 8) + b[3] ))x$(( (b[4] << 24) + (b[5] << 16) + (b[6] << 8) + b[7] ))"
}

case $mode in
tree)
  install_tree
  (cd "$tree" && find . ! -type d | sed 's|^\./||') | same_files "installed tree"
  out=$(desktop-file-validate "$tree"/share/applications/*.desktop 2>&1) || fail "desktop entry: $out"
  [ -z "$out" ] || fail "desktop entry: $out"
  # Also finds the desktop entry the metadata launches.
  appstreamcli validate-tree --no-net "$tree" || fail "AppStream metadata"
  for png in "$tree"/share/icons/hicolor/*/apps/*.png; do
    folder=$(basename "$(dirname "$(dirname "$png")")")
    [ "$(png_size "$png")" = "$folder" ] || fail "$png is $(png_size "$png")"
  done
  warnings=$(man --warnings -E UTF-8 -l -Tutf8 "$tree/share/man/man1/zjedit.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man page: $warnings"
  ;;
start)
  install_tree
  # No display and settings of its own: the program writes its settings file
  # once its main window is made.
  export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" HOME="$work/home"
  mkdir -p "$HOME"
  settings="$XDG_CONFIG_HOME/zorvane-java-editor/registry.reg"
  "$tree/bin/zjedit" >"$work/output" 2>&1 &
  pid=$!
  # The settings are written value by value: wait for the last of them.
  for _ in $(seq 600); do
    grep -qx '"FontSize"=dword:00000008' "$settings" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$settings" ] || { cat "$work/output"; fail "no settings file written"; }
  grep -qx '"FontSize"=dword:00000008' "$settings" || fail "settings: $(cat "$settings")"
  # Time for a late failure to show before the program is told to end.
  sleep 1
  kill -0 "$pid" 2>/dev/null || { cat "$work/output"; fail "the program ended by itself"; }
  kill -TERM "$pid"
  status=0
  wait "$pid" || status=$?
  pid=
  [ "$status" -eq $((128 + 15)) ] || { cat "$work/output"; fail "ended with status $status, not by SIGTERM"; }
  ;;
package)
  cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
  deb=$(echo "$work"/*.deb)
  [ -f "$deb" ] || fail "no package made"
  dpkg-deb -I "$deb"
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sed 's|^\./usr/||' | same_files "package"
  [ "$(dpkg-deb -f "$deb" Package)" = zjedit ] || fail "package name"
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture"
  depends=$(dpkg-deb -f "$deb" Depends)
  # Every library the program loads directly comes from a package it depends
  # on; Qt's SVG plugin, loaded at run time, is named by hand.
  dpkg-deb -x "$deb" "$work/root"
  program="$work/root/usr/bin/zjedit"
  needed=(libqt6svg6)
  for lib in $(objdump -p "$program" | awk '$1 == "NEEDED" { print $2 }'); do
    path=$(ldd "$program" | awk -v lib="$lib" '$1 == lib { print $3 }')
    [ -f "$path" ] || fail "$lib not found"
    # Half of the libraries are registered under /lib, half under /usr/lib.
    real=$(readlink -f "$path")
    owner=$(dpkg -S "$real" 2>/dev/null || dpkg -S "${real#/usr}" 2>/dev/null) || fail "no package holds $real"
    needed+=("${owner%%:*}")
  done
  for p in "${needed[@]}"; do
    [[ ", $depends," == *", $p "* || ", $depends," == *", $p,"* ]] || fail "Depends lacks $p: $depends"
  done
  [[ $(objdump -h "$program") != *debug_info* ]] || fail "the program is not stripped"
  ;;
*)
  fail "unknown mode $mode"
  ;;
esac
