#!/usr/bin/env bash
# Sets Veldrane up on a fresh machine and runs the sample integrations on
# SQLite: installs what is missing, builds the command, makes the sample's
# databases (examples/data/crm.db and warehouse.db, a few thousand customers
# and orders) and runs the four example documents one after the other,
# showing each run's progress and counters, then the run history.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

build="${BUILD_DIR:-build}"

bash scripts/setup.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target veldrane_cli veldrane-make-sample

veldrane="$root/$build/bin/veldrane"
data="$root/examples/data"
# The sample keeps its history beside its databases, not in your home.
home="$data/history"

"$root/$build/bin/veldrane-make-sample" "$data"
rm -rf "$home"

for doc in customers_upsert lookup_then_write delete_orders decision_flow; do
  echo
  echo "==> veldrane run examples/$doc.xml"
  "$veldrane" --home "$home" run "$root/examples/$doc.xml" --log "$data/sample.log"
done

echo
echo "==> veldrane history"
"$veldrane" --home "$home" history
echo
echo "Next: ./$build/bin/veldrane --help, or ./scripts/test.sh to build and run every test."
