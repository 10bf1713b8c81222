#!/usr/bin/env bash
# Builds the tool and shows it at work: the module listing, then a raise of
# GPS:GPS:Usable Satellites:11 sent to the diagnostic service on this machine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
build/fwerror -M
build/fwerror GPS GPS "Usable Satellites" 11
echo "fwerror exited with status $?"
