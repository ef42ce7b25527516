#!/usr/bin/env bash
# renvoliactl on a cellular modem that ModemManager holds, against the real
# daemons: ModemManager and polkitd on a bus of our own, the simulated modem
# on a pseudo-terminal that a fake /sys/class/tty shows as a USB modem's port.
# Needs root (a mount namespace; polkitd drops to its own user); 77: skipped.
# Usage: borrowed-modem.sh RENVOLIACTL RENVOLIA-MODEMSIM
set -uo pipefail
ctl=$1 sim=$2
polkitd=/usr/lib/polkit-1/polkitd
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root"; exit 77; }
for program in ModemManager mmcli dbus-daemon unshare setpriv "$polkitd"; do
  command -v "$program" >/dev/null || { echo "skipped: $program missing"; exit 77; }
done

work=$(mktemp -d)
chmod 755 "$work"
daemons=()
cleanup() {
  for pid in "${daemons[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM
export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/bus DBUS_SESSION_BUS_ADDRESS=unix:path=$work/bus
failures=0
check() { # description, command...
  local description=$1
  shift
  if "$@"; then echo "PASS: $description"; else echo "FAIL: $description"; failures=$((failures + 1)); fi
}
within() { # seconds, command...: true as soon as the command is
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.5
  done
}
state() { mmcli --test-session -m any 2>/dev/null | sed -n 's/^ *Status *| *state: //p; s/^ *| *state: //p' | head -1; }
enabled() { [ "$(state)" = enabled ]; }
listed() { mmcli --test-session -L 2>/dev/null | grep -q 'Modem simule'; }
forwardings() { grep -c 'AT+CCFC=0,3,"+33612345678",145' "$work/modem.log"; } # refused ones too
requestsReached() { test "$(forwardings)" -eq "$1"; } # that many AT+CCFC requests
forwarding=(forward +33612345678 --line mobile --port 7)

# A bus that lets every user in: polkitd runs as its own user.
cat > "$work/bus.conf" <<EOF
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/><allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/>
    <allow receive_type="method_call"/><allow receive_type="method_return"/><allow receive_type="error"/>
    <allow receive_type="signal"/>
  </policy>
</busconfig>
EOF
dbus-daemon --config-file="$work/bus.conf" --nofork & daemons+=($!)
within 10 test -S "$work/bus" || { echo "no bus"; exit 1; }
# Polkit with the rule we ship alone, and the user daemon in the group dialout.
mkdir -m 755 "$work/rules"
cp "$(dirname "$0")/../../packaging/50-renvolia-modemmanager.rules" "$work/rules/"
chmod 644 "$work/rules/"*
sed 's/^\(dialout:[^:]*:[^:]*:\)\(.\)/\1daemon,\2/; s/^\(dialout:[^:]*:[^:]*:\)$/\1daemon/' /etc/group >"$work/group"
chmod 644 "$work/group"
unshare -m --propagation private sh -c "mount --bind '$work/rules' /etc/polkit-1/rules.d \
  && mount --bind '$work/group' /etc/group && exec '$polkitd' --no-debug" >"$work/polkitd.log" 2>&1 &
daemons+=($!)
link=$XDG_CONFIG_HOME/renvolia/ports/com7
modem() { # simulator options...
  "$sim" --port 7 --cellular "$@" >"$work/modem.log" & daemons+=($!)
  within 10 test -L "$link" || { echo "no simulated modem"; exit 1; }
}

modem
check "without ModemManager: ports as before" sh -c "! '$ctl' ports | grep -q ModemManager"
check "without ModemManager: forwarded (exit 0)" "$ctl" "${forwarding[@]}" --attempts 1
check "without ModemManager: the AT+CCFC reached the modem" requestsReached 1
kill "${daemons[-1]}"
within 10 test ! -L "$link"

# Its first two answers refused: the operations to stop and kill wait to try again.
modem --cme-error 30:2
pts=$(readlink "$link")

# The port as ModemManager sees a USB modem's: interface class ff, driver option.
device=$work/sys/devices/usb1/1-1
interface=$device/1-1:1.0
mkdir -p "$interface/${pts#/dev/pts/}" "$work/sys/drivers/option" "$work/sys/bus/usb" "$work/sys/class/tty" "$work/class"
ln -s "$work/sys/class/tty" "$interface/${pts#/dev/pts/}/subsystem"
ln -s "$work/sys/drivers/option" "$interface/driver"
ln -s "$work/sys/bus/usb" "$interface/subsystem"
echo ff >"$interface/bInterfaceClass"
echo 00 >"$interface/bInterfaceNumber"
printf '%s\n' 0baf >"$device/idVendor"
printf '%s\n' 0303 >"$device/idProduct"
printf '%s\n' Renvolia >"$device/manufacturer"
printf '%s\n' 'Modem simule' >"$device/product"
ln -s "$interface" "$work/class/pts"
echo "action=add,subsystem=tty,name=${pts#/dev/},uid=renvolia-test-modem" >"$work/events"
unshare -m --propagation private sh -c "mount --bind '$work/class' /sys/class/tty && exec ModemManager --test-session \
  --test-no-udev --no-auto-scan --initial-kernel-events='$work/events' --debug" >"$work/modemmanager.log" 2>&1 &
daemons+=($!)
within 120 listed || { echo "ModemManager did not take the modem"; tail -20 "$work/modemmanager.log"; exit 1; }
mmcli --test-session -m any -e >/dev/null
within 60 enabled || { echo "the modem could not be enabled"; exit 1; }

check "ports: managed by ModemManager, with its name" \
  sh -c "'$ctl' ports | grep -q 'COM7.*géré par ModemManager (Renvolia Modem simule), utilisable'"

chmod 666 "$pts"
setpriv --reuid=nobody --regid=nogroup --clear-groups "$ctl" forward 0612345678 --line mobile --port 7 \
  >"$work/out" 2>"$work/err"
check "without permission: exit 3" test $? -eq 3
check "without permission: what to do, in French" grep -q "copiez .*50-renvolia-modemmanager.rules" "$work/err"
check "without permission: the modem stays enabled" enabled

# Stopped while it waits to try again: given back before it ends.
"$ctl" "${forwarding[@]}" --attempts 0 & run=$!
within 120 requestsReached 1
kill -TERM $run
wait $run
check "stopped: exit 143" test $? -eq 143
check "stopped: the modem is back and enabled" within 5 enabled

# Killed: ModemManager ends the inhibition when our bus connection drops.
"$ctl" "${forwarding[@]}" --attempts 0 & run=$!
within 120 requestsReached 2
kill -KILL $run
wait $run 2>/dev/null
check "killed: ModemManager takes the modem back" within 120 listed
mmcli --test-session -m any -e >/dev/null

"$ctl" "${forwarding[@]}" --attempts 1
check "borrowed: forwarded (exit 0)" test $? -eq 0
check "borrowed: the AT+CCFC reached the modem" requestsReached 3
check "borrowed: the modem is back and enabled" within 5 enabled

# The killed run left the line exclusive (TIOCEXCL outlives a killed holder
# while the simulator keeps the other end): only root could open it now.
python3 -c 'import fcntl, os, sys, termios; fcntl.ioctl(os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY), termios.TIOCNXCL)' "$pts"
setpriv --reuid=daemon --regid=daemon --groups dialout "$ctl" "${forwarding[@]}" --attempts 1 >"$work/out" 2>"$work/err"
check "by our polkit rule, a member of dialout: forwarded (exit 0)" test $? -eq 0
check "by our polkit rule: the modem given back as it was" sh -c "! grep -q 'rendu tel quel' '$work/out'"
check "by our polkit rule: the modem is back and enabled" within 5 enabled
exit $((failures > 0))
