#!/usr/bin/env bash
# The agent's main job on this machine, end to end: the exchange simulator on a
# pseudo-terminal, a local SMTP server (aiosmtpd) whose mail lands in a Maildir, Maildir
# mailboxes for two of the exchange's lines, the mail agent library configured for them,
# and the agent (headless) with short timers; TCP clients ask through it. Ends by itself.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh
echo "Building (build/) ..."
scripts/build.sh build -DORVEX_WERROR=ON >/dev/null
bin=$root/build/bin
python=/usr/bin/python3   # Debian's, which has aiosmtpd

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

step() { printf '\n\033[1m== %s\033[0m\n' "$*"; }
# Polls a command until it succeeds; false after the time-out (seconds).
wait_until() {
  local timeout=$1; shift
  local end=$((SECONDS + timeout))
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.1
  done
}
free_port() { "$python" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# The agent's event log, one line per entry: each step shows the lines it brought.
shown=0
agent_log() {
  local total
  total=$(wc -l < "$work/agent.log")
  if ((total > shown)); then
    sed -n "$((shown + 1)),${total}p" "$work/agent.log" | sed 's/^/  agent| /'
  fi
  shown=$total
}
agent_logged() { grep -qF -- "$1" "$work/agent.log"; }

# The simulator takes commands on its standard input and answers "OK <command>".
sim() {
  local before
  before=$(grep -c '^OK \|^ERR ' "$work/exchange.log" || true)
  echo "$*" >&3
  wait_until 5 sh -c "[ \$(grep -c '^OK \|^ERR ' '$work/exchange.log') -gt $before ]"
}
sim_state() {
  local before
  before=$(grep -c '^STATE ' "$work/exchange.log" || true)
  echo status >&3
  wait_until 5 sh -c "[ \$(grep -c '^STATE ' '$work/exchange.log') -gt $before ]"
  grep '^STATE ' "$work/exchange.log" | tail -1
}
# The mailbox counters the exchange holds for each line (sms, voice, fax per line).
counters() {
  sim_state | "$python" -c '
import sys
f = dict(kv.split("=", 1) for kv in sys.stdin.read().split()[1:])
c, lines = f["counters"], f["lines"].split(",")
if c == "-":
    print("  exchange: no counters written yet")
else:
    for i, line in enumerate(lines):
        sms, voice, fax = (int(c[8*i + 2*k: 8*i + 2*k + 2], 16) for k in range(3))
        print(f"  exchange: line {line}: sms {sms}, voice {voice}, fax {fax}")'
}
counters_show() { counters | grep -q "$1"; }
trap_cleared() { sim_state | grep -q ' traps=- '; }

# Mail that reached the SMTP server, shown as a mail reader shows it.
mails() { find "$work/inbox/new" -type f 2>/dev/null | wc -l; }
mails_at_least() { (($(mails) >= $1)); }
show_mail() {
  local file
  file=$(ls -tr "$work"/inbox/new/ | sed -n "${1}p")
  if [ -z "$file" ]; then
    echo "  mail| (mail $1 has not arrived)"
    return
  fi
  "$python" - "$work/inbox/new/$file" <<'PY'
import email, email.policy, sys
with open(sys.argv[1], 'rb') as f:
    m = email.message_from_binary_file(f, policy=email.policy.default)
for h in ('From', 'To', 'Subject', 'Date', 'X-Agentqx-Type'):
    if m[h] is not None:
        print(f"  mail| {h}: {m[h]}")
print("  mail|")
for line in m.get_content().strip().splitlines():
    print(f"  mail| {line}")
PY
}

step "local SMTP server (aiosmtpd), storing what it receives in the Maildir inbox/"
smtp_port=$(free_port)
mkdir -p "$work/inbox"/{new,cur,tmp}
"$python" -m aiosmtpd -n -l "127.0.0.1:$smtp_port" -c aiosmtpd.handlers.Mailbox "$work/inbox" 2>"$work/smtp.err" &
pids+=($!)
smtp_up() { "$python" -c "import socket; socket.create_connection(('127.0.0.1', $smtp_port), 1)" 2>/dev/null; }
wait_until 10 smtp_up
echo "  listening on 127.0.0.1:$smtp_port"

step "exchange simulator"
mkfifo "$work/exchange.in"
"$bin/orvex-exchange-sim" < "$work/exchange.in" > "$work/exchange.log" &
pids+=($!)
exec 3>"$work/exchange.in"
wait_until 5 grep -q '^PTY ' "$work/exchange.log"
pty=$(sed -n 's/^PTY //p' "$work/exchange.log")
echo "  on $pty, lines 21-24"

step "Maildir mailboxes of lines 21 and 22, and the mail library's configuration"
for box in recepce sklad; do mkdir -p "$work/mail/$box"/{new,cur,tmp}; done
cat > "$work/agentqx.ini" <<INI
[smtp]
host=127.0.0.1
port=$smtp_port
from=orvex-agent@orvex.test
timeout=5
[spool]
dir=spool
[types]
I=%s
Q=%s@sms.orvex.test
[mailbox1]
name=Recepce
line=21
maildir=mail/recepce
[mailbox2]
name=Sklad
line=22
maildir=mail/sklad
INI
sed 's/^/  agentqx.ini| /' "$work/agentqx.ini"

step "the agent (headless), its event log as it comes"
port=$(free_port)
cat > "$work/Agent.ini" <<INI
[Set]
Port=$pty:19200,N,8,1
IPPort=$port
ReadUct=1
SendUct=1
[Log]
Com_PureIn=0
TCP/IP_Out=1
[Timer]
TrapInterval=1000
MSGInterval=1000
ANTimeOut=2
URInterval=300
URIntervalBezDat=600
MaxTick=5
MaxError=3
MaxErrorTick=30
[M602]
CestaKeKonfiguraciMail602=$work/agentqx.ini
CestaKPracovnimuAdresari=$work
[Trapy]
AdresaPrijemce=operator@orvex.test
TypAdresyPrijemce=I
Subject=Ústředna
INI
(cd "$work" && exec "$bin/orvex-agent" --headless --config "$work/Agent.ini" > "$work/agent.log" 2>"$work/agent.err") &
agent_pid=$!
pids+=($agent_pid)
wait_until 15 agent_logged "Načtena čísla linek" || { agent_log; echo "the agent did not start"; exit 1; }
agent_log

step "client: read record 3 of structure 11 (goes to the exchange)"
"$bin/orvex-client" --port "$port" 00 0B 03 | sed 's/^/  client| /'
agent_log
step "client: the same read again (answered from the agent's cache, <CCH)"
"$bin/orvex-client" --port "$port" 00 0B 03 | sed 's/^/  client| /'
agent_log

step "client: line status (the agent starts polling it for its clients)"
"$bin/orvex-client" --port "$port" 00 16 00 | sed 's/^/  client| /'
sleep 1
"$bin/orvex-client" --port "$port" 00 16 00 | sed 's/^/  client| /'
agent_log

step "exchange: a TRAP for the Internet address operator@orvex.test"
sim 'trap 0 I operator@orvex.test\nPorucha linky 23\nLinka 23 nemá oznamovací tón od 10:42.'
wait_until 20 mails_at_least 1 || { agent_log; echo "no mail arrived"; exit 1; }
agent_log
echo "  the SMTP server received:"
show_mail 1
wait_until 10 trap_cleared || true
echo "  exchange: TRAP records still set: $(sim_state | sed 's/.*traps=\([^ ]*\).*/\1/') (the agent cleared it)"

step "a voice message arrives in the Maildir of line 21"
counters
cat > "$work/mail/recepce/tmp/voice1" <<'MSG'
From: hlasova-schranka@orvex.test
Subject: Vzkaz od 602 111 222
X-Message-Type: voice

(nahrávka 0:24)
MSG
mv "$work/mail/recepce/tmp/voice1" "$work/mail/recepce/new/voice1"
wait_until 15 counters_show "line 21: sms 0, voice 1" || true
agent_log
counters

step "the link is lost: the exchange falls silent"
sim "silent on"
wait_until 20 agent_logged "Ústředna není dostupná" || true
wait_until 20 mails_at_least 2 || true
agent_log
echo "  the SMTP server received:"
show_mail 2

step "the link is restored: the exchange answers again"
sim "silent off"
wait_until 20 agent_logged "Obnova komunikace s ústřednou" || true
wait_until 20 mails_at_least 3 || true
agent_log
echo "  the SMTP server received:"
show_mail 3

step "exchange: two call-accounting lines"
sim "uct 11.12.26 10:01 21 0601234567 00:01:05"
sim "uct 11.12.26 10:02 22 0607654321 00:00:12"
wait_until 15 sh -c "[ -f '$work/DATA.NEW' ] && [ \$(wc -l < '$work/DATA.NEW') -ge 2 ]" || true
agent_log
echo "  accounting file DATA.NEW (lines end in CR LF):"
cat -A "$work/DATA.NEW" | sed 's/^/  DATA.NEW| /'
step "client: the accounting lines through the agent"
"$bin/orvex-client" --port "$port" --uct | sed 's/^/  client| /'
agent_log

step "SIGTERM: the agent closes in order and zeroes the mailbox counters"
kill -TERM "$agent_pid"
wait "$agent_pid" || true
agent_log
echo "  last frame the exchange received: $(grep '^RX' "$work/exchange.log" | tail -1)"
counters
printf '\nDone: %d mails received, %d accounting lines.\n' "$(mails)" "$(wc -l < "$work/DATA.NEW")"
