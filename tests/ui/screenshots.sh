#!/bin/bash
# Takes the README screenshots from the real program: orvex-agent against the exchange
# simulator, on a virtual X server with a window manager that has a tray.
#   xvfb-run -a -s "-screen 0 1280x800x24" tests/ui/screenshots.sh BUILD_DIR OUT_DIR
# Needs icewm, xdotool and imagemagick (apt-get install icewm xdotool imagemagick).
set -u
BUILD=$(realpath "${1:-build}")
OUT=$(realpath "${2:-docs}")
BIN=$BUILD/bin
WORK=$(mktemp -d)
mkdir -p "$OUT"
PIDS=()
cleanup() { for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$WORK"; }
trap cleanup EXIT

export XDG_RUNTIME_DIR=$WORK/run LANG=C.UTF-8 LC_ALL=C.UTF-8
mkdir -m 700 "$XDG_RUNTIME_DIR"
icewm >/dev/null 2>&1 & PIDS+=($!)
sleep 2

# The window with this title, once it is mapped.
window() {
    local id
    for _ in $(seq 50); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    echo "no window '$1'" >&2
    return 1
}
# Grabs a window with its frame; with a third argument, that many pixels of the screen
# above and below it too (for an open drop-down list).
shot() {
    local id
    id=$(window "$1") || return 1
    xdotool windowactivate --sync "$id" 2>/dev/null
    sleep 0.6
    if [ -z "${3:-}" ]; then
        import -frame -window "$id" "$OUT/$2"
    else
        eval "$(xdotool getwindowgeometry --shell "$id")"
        import -window root -crop "$((WIDTH + 8))x$((HEIGHT + 30 + 2 * $3))+$((X - 4))+$((Y - 26 - $3))" +repage "$OUT/$2"
    fi
    echo "$OUT/$2"
}
keys() { xdotool key --delay 120 "$@"; sleep 0.7; }
log() { echo "$(date +%T) $*" >&2; }

# A mail configuration with one mailbox, so the Mail602 gateway comes up.
mkdir -p "$WORK/mail/recepce/"{new,cur,tmp} "$WORK/work"
printf 'Subject: Vzkaz\n\nZavolejte prosim.\n' > "$WORK/mail/recepce/new/1.eml"
cat > "$WORK/mail/mail.cfg" <<CFG
[outbox]
dir=$WORK/mail/outbox
[types]
I=%s
L=%s@localhost
[mailbox1]
name=Recepce
line=21
maildir=$WORK/mail/recepce
CFG

start_sim() {  # number, extra simulator options; sets SIM_PTY
    # The simulator reads commands from standard input: keep it open, and quiet.
    mkfifo "$WORK/sim.in.$1"
    exec {fd}<>"$WORK/sim.in.$1"
    "$BIN/orvex-exchange-sim" --quiet --lines 21-28 "${@:2}" <&"$fd" > "$WORK/sim.out.$1" 2>&1 & PIDS+=($!)
    for _ in $(seq 50); do
        SIM_PTY=$(sed -n 's/^PTY //p' "$WORK/sim.out.$1" | head -1)
        [ -n "$SIM_PTY" ] && return 0
        sleep 0.1
    done
    return 1
}
write_ini() {  # port
    cat > "$WORK/Agent.ini" <<INI
[Set]
Port=$1:19200,N,8,1
IPPort=12347
ReadUct=1
UctFile=$WORK/DATA.NEW
[Log]
Com_In=1
Com_PureIn=0
Com_LocOut=1
TCP/IP_In=1
TCP/IP_Out=1
[M602]
CestaKeKonfiguraciMail602=$WORK/mail/mail.cfg
CestaKPracovnimuAdresari=$WORK/work
Uzivatel=agent
[Trapy]
AdresaPrijemce=dispecink@example.cz
TypAdresyPrijemce=I
Subject=Ústředna Orvex
ZpravaComOff=Chyba komunikace s ústřednou
ZpravaComOn=Obnovena komunikace s ústřednou
INI
}

# --- Main window with a running log, the dialogs, help and About box.
printf 'A0 01 02 03 04 05 06 07 08 09\n' > "$WORK/uct.txt"
start_sim 1 --trap '0:I:dispecink@example.cz\nPorucha linky 24\nLinka 24 nehlasi volny ton' --uct-file "$WORK/uct.txt"
write_ini "$SIM_PTY"
"$BIN/orvex-agent" --config "$WORK/Agent.ini" >/dev/null 2>&1 & AGENT=$!; PIDS+=($AGENT)
MAIN=$(window '^Orvex Agent$')
sleep 4
for req in "00 0B 03" "00 16" "00 0B 03" "02"; do "$BIN/orvex-client" --port 12347 "$req" >/dev/null 2>&1; sleep 0.4; done
sleep 3
shot '^Orvex Agent$' main-window.png

# Settings menu items, by accelerator or by position.
HELP='da Orvex Agent$'  # "<topic> – Nápověda Orvex Agent"
keys alt+s 6; keys Tab Tab Tab Tab Tab; xdotool type tajneheslo; shot 'Mail602$' dialog-mail602.png; keys Escape
keys alt+s 6; keys Tab space; shot 'adres' dialog-directory.png; keys Escape; keys Escape
keys alt+s l;     shot 'TRAP' dialog-traps.png; keys Escape
keys alt+s v;     shot '^Serial port selection$' dialog-port.png
keys alt+Down;    shot '^Serial port selection$' dialog-port-list.png 60; keys Escape
keys F1;          shot "$HELP" help-port.png
xdotool windowclose "$(window "$HELP")" 2>/dev/null; sleep 0.5
xdotool windowactivate --sync "$(window '^Serial port selection$')"; keys Escape
keys alt+s g;     shot 'Logu$' dialog-log.png; keys Escape
keys alt+s Down Down Down Down Return; shot 'tov' dialog-accounting.png; keys Escape
keys alt+n o
xdotool mousemove --window "$(window '^O aplikaci$')" 180 88 click --repeat 2 --delay 80 1; sleep 0.3
shot '^O aplikaci$' about-box.png; keys Escape
keys shift+F1;    shot "$HELP" help-contents.png
xdotool windowclose "$(window "$HELP")" 2>/dev/null; sleep 0.5
xdotool windowactivate --sync "$MAIN"
eval "$(xdotool getwindowgeometry --shell "$MAIN")"
xdotool mousemove --window "$MAIN" 120 $((HEIGHT / 3)) click --repeat 2 --delay 80 1; sleep 0.8
shot '^Info$' dialog-info.png; keys Escape
# Hidden to the tray (Enter presses "Skrýt"): the icon's tip and its pop-up menu.
xdotool windowactivate --sync "$MAIN"; keys Return
TRAY=$(xdotool search --onlyvisible --pid "$AGENT" --name '^orvex-agent$' | head -1)
if [ -n "$TRAY" ]; then
    eval "$(xdotool getwindowgeometry --shell "$TRAY")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)); sleep 2
    import -window root -crop 300x70+$((X - 160))+$((Y - 40)) +repage "$OUT/tray-tip.png"
    xdotool click 3; sleep 1
    import -window root -crop 300x90+$((X - 160))+$((Y - 60)) +repage "$OUT/tray-menu.png"
    keys Escape
    xdotool click --repeat 2 --delay 80 1; sleep 1  # shows the window again
    window '^Orvex Agent$' >/dev/null && log "window back from the tray"
fi
xdotool windowactivate --sync "$MAIN" 2>/dev/null
keys alt+a u  # Ukončit
for _ in $(seq 25); do kill -0 "$AGENT" 2>/dev/null || break; sleep 0.2; done
kill -0 "$AGENT" 2>/dev/null && { log "agent still running after Ukončit"; kill "$AGENT"; }


log "main window done"
# --- The version-check boxes and the missing Agent.ini box.
start_sim 2 --compat 1,3 --info 3,1
write_ini "$SIM_PTY"
"$BIN/orvex-agent" --config "$WORK/Agent.ini" >/dev/null 2>&1 & AGENT=$!; PIDS+=($AGENT)
shot '^Upozorn' box-different-version.png
keys Return; sleep 0.5
kill "$AGENT" 2>/dev/null; wait "$AGENT" 2>/dev/null

start_sim 3 --compat 2,0 --info 3,1
write_ini "$SIM_PTY"
"$BIN/orvex-agent" --config "$WORK/Agent.ini" >/dev/null 2>&1 & AGENT=$!; PIDS+=($AGENT)
shot '^Chyba$' box-nonfunctional-version.png
keys Return; sleep 0.5
kill "$AGENT" 2>/dev/null; wait "$AGENT" 2>/dev/null

log "version boxes done"
"$BIN/orvex-agent" --config "$WORK/none/Agent.ini" >/dev/null 2>&1 & AGENT=$!; PIDS+=($AGENT)
shot '^Upozorn' box-missing-ini.png
keys Return; sleep 0.5
kill "$AGENT" 2>/dev/null; wait "$AGENT" 2>/dev/null
log "all done"
