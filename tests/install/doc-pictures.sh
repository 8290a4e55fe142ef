#!/usr/bin/env bash
# Takes the user guide's pictures (docs/images/guide-*.png) from the running program: the
# built host on the demo database under Xvfb with a window manager (openbox, for the
# frames), driven with xdotool, captured with ImageMagick's import.
#   tests/install/doc-pictures.sh BUILD_DIR [OUT_DIR]     (OUT_DIR defaults to docs/images)
# Needs: xvfb openbox xdotool imagemagick python3 qt6-translations-l10n (scripts/install-deps),
# and the target tallyleaf_doc_pictures built in BUILD_DIR. TALLYLEAF_PICTURES_DISPLAY
# chooses the X display (default 57).
#
# The controls are found where the host says they are (its inspector socket,
# TALLYLEAF_INSPECT_SOCKET), by component name, menu caption or item text, and every step
# waits until the window shows what the next one needs, so a changed layout moves the
# clicks with it. Still look at every picture after a change to the windows.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${1:?usage: tests/install/doc-pictures.sh BUILD_DIR [OUT_DIR]}")
out=$(realpath -m "${2:-docs/images}")
for tool in Xvfb openbox xdotool import convert python3; do
  command -v "$tool" >/dev/null || { echo "doc-pictures: $tool is not installed" >&2; exit 1; }
done
mkdir -p "$out"
scratch=$(mktemp -d /tmp/tallyleaf-pictures.XXXXXX)
home=$scratch/home
mkdir -p "$scratch"/{data,config,work/导出} "$home/文档"
# A person's own folders: the print dialog proposes the documents folder ("文档").
echo "XDG_DOCUMENTS_DIR=\"$home/文档\"" >"$scratch/config/user-dirs.dirs"
export HOME=$home XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config XDG_RUNTIME_DIR=$scratch
export QT_QPA_PLATFORM=xcb DISPLAY=:${TALLYLEAF_PICTURES_DISPLAY:-57}
export TALLYLEAF_INSPECT_SOCKET=$scratch/inspect.sock
# A machine without printers: a print server that is not there.
export CUPS_SERVER=$scratch/no-print-server.sock
unset QT_QPA_PLATFORMTHEME

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

# ask WHAT [ARGS]: waits (up to 60 s) until the host shows WHAT, and prints where it is.
#   widget NAME         an enabled control by component name: "X Y" (its centre)
#   item NAME TEXT      a row of the list or tree NAME: "X Y" (the start of its visible part)
#   menu CAPTION        a caption of the main window's menu bar: "X Y"
#   menu-item TEXT      an enabled item of the open menu: "X Y"
#   open-menu           the open menu: "X Y W H"
#   window TITLE        a window or sub-window by title: "X Y W H"
#   report TEXT         the sheet shows a cell containing TEXT
#   checked NAME 0|1    the check box NAME is (1) or is not (0) ticked
#   message TEXT        a message box saying TEXT is in front
read -r -d '' ASK <<'PY' || true
import json, socket, sys, time

path, what, *args = sys.argv[1:]


def look():
    try:
        with socket.socket(socket.AF_UNIX) as s:
            s.connect(path)
            data = b""
            while chunk := s.recv(1 << 16):
                data += chunk
        return json.loads(data)
    except (OSError, ValueError):
        return None   # the host is starting or busy


def plain(text):
    return text.replace("&", "").split("\t")[0].strip()


def centre(r):
    return f"{r[0] + r[2] // 2} {r[1] + r[3] // 2}"


def visible_start(item, view):
    # An item's text may run past the view's edge: its visible start is what a person clicks.
    left, right = max(item[0], view[0]), min(item[0] + item[2], view[0] + view[2])
    return f"{left + min(40, (right - left) // 2)} {item[1] + item[3] // 2}"


def found(snap):
    widgets = snap["widgets"]
    named = [w for w in widgets if w["name"] == (args[0] if args else None)]
    if what == "widget":
        return next((centre(w["rect"]) for w in named if w["enabled"]), None)
    if what == "item":
        for w in named:
            for i in w.get("items", []):
                if i["text"] == args[1]:
                    return visible_start(i["rect"], w["rect"])
    if what == "menu":
        for w in widgets:
            main = widgets[w["window"]]["name"] == "frmHostMain"
            if main and "QMenuBar" in w["classes"]:
                return next((centre(i["rect"]) for i in w["items"] if plain(i["text"]) == args[0]), None)
    if what in ("menu-item", "open-menu") and snap["popup"] >= 0:
        menu = widgets[snap["popup"]]
        if what == "open-menu":
            return " ".join(map(str, menu["rect"]))
        return next((centre(i["rect"]) for i in menu.get("items", [])
                     if plain(i["text"]) == args[0] and i["enabled"]), None)
    if what == "window":
        return next((" ".join(map(str, w["rect"])) for w in widgets
                     if w.get("title") == args[0] and (w["window"] == w["id"] or "QMdiSubWindow" in w["classes"])), None)
    if what == "report":
        for w in widgets:
            if "sheet::SheetView" in w["classes"] and any(args[0] in c["text"] for c in w["items"]):
                return "shown"
    if what == "checked":
        return next(("yes" for w in named if w.get("checked") == (args[1] == "1")), None)
    if what == "message" and snap["modal"] >= 0:
        box = widgets[snap["modal"]]
        said = "".join(w.get("text", "") for w in widgets if w["window"] == box["id"] and "QLabel" in w["classes"])
        return "shown" if "QMessageBox" in box["classes"] and args[0] in said else None
    return None


deadline = time.monotonic() + 60
while True:
    snap = look()
    answer = found(snap) if snap else None
    if answer:
        print(answer)
        break
    if time.monotonic() > deadline:
        titles = [w.get("title") for w in (snap or {}).get("widgets", []) if "title" in w]
        sys.exit(f"doc-pictures: waited 60 s for {what} {' '.join(args)}; windows on the screen: {titles}")
    time.sleep(0.2)
PY
ask() { python3 -c "$ASK" "$TALLYLEAF_INSPECT_SOCKET" "$@"; }

Xvfb "$DISPLAY" -screen 0 1400x900x24 >/dev/null 2>&1 & pids+=($!)
sleep 1
openbox >/dev/null 2>&1 & pids+=($!)
sleep 1

window() { xdotool search --sync --onlyvisible --name "$1" | head -1; }
# The pointer rests outside the windows, so no hover or tooltip shows in a picture.
rest() { xdotool mousemove 1395 895; sleep 1; }
frame() { rest; import -frame -window "$(window "$1")" "$2"; }
click() { local at; at=$(ask "$@"); read -r x y <<<"$at"; xdotool mousemove "$x" "$y" sleep 0.3 click 1; sleep 0.5; }
choose() { click menu "$1"; click menu-item "$2"; }
start_host() {
  (cd "$scratch/work" && exec "$build/host/tallyleaf-host" --ini "$scratch/host.INI" >"$scratch/host.log" 2>&1) &
  host=$!
  pids+=("$host")
  local main; main=$(window 预算管理系统)
  ask window 预算管理系统 >/dev/null
  xdotool windowmove --sync "$main" 0 0 windowsize --sync "$main" 1120 760
  sleep 1
}
stop_host() { kill "$host"; wait "$host" 2>/dev/null || true; }
main_frame() { frame 预算管理系统 "$1"; }

# The main frame and its 系统 menu: the frame's corner down to the menu's bottom.
start_host
click menu "系统(X)"
read -r mx my mw mh <<<"$(ask open-menu)"
rest
import -window root "$scratch/root.png"
convert "$scratch/root.png" -crop "$((mx + mw + 180))x$((my + mh + 12))+0+0" +repage "$out/guide-system-menu.png"
xdotool key Escape

# The print window, opened from the menu, on the bureau 105 (a unit with units below it).
choose "系统(X)" 指标打印
ask report 年国库集中支付改革 >/dev/null
click item trvList "105 市财政局"
ask report 市财政局2024年国库集中支付改革 >/dev/null
main_frame "$out/guide-print-window.png"

# 连续打印 ticked, continuous export: the folder dialog, then the message.
click widget cbNum
ask checked cbNum 1 >/dev/null
main_frame "$out/guide-continuous.png"
click widget tbtnExcel
ask window 请选择保存路径 >/dev/null
frame 请选择保存路径 "$out/guide-folder-dialog.png"
xdotool type --delay 30 "$scratch/work/导出"; xdotool key Return
ask message 数据导出成功 >/dev/null
frame 提示信息 "$out/guide-export-done.png"
xdotool key Return

# Single export: the save dialog with its proposed name (cancelled).
click widget cbNum
ask checked cbNum 0 >/dev/null
click widget tbtnExcel
ask window 另存为 >/dev/null
xdotool windowmove --sync "$(window 另存为)" 200 150
frame 另存为 "$out/guide-save-dialog.png"
xdotool key Escape

# The preview window, enlarged.
click widget tbnPrintView
ask window 打印预览 >/dev/null
preview=$(window 打印预览)
xdotool windowmove --sync "$preview" 120 60 windowsize --sync "$preview" 1100 760
sleep 2
frame 打印预览 "$out/guide-preview.png"
xdotool key Escape
stop_host

# The print dialog of a machine without printers, wide enough for the proposed file
# (cancelled).
start_host
choose "系统(X)" 指标打印
ask report 年国库集中支付改革 >/dev/null
click widget tbnPrint
ask window 打印 >/dev/null
xdotool windowsize --sync "$(window '^打印$')" 900 230 windowmove --sync "$(window '^打印$')" 150 200
frame '^打印$' "$out/guide-print-dialog.png"
xdotool key Escape
stop_host

# The export settings dialog (not on the print window's menu: drawn by its own program).
"$build/tests/install/tallyleaf_doc_pictures" "$scratch/expset.png" 6 >/dev/null 2>&1 & pids+=($!)
frame 导出设置 "$out/guide-export-settings.png"
echo "pictures in $out"
