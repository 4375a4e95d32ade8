#!/usr/bin/env bash
# The agent's main job on this machine: the exchange simulator on a pseudo-terminal, the
# agent (headless) on it, and TCP clients asking through the agent.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh
scripts/build.sh build -DORVEX_WERROR=ON >/dev/null
bin=$root/build/bin
work=$(mktemp -d)
agent_pid=""
cleanup() {
  [ -n "$agent_pid" ] && kill "$agent_pid" 2>/dev/null || true
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

step() { printf '\n== %s\n' "$*"; }

# The exchange prints "PTY /dev/pts/N" first, then every frame it receives (RX) and sends (TX);
# it takes commands on standard input.
mkfifo "$work/exchange.in"
"$bin/orvex-exchange-sim" < "$work/exchange.in" > "$work/exchange.log" &
sim_pid=$!
exec 3>"$work/exchange.in"
for _ in $(seq 50); do grep -q '^PTY ' "$work/exchange.log" 2>/dev/null && break; sleep 0.1; done
pty=$(sed -n 's/^PTY //p' "$work/exchange.log")
step "exchange simulator on $pty"

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$work/Agent.ini" <<INI
[Set]
Port=$pty:19200,N,8,1
IPPort=$port
ReadUct=1
SendUct=1
[Log]
TCP/IP_Out=1
[Timer]
URInterval=300
URIntervalBezDat=600
INI
step "agent on TCP port $port (its event log follows, one line per entry)"
(cd "$work" && exec "$bin/orvex-agent" --headless --config "$work/Agent.ini" 2>/dev/null) &
agent_pid=$!
sleep 2

step "client: read record 3 of structure 11 (goes to the exchange)"
"$bin/orvex-client" --port "$port" 00 0B 03
step "client: the same read again (answered from the agent's cache)"
"$bin/orvex-client" --port "$port" 00 0B 03
step "client: line status (the agent starts polling it for its clients)"
"$bin/orvex-client" --port "$port" 00 16 00
sleep 1
"$bin/orvex-client" --port "$port" 00 16 00

step "exchange: two call-accounting lines"
echo "uct 11.12.26 10:01 21 0601234567 00:01:05" >&3
echo "uct 11.12.26 10:02 22 0607654321 00:00:12" >&3
sleep 2
step "client: accounting lines through the agent"
"$bin/orvex-client" --port "$port" --uct
step "accounting file DATA.NEW"
cat -A "$work/DATA.NEW"

step "SIGTERM: the agent closes in order and zeroes the mailbox counters"
kill -TERM "$agent_pid"
wait "$agent_pid" || true
agent_pid=""
sleep 0.3
echo "last frames the exchange received:"
grep '^RX' "$work/exchange.log" | tail -3
