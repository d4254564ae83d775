#!/usr/bin/env bash
# Invariant soak of the real programs (clientsim with the plugin, virtual radios,
# relaydeck) under random load and injected faults: 3 minutes in two runs with fixed seeds.
# Other seeds and long runs: tools/soak.py --bin BIN --seconds N --seed S.
set -euo pipefail
cmake --build "$BUILD" -j "$JOBS" --target relaydeck clientsim Relaydeck_Link
python3 tools/soak.py --bin "$BUILD/bin" --seconds 90 --seed 7 --gateways 2
python3 tools/soak.py --bin "$BUILD/bin" --seconds 90 --seed 11 --gateways 3
