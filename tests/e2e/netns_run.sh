#!/usr/bin/env bash
# Runs an end-to-end test program on the app side of a pair of private network namespaces it
# creates for the run and removes afterwards. The program learns the controller side's namespace
# from GLW_NETNS_CTL and starts its virtual controllers there. Exit 77 (skipped) without root.
set -euo pipefail
source "$(dirname "$0")/../../scripts/netns.sh"
if ! netns_usable; then
  echo "SKIP: network namespaces need root and iproute2"
  exit 77
fi
trap netns_destroy EXIT
netns_create "e2e$$"
export GLW_NETNS_CTL="$NS_CTL" GLW_APP_ADDR="$NETNS_APP_ADDR"
ip netns exec "$NS_APP" "$@"
