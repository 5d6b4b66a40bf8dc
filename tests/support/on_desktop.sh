#!/usr/bin/env bash
# Runs a test on a desktop of its own: the Xvfb display and Wine session that ctest handed it
# as the resource "desktop" (scripts/test.sh makes them, see vexa_start_desktops in
# scripts/env.sh). Nothing else draws, clicks or takes the focus there while it runs.
#
#   on_desktop.sh command [args...]
#
# Run by a ctest without desktops to hand out (no resource file), such tests take turns on
# the shared display instead, one at a time.
set -euo pipefail

desktop="${CTEST_RESOURCE_GROUP_0_DESKTOP:-}"  # "id:desk1,slots:1"
if [[ -n "$desktop" ]]; then
  id="${desktop#id:}"
  id="${id%%,*}"
  env_file="${VEXA_DESKTOP_DIR:?no VEXA_DESKTOP_DIR: run the tests through scripts/test.sh}/$id/env"
  [[ -f "$env_file" ]] || { echo "on_desktop.sh: no desktop $id ($env_file)" >&2; exit 1; }
  # DISPLAY, WINEPREFIX (and VEXA_WINEPREFIX for scripts that source env.sh) and the log of
  # that session's wine server.
  source "$env_file"
  exec "$@"
fi
# -o: programs the test leaves running (Wine's services) must not keep the turn.
exec flock -o "${WINEPREFIX:-${TMPDIR:-/tmp}/vexa}.desktop.lock" "$@"
