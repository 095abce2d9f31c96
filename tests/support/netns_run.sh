#!/usr/bin/env bash
# Runs an end-to-end test program on the app side of a pair of private network namespaces it
# creates for the run and removes afterwards. The program learns the controller side's namespace
# from GLW_NETNS_CTL and starts its virtual controllers there. With --second-adapter the app side
# also has a second adapter on another LAN, whose namespace is GLW_NETNS_OTHER. Exit 77 (skipped)
# without root.
set -euo pipefail
source "$(dirname "$0")/../../scripts/netns.sh"
if ! netns_usable; then
  echo "SKIP: network namespaces need root and iproute2"
  exit 77
fi
second=""
if [ "${1:-}" = "--second-adapter" ]; then second=1; shift; fi
trap netns_destroy EXIT
netns_create "e2e$$"
export GLW_NETNS_CTL="$NS_CTL" GLW_APP_ADDR="$NETNS_APP_ADDR"
if [ -n "$second" ]; then
  netns_add_other_side
  export GLW_NETNS_OTHER="$NS_OTH" GLW_OTHER_APP_ADDR="$NETNS_OTHER_APP_ADDR"
fi
ip netns exec "$NS_APP" "$@"
