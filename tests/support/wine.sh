# A Wine of the test scripts' own, sourced by them once $scratch is set:
# its own prefix, quiet, and a UTF-8 locale whatever the caller's (Wine gives
# Unix file names the locale's encoding, and the names are Japanese). An
# XDG_RUNTIME_DIR of its own keeps Wine's display drivers from printing
# into the console the checks read.
wine=${WINE:-/usr/lib/wine/wine64}
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all LC_ALL=C.UTF-8 XDG_RUNTIME_DIR=$scratch/xdg
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
"$wine" wineboot --init >/dev/null 2>&1
wineserver -w
# One server for the whole script, its services started here, away from
# any terminal: a service started by a program run under script(1) would
# hold that terminal open, and script would wait for it. The caller's trap
# ends it (wineserver -k).
wineserver -p
"$wine" cmd /c exit >/dev/null 2>&1
