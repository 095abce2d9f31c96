# Private network namespaces for anything that sends: an app side and a controller side joined by
# a veth pair, on a private range no real network uses here. Nothing leaves these namespaces.
#
#   netns_create TAG      -> sets NS_APP, NS_CTL; app side 10.77.0.1/16, controller side 10.77.0.2/16
#   netns_add_ctl_addrs A...   adds controller addresses (10.77.x.y) on the controller side
#   netns_add_other_side  -> sets NS_OTH: a second adapter on the app side, 10.78.0.1/16, joined to
#                            a third namespace at 10.78.0.2/16 (a second LAN)
#   netns_destroy         -> ends what still runs inside them (only our own processes) and removes both
#
# Needs root and iproute2.

NETNS_APP_ADDR=10.77.0.1
NETNS_OTHER_APP_ADDR=10.78.0.1
NETNS_PREFIX=16

netns_usable() {
  [ "$(id -u)" -eq 0 ] && command -v ip >/dev/null 2>&1 || return 1
  local probe="glw-probe-$$"
  ip netns add "$probe" 2>/dev/null || return 1
  ip netns del "$probe"
}

netns_create() {
  local tag="$1"
  NS_APP="glw-${tag}-app"
  NS_CTL="glw-${tag}-ctl"
  ip netns add "$NS_APP"
  ip netns add "$NS_CTL"
  ip -n "$NS_APP" link set lo up
  ip -n "$NS_CTL" link set lo up
  ip -n "$NS_APP" link add veth-app type veth peer name veth-ctl netns "$NS_CTL"
  ip -n "$NS_APP" addr add "$NETNS_APP_ADDR/$NETNS_PREFIX" dev veth-app
  ip -n "$NS_CTL" addr add "10.77.0.2/$NETNS_PREFIX" dev veth-ctl
  ip -n "$NS_APP" link set veth-app up
  ip -n "$NS_CTL" link set veth-ctl up
  export NS_APP NS_CTL
}

netns_add_other_side() {
  NS_OTH="${NS_APP%-app}-oth"
  ip netns add "$NS_OTH"
  ip -n "$NS_OTH" link set lo up
  ip -n "$NS_APP" link add veth-app2 type veth peer name veth-oth netns "$NS_OTH"
  ip -n "$NS_APP" addr add "$NETNS_OTHER_APP_ADDR/$NETNS_PREFIX" dev veth-app2
  ip -n "$NS_OTH" addr add "10.78.0.2/$NETNS_PREFIX" dev veth-oth
  ip -n "$NS_APP" link set veth-app2 up
  ip -n "$NS_OTH" link set veth-oth up
  export NS_OTH
}

netns_add_ctl_addrs() {
  local batch
  batch="$(mktemp)"
  for a in "$@"; do echo "addr add $a/$NETNS_PREFIX dev veth-ctl"; done >"$batch"
  ip -n "$NS_CTL" -batch "$batch"
  rm -f "$batch"
}

netns_destroy() {
  local ns pids
  for ns in "${NS_APP:-}" "${NS_CTL:-}" "${NS_OTH:-}"; do
    [ -n "$ns" ] || continue
    ip netns list 2>/dev/null | grep -qw "$ns" || continue
    pids="$(ip netns pids "$ns" 2>/dev/null || true)"
    [ -n "$pids" ] && kill $pids 2>/dev/null || true
    sleep 0.2
    pids="$(ip netns pids "$ns" 2>/dev/null || true)"
    [ -n "$pids" ] && kill -9 $pids 2>/dev/null || true
    ip netns del "$ns" 2>/dev/null || true
  done
}
