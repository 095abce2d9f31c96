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

# A namespace of its own (loopback up) joined to NS_APP by a veth pair: app-side device and address,
# the new side's device and address.
netns_join_app() {
  local ns="$1" app_dev="$2" app_addr="$3" dev="$4" addr="$5"
  ip netns add "$ns"
  ip -n "$ns" link set lo up
  ip -n "$NS_APP" link add "$app_dev" type veth peer name "$dev" netns "$ns"
  ip -n "$NS_APP" addr add "$app_addr/$NETNS_PREFIX" dev "$app_dev"
  ip -n "$ns" addr add "$addr/$NETNS_PREFIX" dev "$dev"
  ip -n "$NS_APP" link set "$app_dev" up
  ip -n "$ns" link set "$dev" up
}

netns_create() {
  local tag="$1"
  NS_APP="glw-${tag}-app"
  NS_CTL="glw-${tag}-ctl"
  ip netns add "$NS_APP"
  ip -n "$NS_APP" link set lo up
  netns_join_app "$NS_CTL" veth-app "$NETNS_APP_ADDR" veth-ctl 10.77.0.2
  export NS_APP NS_CTL
}

netns_add_other_side() {
  NS_OTH="${NS_APP%-app}-oth"
  netns_join_app "$NS_OTH" veth-app2 "$NETNS_OTHER_APP_ADDR" veth-oth 10.78.0.2
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
