#!/usr/bin/env bash
# The terminal form: without a display every message is one line on standard
# error, nothing goes to standard output, and the exit code tells a failure.
#
# usage: terminal_e2e.sh path/to/quillpost
set -euo pipefail

exe=$1
work=$(mktemp -d /tmp/qp-terminal-e2e-XXXXXX)
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY
export HOME="$work/home"
mkdir -p "$HOME" "$work/run" "$work/start"
cp "$exe" "$work/run/quillpost"

fail() {
  echo "FAIL: $*" >&2
  sed 's/^/  quillpost: /' "$work/stderr" >&2
  exit 1
}

# expect CODE LINE ARGS...: runs from the start folder and checks the exit
# code, the one line on standard error and the empty standard output.
expect() {
  local code=$1 line=$2 rc=0
  shift 2
  (cd "$work/start" && "$work/run/quillpost" "$@") >"$work/stdout" 2>"$work/stderr" || rc=$?
  [ "$rc" -eq "$code" ] || fail "exit code $rc, not $code, for: $*"
  [ "$(cat "$work/stderr")" = "$line" ] || fail "standard error for: $*"
  [ ! -s "$work/stdout" ] || fail "standard output not empty for: $*"
}

expect 1 "没有图形桌面：请在桌面会话中启动以关联右键菜单，或把要发布的文件作为参数"
expect 1 "上传功能尚未完成" "relative name.txt"
expect 1 "上传功能尚未完成" "/abs/one" "/abs/two"
[ ! -e "$work/run/设置.ini" ] || fail "settings file written"
[ -z "$(ls -A "$HOME")" ] || fail "home folder touched"
echo "terminal e2e: ok"
