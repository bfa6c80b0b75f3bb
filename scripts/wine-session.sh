# Sourced by the project's commands: a private Xvfb display, the build tree's Wine prefix
# and a persistent wineserver, all stopped again by wine_session_stop.

WINE_BIN=/usr/lib/wine/wine64
[ -x "$WINE_BIN" ] || WINE_BIN=$(command -v wine64 || command -v wine)
WINESERVER_BIN=/usr/lib/wine/wineserver
[ -x "$WINESERVER_BIN" ] || WINESERVER_BIN=$(command -v wineserver)

XVFB_PID=

wine_session_start() {
    local build_dir="$1"
    export WINEPREFIX="$build_dir/wineprefix"
    # Wine reports a file as writable by Everyone when its Unix mode lets others write, and
    # Torlin.dll then refuses to register from its folder: what a session makes, only its
    # owner may write.
    umask 022
    export WINEARCH=win64
    export WINEDEBUG=-all
    # No Mono or Gecko, and no menu entries or file associations on the Linux desktop.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

    if [ -z "${QARVO_USE_DISPLAY:-}" ]; then
        local n
        for n in $(seq 91 140); do
            [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
            Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
            XVFB_PID=$!
            local i
            for i in $(seq 1 50); do
                [ -e "/tmp/.X11-unix/X$n" ] && break
                sleep 0.1
            done
            if kill -0 "$XVFB_PID" 2>/dev/null; then
                export DISPLAY=":$n"
                break
            fi
            XVFB_PID=
        done
        if [ -z "$XVFB_PID" ]; then
            echo "could not start Xvfb" >&2
            return 1
        fi
    fi

    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix in $WINEPREFIX"
        "$WINE_BIN" wineboot -i </dev/null >/dev/null 2>&1 || true
        "$WINESERVER_BIN" -w
    fi
    # A persistent server, and Wine's services started once with every stream detached:
    # services started later by a test would inherit ctest's pipes and keep it waiting.
    if ! "$WINESERVER_BIN" -p </dev/null >/dev/null 2>&1; then
        echo "could not start a persistent Wine server for $WINEPREFIX" >&2
        return 1
    fi
    "$WINE_BIN" cmd /c exit </dev/null >/dev/null 2>&1 || true
    # Every program starts at the display's own DPI: a DPI that a run left behind (wine-run's
    # QARVO_TEST_DPI, ended by a kill before it could take it back) goes.
    "$WINE_BIN" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f \
        </dev/null >/dev/null 2>&1 || true
    # Xvfb has no window manager: with "managed" windows Wine waits two seconds for one at
    # every window it hides or destroys.
    # A prefix just made may still be settling: tried again before giving up, and said so.
    [ -f "$WINEPREFIX/.qarvo-unmanaged" ] && return 0
    local try
    for try in 1 2 3 4 5; do
        if "$WINE_BIN" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
            </dev/null >/dev/null 2>&1; then
            touch "$WINEPREFIX/.qarvo-unmanaged"
            return 0
        fi
        sleep "$try"
    done
    echo "could not switch off Wine's managed windows in $WINEPREFIX" >&2
    return 1
}

wine_session_stop() {
    [ -n "${WINEPREFIX:-}" ] && "$WINESERVER_BIN" -k >/dev/null 2>&1 || true
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}

# Installs what is missing, builds the default preset quietly and starts a Wine session that
# ends with the calling script. With a CPU number, the calling script, and with it the session
# (Xvfb, the Wine server, every program), is pinned to that one CPU after the build.
# Usage: build_and_start_wine ROOT [CPU]
build_and_start_wine() {
    local root="$1" cpu="${2:-}"
    bash "$root/scripts/setup.sh"
    cmake --preset default >/dev/null
    cmake --build --preset default >/dev/null
    if [ -n "$cpu" ]; then
        # A server of this prefix still running from before would keep its own CPUs.
        WINEPREFIX="$root/build/wineprefix" "$WINESERVER_BIN" -k >/dev/null 2>&1 || true
        taskset -cp "$cpu" $$ >/dev/null
    fi
    trap wine_session_stop EXIT
    wine_session_start "$root/build"
}
