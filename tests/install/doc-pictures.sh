#!/usr/bin/env bash
# Takes the user guide's pictures (docs/images/guide-*.png) from the running program: the
# built host on the demo database under Xvfb with a window manager (openbox, for the
# frames), driven with xdotool, captured with ImageMagick's import.
#   tests/install/doc-pictures.sh BUILD_DIR [OUT_DIR]     (OUT_DIR defaults to docs/images)
# Needs: xvfb openbox xdotool imagemagick qt6-translations-l10n (apt-get install ...), and
# the target tallyleaf_doc_pictures built in BUILD_DIR. The clicks use the window layout
# of the designed forms at a 1400 × 900 screen; look at every picture after a layout change.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:?usage: tests/install/doc-pictures.sh BUILD_DIR [OUT_DIR]}")
out=$(realpath -m "${2:-docs/images}")
mkdir -p "$out"
scratch=$(mktemp -d /tmp/tallyleaf-pictures.XXXXXX)
mkdir -p "$scratch"/{data,config,work/导出}
export XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config QT_QPA_PLATFORM=xcb
export DISPLAY=:${TALLYLEAF_PICTURES_DISPLAY:-57}

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

Xvfb "$DISPLAY" -screen 0 1400x900x24 >/dev/null 2>&1 & pids+=($!)
sleep 1
openbox >/dev/null 2>&1 & pids+=($!)
sleep 1

window() { xdotool search --sync --onlyvisible --name "$1" | head -1; }
frame() { import -frame -window "$(window "$1")" "$2"; }
click() { xdotool mousemove "$1" "$2" sleep 0.3 click 1; sleep "${3:-1}"; }
start_host() {
  (cd "$scratch/work" && exec "$build/host/tallyleaf-host" "$@" >/dev/null 2>&1) & host=$!
  pids+=("$host")
  local main; main=$(window 预算管理系统)
  sleep 3
  xdotool windowmove --sync "$main" 0 0 windowsize --sync "$main" 1400 870
  sleep 1
}

# The main frame and its 系统 menu.
start_host
xdotool key alt+x; sleep 1.5
import -window root "$scratch/root.png"
convert "$scratch/root.png" -crop 520x200+0+0 +repage "$out/guide-system-menu.png"
xdotool key Escape
kill "$host"; sleep 1

# The print window on the bureau 105 (a unit with units below it).
start_host --open TbfrmTallyleaf
click 335 328 3
import -window root "$scratch/root.png"
convert "$scratch/root.png" -crop 834x618+216+162 +repage "$out/guide-print-window.png"

# 连续打印 ticked, continuous export: the folder dialog, then the message.
click 455 239
import -window root "$scratch/root.png"
convert "$scratch/root.png" -crop 834x618+216+162 +repage "$out/guide-continuous.png"
click 263 204 3
frame 请选择保存路径 "$out/guide-folder-dialog.png"
xdotool type --delay 30 "$scratch/work/导出"; xdotool key Return
sleep 5
frame Corvalind "$out/guide-export-done.png"
xdotool key Return; sleep 1

# Single export: the save dialog with its proposed name (cancelled).
click 455 239
click 263 204 3
saveas=$(window 另存为)
xdotool windowmove "$saveas" 300 200; sleep 1
frame 另存为 "$out/guide-save-dialog.png"
xdotool key Escape; sleep 1

# The preview window, enlarged.
click 329 204 4
preview=$(window 打印预览)
xdotool windowmove --sync "$preview" 120 60 windowsize --sync "$preview" 1100 760
sleep 2
frame 打印预览 "$out/guide-preview.png"
xdotool windowclose "$preview" || true
kill "$host"; sleep 1

# The print dialog of a machine without printers (a fresh window: cancelled).
start_host --open TbfrmTallyleaf
click 373 204 4
frame '^打印$' "$out/guide-print-dialog.png"
xdotool key Escape; sleep 1
kill "$host"; sleep 1

# The export settings dialog (not on the print window's menu: drawn by its own program).
"$build/tests/install/tallyleaf_doc_pictures" "$scratch/expset.png" 6 >/dev/null 2>&1 & pids+=($!)
sleep 3
frame 导出设置 "$out/guide-export-settings.png"
echo "pictures in $out"
