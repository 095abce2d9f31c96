#!/usr/bin/env bash
# glintwork-cli adapters in a pair of private network namespaces made for the run: the app side's
# two adapters are listed with mask and network, loopback is not. Exit 77 (skipped) without root.
#   cli_adapters.sh PATH_TO_GLINTWORK_CLI
set -euo pipefail
cli="$1"
source "$(dirname "$0")/../../scripts/netns.sh"
if ! netns_usable; then
  echo "SKIP: network namespaces need root and iproute2"
  exit 77
fi
trap netns_destroy EXIT
netns_create "cli$$"
netns_add_other_side
fail() { echo "FAIL: $*" >&2; exit 1; }

json="$(ip netns exec "$NS_APP" "$cli" adapters --json)"
for want in '"address": "10.77.0.1"' '"address": "10.78.0.1"' '"subnetMask": "255.255.0.0"' \
            '"network": "10.77.0.0"' '"network": "10.78.0.0"' '"command": "adapters"'; do
  grep -qF "$want" <<<"$json" || fail "adapters --json lacks $want: $json"
done
grep -q '127.0.0.1' <<<"$json" && fail "loopback listed: $json"

text="$(ip netns exec "$NS_APP" "$cli" adapters)"
[ "$(wc -l <<<"$text")" -eq 2 ] || fail "adapters listed $(wc -l <<<"$text") lines: $text"
grep -qx '10.77.0.1  255.255.0.0  10.77.0.0' <<<"$text" || fail "adapters: $text"

# A namespace with only loopback: nothing to list, said on standard error.
ip netns exec "$NS_CTL" ip link set veth-ctl down
out="$(ip netns exec "$NS_CTL" ip addr flush dev veth-ctl && ip netns exec "$NS_CTL" "$cli" adapters 2>"${TMPDIR:-/tmp}/cli-adapters-$$.err")"
err="$(cat "${TMPDIR:-/tmp}/cli-adapters-$$.err")"; rm -f "${TMPDIR:-/tmp}/cli-adapters-$$.err"
[ -z "$out" ] || fail "adapters without an adapter wrote: $out"
[ "$err" = "None Found" ] || fail "adapters without an adapter said: $err"
echo "PASS"
