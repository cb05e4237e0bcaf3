#!/usr/bin/env bash
# wine_prefix.sh setup|cleanup PREFIX
#   setup:   a fresh headless prefix (null display driver) with one persistent wineserver, so
#            that every test program after it starts in well under a second;
#   cleanup: stops that server and everything it started.
set -euo pipefail
action=$1
export WINEPREFIX=$2
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no offer to install .NET or a browser engine
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver

stop_server() {
    "$server" -k 2>/dev/null || true
    "$server" -w 2>/dev/null || true
}

case "$action" in
setup)
    stop_server
    rm -rf "$WINEPREFIX"
    "$wine" wineboot -i </dev/null >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    # The desktop process that wineboot started keeps the display driver it failed to load:
    # restart the server so that windows can be created.
    stop_server
    "$server" -p </dev/null >/dev/null 2>&1
    # Start the prefix's services now, with none of the test's pipes open in them.
    "$wine" wineboot </dev/null >/dev/null 2>&1
    echo "wine prefix ready: $WINEPREFIX"
    ;;
cleanup)
    stop_server
    ;;
*)
    echo "usage: $0 setup|cleanup PREFIX" >&2
    exit 2
    ;;
esac
