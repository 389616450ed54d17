#!/usr/bin/env bash
# The window on a display of its own: the executable, copied alone into an
# empty folder and started through a symbolic link with an empty home,
# installs and removes its Send To entries from its two buttons.
#
# usage: window_e2e.sh path/to/quillpost
set -euo pipefail

exe=$1
work=$(mktemp -d /tmp/qp-window-e2e-XXXXXX)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/stderr" ] && sed 's/^/  quillpost: /' "$work/stderr" >&2
  exit 1
}

# Xvfb picks a free display number and tells it through the descriptor.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
unset WAYLAND_DISPLAY XDG_DATA_HOME
export HOME="$work/home"
mkdir -p "$HOME" "$work/run" "$work/elsewhere"

# until SECONDS COMMAND...: retries the command every tenth of a second.
until_ok() {
  local tries=$(($1 * 10))
  shift
  for _ in $(seq "$tries"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

window_named() { xdotool search --onlyvisible --name "^$1\$" | head -1; }

# Starts the program from a folder of its own, as a file manager would.
start() {
  (cd "$work/elsewhere" && exec "$1") >"$work/stdout" 2>"$work/stderr" &
  app_pid=$!
  until_ok 20 window_named 我 || fail "no window 我"
  window=$(window_named 我)
}

click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }

# dismiss TEXT: the box "提示" is up, its text went to standard error, and
# Return dismisses it.
dismiss() {
  until_ok 10 window_named 提示 || fail "no message box 提示 for $1"
  grep -qxF "$1" "$work/stderr" || fail "standard error lacks '$1'"
  xdotool windowfocus --sync "$(window_named 提示)"
  xdotool key Return
}

ends_with_zero() {
  local rc=0
  until_ok 10 bash -c "! kill -0 $app_pid" || fail "still running after $1"
  wait "$app_pid" || rc=$?
  app_pid=
  [ "$rc" -eq 0 ] || fail "exit code $rc after $1"
}

stays_open() {
  sleep 1
  kill -0 "$app_pid" 2>/dev/null || fail "ended after $1"
  [ -n "$(window_named 我)" ] || fail "window gone after $1"
  kill "$app_pid"
  wait "$app_pid" 2>/dev/null || true
  app_pid=
}

script="$HOME/.local/share/nautilus/scripts/Quillpost"
desktop="$HOME/.local/share/applications/quillpost.desktop"
cp "$exe" "$work/run/quillpost"
ln -s "$work/run/quillpost" "$work/elsewhere/link-to-quillpost"

# The window as the form lays it out.
start "$work/elsewhere/link-to-quillpost"
geometry=$(xwininfo -id "$window")
grep -q 'Absolute upper-left X: *50$' <<<"$geometry" || fail "window not at x 50"
grep -q 'Absolute upper-left Y: *50$' <<<"$geometry" || fail "window not at y 50"
grep -q 'Width: 461$' <<<"$geometry" || fail "window not 461 wide"
grep -q 'Height: 95$' <<<"$geometry" || fail "window not 95 high"

# 关联右键 sits at 256,22 in 分组框1 at 2,10: its centre is 290,44.
click 290 44
dismiss "成功！"
ends_with_zero "成功！"
[ -x "$script" ] || fail "no executable script entry"
[ -f "$desktop" ] || fail "no desktop entry"
# Both point at the real run directory, not at the link's folder.
grep -qF "exec '$work/run/quillpost' \"\$@\"" "$script" || fail "script target: $(cat "$script")"
grep -qxF "Exec=\"$work/run/quillpost\" %F" "$desktop" || fail "desktop target: $(cat "$desktop")"

# 取消关联 at 320,22 in the box: centre 354,44.
start "$work/run/quillpost"
click 354 44
dismiss "删除成功！"
ends_with_zero "删除成功！"
[ ! -e "$script" ] && [ ! -e "$desktop" ] || fail "entries left after removal"

start "$work/run/quillpost"
click 354 44
dismiss "删除失败！请检查信息或以管理员身份运行。"
stays_open "a removal with nothing to remove"

# A copy under another name has no executable under the fixed name to point at.
mkdir "$work/renamed"
cp "$exe" "$work/renamed/quillpost-copy"
start "$work/renamed/quillpost-copy"
click 290 44
dismiss "失败！请检查信息或以管理员身份运行。"
stays_open "an install without the executable"
[ ! -e "$script" ] && [ ! -e "$desktop" ] || fail "entries written without the executable"

# Association mode only reads the settings file.
[ ! -e "$work/run/设置.ini" ] && [ ! -e "$work/renamed/设置.ini" ] || fail "settings file written"
echo "window e2e: ok"
