#!/usr/bin/env bash
# Benchmark of `vexa_publish stats` on a generated log of one million usage reports (figures
# only): the first load into the SQLite file, a warm run (nothing new: the query alone), a
# run after more reports were appended, and the same figures counted by awk from the log
# (copies, starts, completions, offers and the median download time per package, day and
# version), compared line by line. The tool is built without sanitizers for this.
# Usage: scripts/bench/stats.sh [REPORTS]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../env.sh"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$VEXA_ROOT"

REPORTS="${1:-1000000}"
PUBLISH="$(bench_publish_tool)"

WORK="$(mktemp -d "${TMPDIR:-/tmp}/vexa-bench-stats.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
LOG="$WORK/stats.log"

# Wall time and processor time (user + system): on a shared machine the second says more.
timed() { /usr/bin/time -f '%e s wall, %U + %S s cpu' "$@" 2>&1 >/dev/null | tail -n 1; }

python3 bench/make_stats_log.py "$REPORTS" "$LOG"
printf 'log: %s lines, %s MB\n' "$(wc -l <"$LOG")" "$(($(stat -c %s "$LOG") / 1000000))"
printf 'first load and query:  %s\n' "$(timed "$PUBLISH" stats "$LOG")"
printf 'warm (query only):     %s\n' "$(timed "$PUBLISH" stats "$LOG")"
printf 'warm, --json:          %s\n' "$(timed "$PUBLISH" stats --json "$LOG")"
python3 bench/make_stats_log.py 10000 "$WORK/more.log"
cat "$WORK/more.log" >>"$LOG"
printf '10000 more, loaded:    %s\n' "$(timed "$PUBLISH" stats "$LOG")"
printf 'db file: %s MB\n' "$(($(stat -c %s "$LOG.sqlite") / 1000000))"

# The same figures another way: awk over the raw log. A download time is a completion's time
# minus the same client's last start of the same package (clients without an id unpaired).
"$PUBLISH" stats --csv "$LOG" 2>/dev/null | tail -n +2 | cut -d, -f1-6,8,9 | sort >"$WORK/tool.csv"
awk -F'\t' '
  function value(q, key,   n, i, kv) {
    n = split(q, kv, "&")
    for (i = 1; i <= n; i++) if (index(kv[i], key "=") == 1) return substr(kv[i], length(key) + 2)
    return ""
  }
  function epoch(t,   cmd) {  # yyyy-mm-ddThh:mm:ss+08:00, all in one month and zone
    return substr(t, 9, 2) * 86400 + substr(t, 12, 2) * 3600 + substr(t, 15, 2) * 60 + substr(t, 18, 2)
  }
  $3 ~ /^\/ClientApp\// {
    report = $3; sub(/^\/ClientApp\//, "", report); sub(/\/$/, "", report)
    p = value($4, "name"); c = value($4, "mid"); v = value($4, "ver"); g = p "," substr($1, 1, 10) "," v
    groups[g] = 1
    if (!((g, c) in seen)) { seen[g, c] = 1; copies[g]++ }
    if (report == "statLogMuldownUrl") { started[g]++; last[p, c] = epoch($1) }
    if (report == "statLogMuldownMd5") {
      done[g]++
      if (c != "" && ((p, c) in last)) print "D", g, epoch($1) - last[p, c] > "/dev/stderr"
    }
    if (report == "statLogQuilletMuldownUrl") offers[g]++
  }
  END { for (g in groups) print "G", g, copies[g] + 0, started[g] + 0, done[g] + 0, offers[g] + 0 }
' OFS=' ' "$LOG" 2>"$WORK/durations" >"$WORK/groups"
sort -k2,2 -k3,3n "$WORK/durations" | awk '
  function flush() { if (n) printf "%s %.1f\n", g, (n % 2 ? d[(n + 1) / 2] : (d[n / 2] + d[n / 2 + 1]) / 2) }
  { if ($2 != g) { flush(); g = $2; n = 0 } d[++n] = $3 }
  END { flush() }' >"$WORK/medians"
awk 'NR == FNR { m[$1] = $2; next } { print $2 "," $3 "," $4 "," $5 "," (m[$2] == "" ? "" : m[$2]) "," $6 }' \
  "$WORK/medians" "$WORK/groups" | sort >"$WORK/awk.csv"
if diff "$WORK/tool.csv" "$WORK/awk.csv" >"$WORK/diff"; then
  printf 'awk count: the same %s rows (package, day, version: copies, starts, completions, median, offers)\n' \
    "$(wc -l <"$WORK/awk.csv")"
else
  echo "awk count DIFFERS:"; head -20 "$WORK/diff"
fi
