#!/usr/bin/env bash
# Invariant soak of the real programs (clientsim with the plugin, virtual radios,
# relaydeck; the last gateway on a CM108 stand-in, unkeyed by relaydeck-cli after every
# end of relaydeck as the service does) under random load and injected faults: 3 minutes
# in two runs with fixed seeds.
# Other seeds and long runs: tools/soak.py --bin BIN --seconds N --seed S.
set -euo pipefail
cmake --build "$BUILD" -j "$JOBS" --target relaydeck relaydeck-cli clientsim Relaydeck_Link
python3 tools/soak.py --bin "$BUILD/bin" --seconds 90 --seed 7 --gateways 2
python3 tools/soak.py --bin "$BUILD/bin" --seconds 90 --seed 11 --gateways 3
