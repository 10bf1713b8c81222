#!/bin/sh
# Runs the command given in a network namespace of its own, whose only
# interface is its loopback, where one may be made (as root, with unshare and
# ip at hand): the service port 5300 it binds there cannot meet the one of the
# machine, which another run may be using. Elsewhere the command runs as it is,
# in the machine's own network.
#
#   tests/Support/in-private-network.sh COMMAND [ARGUMENTS]
#
# Ends with the command's status.

# A throwaway namespace tells whether one can be made and brought up here.
if unshare -n ip link set lo up 2>/dev/null; then
  exec unshare -n sh -c 'ip link set lo up && exec "$@"' sh "$@"
fi
exec "$@"
