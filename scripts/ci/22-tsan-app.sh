#!/usr/bin/env bash
# The program's own threads under ThreadSanitizer (clang): the serial port workers and
# backends (virtual ports, the CM108 writer, lost ports) and the sound modules (the DTMF
# detector fed from a capture thread, the wave file source), with what they stand on.
#  - Mutex misuse reports are off (data races are reported): this ThreadSanitizer does not
#    see std::timed_mutex's timed lock (pthread_mutex_clocklock) and reports every unlock
#    after it.
#  - Tests that start other programs (vradio, relaydeck-cli) are left out: the sanitizer's
#    fork handling aborts in QProcess. The end-to-end stages run those programs.
#  - The web server is left out: cpp-httplib is a shared library built without the
#    sanitizer, and the pages hand work to Qt's thread pool, which is built without it too.
set -euo pipefail
TSAN=${BUILD}-tsan-app
CC=clang CXX=clang++ cmake -S . -B "$TSAN" -G Ninja -DCMAKE_BUILD_TYPE=Tsan -DRD_BUILD_BENCHMARKS=OFF \
  -DRD_MODULES="link;ini;config;audio;serial" >/dev/null
cmake --build "$TSAN" -j "$JOBS" --target rd_serial_tests rd_audio_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 report_mutex_bugs=0" \
  ctest --test-dir "$TSAN" --output-on-failure -j "$JOBS" -L 'serial|audio' \
  -E 'VRadio\.|Cm108Port\.(KillNine|Terminated)' --timeout 600
