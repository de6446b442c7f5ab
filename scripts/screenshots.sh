#!/usr/bin/env bash
# Pictures of the program's windows for the operator's manual, so that they
# follow the program: starts the built velmora under Xvfb on a sample show
# (simulated display COM0), opens each window from the keyboard as an operator
# would and captures it into help/manual/images/.
# Needs xvfb-run, xdotool and ImageMagick's import (installed by
# VELMORA_WITH_X=1 scripts/install-deps.sh, which this script runs first).
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=$root/help/manual/images

if [ -z "${VELMORA_SHOTS_DISPLAY:-}" ]; then
  VELMORA_WITH_X=1 "$root/scripts/install-deps.sh"
  exec env VELMORA_SHOTS_DISPLAY=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build"
fi

work=$(mktemp -d)
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The sample show: a project on the simulated display with a short scenario,
# and its own configuration folder so that nothing of the user's is touched.
export HOME=$work/home XDG_CONFIG_HOME=$work/config LANG=C.UTF-8
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$work/show"
show=$work/show
printf '%s\r\n' "《春雨》第一幕" "小镇茶馆，春天的午后。" "阿青：掌柜的，再来一壶龙井。" \
  "老周：今天这场雨，怕是要下到天黑了。" "阿青：雨停了我就走，不耽误你做生意。" \
  "老周：不急，听完这段评书再走。" "（雨声 🎵）" "第一幕终" >"$show/剧本.txt"
convert -size 256x32 gradient:red-black BMP3:"$show/logo.bmp"
cli=$build/cli/velmora-cli
"$cli" project new "$show/演出.prj"
"$cli" project set "$show/演出.prj" ComPort=0 ScenarioFile=剧本.txt \
  LogoLandFile="$show/logo.bmp" LogoPortFile="$show/logo.bmp" TempText=演出即将开始，请关闭手机

key() { xdotool key --delay 80 "$@"; sleep 0.6; }
type_text() { xdotool type --delay 60 "$1"; sleep 0.4; }
# The newest visible window whose title matches; waits for it to appear.
window() {
  local id
  for _ in $(seq 50); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1 || true)
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.2
  done
  echo "no window '$1' among:" >&2
  for id in $(xdotool search --onlyvisible --name .); do xdotool getwindowname "$id"; done >&2
  echo "The program said:" >&2
  cat "$work/velmora.log" >&2
  exit 1
}
focus() { xdotool windowfocus --sync "$1"; sleep 0.3; }
shot() {
  sleep 0.8   # the window paints itself first
  import -window "$(window "$1")" "$out/$2.png"
  echo "$2.png"
}

mkdir -p "$out"
"$build/velmora" "$show/演出.prj" >"$work/velmora.log" 2>&1 &
app=$!
main=$(window 'Velmora舞台字幕编辑系统')
focus "$main"
sleep 2   # the scenario is read and the list filled

# The show under way: a click sends the first caption, Space the second.
xdotool mousemove --window "$main" 300 277 click 1
sleep 3
key space
sleep 3
shot 'Velmora舞台字幕编辑系统' main

# The scenario editor is on the tool bar only: its button is clicked while
# no other window covers it.
xdotool mousemove --window "$main" 153 50 click 1
window '剧本编辑$' >/dev/null
key alt+f o
sleep 1
type_text "$show/剧本.txt"
key Return
shot '剧本编辑$' editor
focus "$(window '剧本编辑$')"
key alt+f x
focus "$main"

key alt+s f
shot '^字体设置$' font
key Escape
focus "$main"

key alt+s c
shot '^检查剧本$' check
key Escape
focus "$main"

key alt+t
shot '^临时信息$' temp
key Escape
focus "$main"

key alt+s i
shot '^密码对话框$' access
type_text 168
key Return
shot '^特殊信息$' special
key Escape
focus "$main"

key alt+c m
sleep 1
shot '^LED监视器$' monitor
focus "$main"

key alt+c w
shot '^远程与观众$' remote
key Escape
focus "$main"

key alt+c l
shot '^演出记录' showlog
key Escape
focus "$main"

key alt+h k
shot '^快捷键一览$' keys
key Escape
focus "$main"

key F1
shot '^使用说明$' manual
focus "$main"

key alt+s p
window '^密码对话框$' >/dev/null
type_text 168
key Return
shot '^参数设置$' screen
key Escape
focus "$main"

