#!/usr/bin/env bash
# Builds the Debian packages faultwright and faultwright-dev in build-package/
# with Debian's hardening flags, checks them with lintian, and, as root,
# installs them and tries what they installed: fwservice and fwerror against
# each other in a network namespace of their own, and a consumer of the -dev
# package built with find_package and with pkg-config. Removes the packages
# again at the end, so that no service is left running.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
dir=build-package
bash scripts/install-deps.sh dpkg-dev lintian scdoc pkgconf file man-db iproute2

# The flags Debian builds its packages with: PIE, stack protector, FORTIFY,
# full RELRO.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS

rm -rf "$dir"
mkdir -p "$dir"
log=$dir/package.log
echo "configuring $dir"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DFAULTWRIGHT_PACKAGE=ON \
  -DFAULTWRIGHT_TESTS=OFF -DFAULTWRIGHT_BENCHMARKS=OFF -DFAULTWRIGHT_WERROR=OFF \
  -DFAULTWRIGHT_UNIT_DIR=/lib/systemd/system -DFAULTWRIGHT_CONFIG_DIR=/etc/faultwright >"$log" 2>&1 ||
  { tail -30 "$log"; exit 1; }
echo "building"
cmake --build "$dir" -j "$(nproc)" >>"$log" 2>&1 || { tail -30 "$log"; exit 1; }
echo "packaging"
(cd "$dir" && cpack -G DEB >>package.log 2>&1) || { tail -30 "$log"; exit 1; }
debs=("$dir"/faultwright_*.deb "$dir"/faultwright-dev_*.deb)
for deb in "${debs[@]}"; do
  [ -f "$deb" ] || { echo "no package $deb" >&2; exit 1; }
  echo "--- $(basename "$deb")"
  dpkg-deb --field "$deb" Package Version Depends
done

if command -v systemd-analyze >/dev/null; then
  echo "systemd-analyze verify"
  unit_dir=$(mktemp -d)
  dpkg-deb --fsys-tarfile "${debs[0]}" | tar -x -C "$unit_dir" ./lib/systemd/system/fwservice.service
  # verify looks for ExecStart's program on this machine: the one just built.
  sed "s|^ExecStart=/usr/bin/fwservice|ExecStart=$root/$dir/fwservice|" \
    "$unit_dir/lib/systemd/system/fwservice.service" >"$unit_dir/fwservice.service"
  SYSTEMD_LOG_LEVEL=warning systemd-analyze verify --man=no "$unit_dir/fwservice.service"
  rm -rf "$unit_dir"
else
  echo "systemd-analyze not installed: the unit is not verified"
fi

echo "lintian"
# Its findings are shown; only errors fail (the tags we accept have overrides).
lintian --fail-on error --display-info --show-overrides "${debs[@]}"

if [ "$(id -u)" -ne 0 ]; then
  echo "not root: the packages are not installed and tried"
  exit 0
fi

work=$(mktemp -d)
cleanup() {
  dpkg --purge faultwright-dev faultwright >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
echo "installing"
dpkg -i "${debs[@]}" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; exit 1; }
test -f /etc/faultwright/FaultwrightConfig.xml
man -w fwservice fwerror fwinspect faultwright-catalogue >/dev/null

echo "the installed fwservice and fwerror"
# The segment and semaphore set outlive the service: whatever it made is
# removed, and nothing may stay.
ipc_keys() { ipcs -m -s | awk '/^0x/ { print $1 }' | sort -u; }
ipc_keys >"$work/ipc-before"
mkdir "$work/run"
unshare -n sh -ec '
  ip link set lo up
  cd "$1"
  fwservice --config /etc/faultwright/ --state "$1/states" >out 2>err &
  service=$!
  for i in $(seq 100); do grep -q "fwservice: serving" err && break; sleep 0.1; done
  fwerror GPS GPS "Usable Satellites" 1
  for i in $(seq 100); do grep -q "RaiseError GPS:GPS:Usable Satellites:1" out && break; sleep 0.1; done
  fwinspect active /etc/faultwright/ >active
  kill -TERM $service
  wait $service
  grep -q "RaiseError GPS:GPS:Usable Satellites:1" out || { cat out err; exit 1; }
  grep -q "Usable Satellites" active || { cat active; exit 1; }
' sh "$work/run"
for key in $(ipc_keys | comm -13 "$work/ipc-before" -); do
  ipcrm -M "$key" 2>/dev/null || true
  ipcrm -S "$key" 2>/dev/null || true
done
if [ -n "$(ipc_keys | comm -13 "$work/ipc-before" -)" ]; then
  echo "IPC objects left:" >&2
  ipcs >&2
  exit 1
fi

echo "a consumer with find_package"
cmake -S tests/consumer -B "$work/consumer" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$work/consumer.log" 2>&1 &&
  cmake --build "$work/consumer" >>"$work/consumer.log" 2>&1 || { cat "$work/consumer.log"; exit 1; }
"$work/consumer/consumer" /etc/faultwright/

echo "a consumer with pkg-config"
cat >"$work/tiny.cpp" <<'CPP'
#include <Faultwright.h>
int main(int, char** argv) { return Faultwright::CErrorDatabase(argv[1]).Errors().empty() ? 1 : 0; }
CPP
# shellcheck disable=SC2046
g++ -std=c++17 -o "$work/tiny" "$work/tiny.cpp" $(pkg-config --cflags --libs faultwright)
"$work/tiny" /etc/faultwright/

echo "the packages build, install and run"
