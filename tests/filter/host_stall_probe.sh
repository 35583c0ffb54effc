#!/usr/bin/env bash
# How late this machine wakes a plain native thread: sleeps of 1 ms for SECONDS, counting
# wake-ups more than 5, 10 and 16 ms late and printing each beyond 16 ms (a 60 fps frame
# time). Run beside `filter_pump_benchmark paced` to tell the machine's own stalls from ours.
# Usage: tests/filter/host_stall_probe.sh [SECONDS]
set -euo pipefail
seconds=${1:-60}
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
cat > "$probe/probe.c" <<'C'
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}
int main(int argc, char** argv) {
    const double seconds = argc > 1 ? atof(argv[1]) : 60;
    const struct timespec ms = {0, 1000000};
    const double start = Now();
    double previous = start, worst = 0;
    int over5 = 0, over10 = 0, over16 = 0;
    while (previous - start < seconds * 1e3) {
        nanosleep(&ms, NULL);
        const double now = Now(), late = now - previous - 1.0;
        if (late > worst) worst = late;
        over5 += late > 5;
        over10 += late > 10;
        if (late > 16) {
            ++over16;
            printf("%7.1f s: woken %.1f ms late\n", (now - start) / 1e3, late);
        }
        previous = now;
    }
    printf("%.0f s: wake-ups late by more than 5 ms %d, 10 ms %d, 16 ms %d; worst %.1f ms\n",
           seconds, over5, over10, over16, worst);
    return 0;
}
C
cc -O2 -o "$probe/probe" "$probe/probe.c"
"$probe/probe" "$seconds"
