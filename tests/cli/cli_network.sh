#!/usr/bin/env bash
# glintwork-cli on the network family, in a pair of private network namespaces made for the run:
# the demo's virtual controllers on one side, the program on the other. Exit 77 (skipped) without
# root.
#   cli_network.sh GLINTWORK_CLI GLW_NETSIM CONTROLLER_FILE FIRMWARE_HEX
set -euo pipefail
cli="$1" netsim="$2" controllers="$3" firmware="$4"
source "$(dirname "$0")/../../scripts/netns.sh"
if ! netns_usable; then
  echo "SKIP: network namespaces need root and iproute2"
  exit 77
fi
work="$(mktemp -d)"
cleanup() { netns_destroy; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

netns_create "cli$$"
mapfile -t addrs < <(sed -n 's/^ip *= *\(.*\)$/\1/p' "$controllers")
netns_add_ctl_addrs "${addrs[@]}"
mkdir "$work/stored"
ip netns exec "$NS_CTL" "$netsim" --file "$controllers" --firmware-dir "$work/stored" >"$work/sim.log" 2>&1 &
for _ in $(seq 100); do grep -q '^ready' "$work/sim.log" && break; sleep 0.05; done
grep -q '^ready' "$work/sim.log" || fail "the virtual controllers did not start: $(cat "$work/sim.log")"
app() { ip netns exec "$NS_APP" "$cli" "$@"; }
# A line of the input, read to its end: grep -q would stop early and fail the pipe it ends.
has() { grep -xF -- "$1" >/dev/null; }

# The search lists every virtual controller once, from the first adapter, as JSON and as text.
app search --json >"$work/search.json" 2>"$work/search.err" || fail "search --json: $(cat "$work/search.err")"
[ ! -s "$work/search.err" ] || fail "search wrote to standard error: $(cat "$work/search.err")"
for a in "${addrs[@]}"; do
  [ "$(grep -c "\"address\": \"$a\"" "$work/search.json")" -eq 1 ] || fail "search --json lists $a not once: $(cat "$work/search.json")"
done
grep -q '"family": "network"' "$work/search.json" || fail "family"
grep -q '"adapter": "10.77.0.1"' "$work/search.json" || fail "adapter: $(cat "$work/search.json")"
app search --adapter 10.77.0.1 >"$work/search.txt"
[ "$(tail -1 "$work/search.txt")" = "Found ${#addrs[@]} Device(s)" ] || fail "search: $(cat "$work/search.txt")"
grep -q "^Tessara 16 *Stage left *10.77.1.10 *V1.4.5" "$work/search.txt" || fail "search table: $(cat "$work/search.txt")"

# One controller by IP address and by MAC, the same entry either way.
app show 10.77.1.10 --json >"$work/by-ip.json" || fail "show by IP"
mac="$(sed -n 's/.*"mac": "\(.*\)".*/\1/p' "$work/by-ip.json")"
[ -n "$mac" ] || fail "show --json has no MAC: $(cat "$work/by-ip.json")"
app show "$mac" --json >"$work/by-mac.json" || fail "show by MAC"
cmp -s "$work/by-ip.json" "$work/by-mac.json" || fail "show by IP and by MAC differ"
app show 10.77.1.10 >"$work/show.txt"
grep -qx 'nickname=Stage left' "$work/show.txt" || fail "show: $(cat "$work/show.txt")"
grep -qx 'Model: Tessara 16' "$work/show.txt" || fail "show: $(cat "$work/show.txt")"

# Nobody at that address; an adapter this PC does not have; USB-only options on the network.
status=0; app show 10.77.9.9 2>"$work/err" >/dev/null || status=$?
[ "$status" -eq 1 ] && grep -q "10.77.9.9: no controller answered from this IP address" "$work/err" || fail "no answer: $status $(cat "$work/err")"
status=0; app search --adapter 10.99.0.1 2>"$work/err" >/dev/null || status=$?
[ "$status" -eq 1 ] && [ -s "$work/err" ] || fail "a foreign adapter: $status $(cat "$work/err")"
status=0; app search --fast 2>"$work/err" >/dev/null || status=$?
[ "$status" -eq 2 ] && grep -q -- "--fast is for a USB search" "$work/err" || fail "--fast on the network: $status $(cat "$work/err")"

# set: the controller takes the values (read back by a second search), as its dialog's OK sends them.
app set 10.77.1.11 pixelsPerString=200 nickname=Truss >"$work/set.out" 2>"$work/set.err" || fail "set: $(cat "$work/set.out" "$work/set.err")"
grep -qx "$(app show 10.77.1.11 --json | sed -n 's/.*"mac": "\(.*\)".*/\1/p'): Verified" "$work/set.out" || fail "set: $(cat "$work/set.out")"
app show 10.77.1.11 >"$work/show2.txt"
grep -qx 'pixelsPerString=200' "$work/show2.txt" && grep -qx 'nickname=Truss' "$work/show2.txt" || fail "after set: $(cat "$work/show2.txt")"
# The same values again: nothing to send.
app set 10.77.1.11 pixelsPerString=200 --no-verify | grep "nothing to change" >/dev/null || fail "set of the values it has"

# Refusals name the field and send nothing: the controller is as it was.
before="$(app show 10.77.1.12 --json)"
for bad in "pixelsPerString=681:2:pixelsPerString" "startChannel=5:2:startChannel: 5 is not the first channel" \
           "colour=red:2:colour: not a field of this controller" "dhcp=maybe:2:dhcp" "gamma=[2.2,4.0,2.2]:2:gamma[1]"; do
  IFS=: read -r field want said <<<"$bad"
  status=0; app set 10.77.1.12 "$field" >/dev/null 2>"$work/err" || status=$?
  [ "$status" -eq "$want" ] && grep -qF -- "$said" "$work/err" || fail "set $field: status $status, said $(cat "$work/err")"
done
[ "$(app show 10.77.1.12 --json)" = "$before" ] || fail "a refused set changed the controller"
status=0; app set 10.77.1.14 nickname=X >/dev/null 2>"$work/err" || status=$?
[ "$status" -eq 1 ] && grep -q "bootloader" "$work/err" || fail "set on a bootloader: $status $(cat "$work/err")"
status=0; app set 10.77.2.20 nickname=X >/dev/null 2>"$work/err" || status=$?
[ "$status" -eq 1 ] && grep -q "not compatible with your PC's IP settings" "$work/err" || fail "set on another subnet: $status $(cat "$work/err")"

# A rig backed up, two controllers changed by hand, the file restored onto them and verified.
app backup --all -o "$work/rig.json" >"$work/backup.out" 2>"$work/backup.err" || fail "backup: $(cat "$work/backup.out" "$work/backup.err")"
[ "$(grep -c '"family": "network"' "$work/rig.json")" -eq "${#addrs[@]}" ] || fail "backup: $(cat "$work/rig.json")"
app set 10.77.1.10 pixelsPerString=99 --no-verify >/dev/null || fail "set by hand"
app set 10.77.1.13 nickname=Changed --no-verify >/dev/null || fail "set by hand"
mac10="$(app show 10.77.1.10 --json | sed -n 's/.*"mac": "\(.*\)".*/\1/p')"
mac13="$(app show 10.77.1.13 --json | sed -n 's/.*"mac": "\(.*\)".*/\1/p')"
app restore "$work/rig.json" --only 10.77.1.10 --only "$mac13" --dry-run >"$work/dry.out" || fail "dry run"
grep -qx "$mac10: pixelsPerString: 99 -> 170" "$work/dry.out" && grep -qx "$mac13: nickname: Changed -> Facade" "$work/dry.out" \
  || fail "dry run: $(cat "$work/dry.out")"
app show 10.77.1.10 | has 'pixelsPerString=99' || fail "the dry run changed a controller"
app restore "$work/rig.json" --only 10.77.1.10 --only "$mac13" >"$work/restore.out" || fail "restore: $(cat "$work/restore.out")"
grep -qx "$mac10: Verified" "$work/restore.out" && grep -qx "$mac13: Verified" "$work/restore.out" || fail "restore: $(cat "$work/restore.out")"
app show 10.77.1.13 | has 'nickname=Facade' || fail "restore did not reach the controller"
# The whole file: the controller in its bootloader and the one on another network are refused, each named.
status=0; app restore "$work/rig.json" --dry-run >"$work/all.out" 2>"$work/all.err" || status=$?
[ "$status" -eq 1 ] && grep -q "bootloader" "$work/all.err" && grep -q "not compatible" "$work/all.err" \
  || fail "restore of the whole rig: $status $(cat "$work/all.out" "$work/all.err")"

# A script sets one field on every Tessara 16 the search lists, and each answer says how it went:
# the three that can take it verified (the spare among them), the one in its bootloader and the one
# on another network refused.
app search --json | awk -F'"' '/"mac":/ { mac = $4 } /"model": "Tessara 16"/ { print mac }' >"$work/t16"
[ "$(wc -l <"$work/t16")" -eq 5 ] || fail "Tessara 16s listed: $(cat "$work/t16")"
verified=0 refused=0
while read -r mac; do
  status=0; app set "$mac" fanThreshold=45 >>"$work/rig.out" 2>>"$work/rig.err" </dev/null || status=$?
  case $status in 0) verified=$((verified + 1)) ;; 1) refused=$((refused + 1)) ;; *) fail "set $mac ended with $status" ;; esac
done <"$work/t16"
[ "$verified" -eq 3 ] && [ "$refused" -eq 2 ] && [ "$(grep -c ': Verified$' "$work/rig.out")" -eq 3 ] \
  || fail "the rig script: $verified verified, $refused refused: $(cat "$work/rig.out" "$work/rig.err")"
app show 10.77.1.10 | has 'fanThreshold=45' || fail "fan threshold not taken"

# Firmware: a file that is no firmware image is refused before the controller is touched.
printf ':10000000GARBAGE\r\n' >"$work/bad.hex"
for bad in "$work/bad.hex:is not a firmware HEX file" "$work/none.hex:cannot be read"; do
  IFS=: read -r file said <<<"$bad"
  status=0; app firmware 10.77.1.11 "$file" >/dev/null 2>"$work/err" || status=$?
  [ "$status" -eq 1 ] && grep -qF -- "$said" "$work/err" || fail "firmware $file: status $status, said $(cat "$work/err")"
done
! grep -q '^bootloader 10.77.1.11' "$work/sim.log" || fail "a refused file started the bootloader: $(cat "$work/sim.log")"
# A controller running its application is told to start its bootloader and takes the file as it is.
app firmware 10.77.1.11 "$firmware" >"$work/fw.out" 2>"$work/fw.err" || fail "firmware: $(cat "$work/fw.out" "$work/fw.err")"
[ "$(cat "$work/fw.out")" = "10.77.1.11: Update Sent" ] && [ ! -s "$work/fw.err" ] || fail "firmware: $(cat "$work/fw.out" "$work/fw.err")"
grep -qx 'bootloader 10.77.1.11' "$work/sim.log" && grep -q "^uploaded 10.77.1.11 $(stat -c %s "$firmware") V2.0.0$" "$work/sim.log" \
  || fail "the controller's side of the update: $(cat "$work/sim.log")"
cmp -s "$work/stored/10.77.1.11.hex" "$firmware" || fail "the stored image differs from the file"
app show 10.77.1.11 | has 'Firmware: V2.0.0' || fail "the controller does not run the new firmware"
# One already in its bootloader takes the file directly; one on another network is not touched.
app firmware 10.77.1.14 "$firmware" | has '10.77.1.14: Update Sent' || fail "firmware to a bootloader"
cmp -s "$work/stored/10.77.1.14.hex" "$firmware" || fail "the bootloader's stored image differs from the file"
status=0; app firmware 10.77.2.20 "$firmware" >/dev/null 2>"$work/err" || status=$?
[ "$status" -eq 1 ] && grep -q "not compatible with your PC's IP settings" "$work/err" || fail "firmware to another subnet: $status $(cat "$work/err")"
! grep -q '^bootloader 10.77.2.20' "$work/sim.log" || fail "a refused controller started its bootloader"

echo "PASS"
