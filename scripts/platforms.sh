# Sourced by the test scripts. on_both_platforms runs a test command on Qt's
# xcb platform under a private Xvfb, then on the platform that
# QT_QPA_PLATFORM names (offscreen when unset), so that the second run's output
# comes last; it fails if either run fails. The X server, and the runtime
# folder made for Qt when none is set, go when the script that sourced this exits.

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
made_runtime_dir=
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    made_runtime_dir=$(mktemp -d)
    export XDG_RUNTIME_DIR="$made_runtime_dir"
fi
platforms_shell=$BASHPID
xvfb_pid=
xvfb_display=

leave_nothing_behind() {
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    # The runtime folder only from the shell that made it, not from a
    # subshell (a pipeline) that started the X server.
    [ -z "$made_runtime_dir" ] || [ "$BASHPID" != "$platforms_shell" ] || rm -rf "$made_runtime_dir"
}
trap leave_nothing_behind EXIT

start_xvfb() {
    local ready
    ready=$(mktemp)
    # Xvfb takes a free display number itself and writes it to file
    # descriptor 3 once it accepts clients.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$ready" 2>"$ready.log" &
    xvfb_pid=$!
    # Again, for a subshell, which starts without the trap.
    trap leave_nothing_behind EXIT
    until grep -q '^[0-9][0-9]*$' "$ready"; do
        if ! kill -0 "$xvfb_pid" 2>/dev/null; then
            echo "Xvfb did not start:" >&2
            cat "$ready.log" >&2
            rm -f "$ready" "$ready.log"
            return 1
        fi
        sleep 0.1
    done
    xvfb_display=":$(cat "$ready")"
    rm -f "$ready" "$ready.log"
}

on_both_platforms() {
    local status=0
    if [ -n "$xvfb_display" ] || start_xvfb; then
        echo "== on xcb ($xvfb_display): $*"
        QT_QPA_PLATFORM=xcb DISPLAY="$xvfb_display" "$@" || status=$?
    else
        status=1
    fi
    echo "== on $QT_QPA_PLATFORM: $*"
    "$@" || status=$?
    return $status
}
