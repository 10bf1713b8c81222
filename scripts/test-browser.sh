#!/usr/bin/env bash
# The tests that need large Debian packages, apart from the suite so that only
# the CI pays for them: the diagnostics page in headless Chromium
# (chromium, chromium-driver), and /metrics checked by promtool, taken from
# the Debian package prometheus without installing it (its installation would
# set up and start a Prometheus server). Runs on the build of scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh chromium chromium-driver
tools=build/prometheus-tools
if [ ! -x "$tools/usr/bin/promtool" ]; then
  mkdir -p "$tools"
  (cd "$tools" && apt-get download -qq prometheus && dpkg -x prometheus_*.deb . && rm prometheus_*.deb)
fi
FAULTWRIGHT_PROMTOOL="$PWD/$tools/usr/bin/promtool" \
  ctest --test-dir build --output-on-failure -R '^(BrowserPortTest|ServePortTest)\.'
