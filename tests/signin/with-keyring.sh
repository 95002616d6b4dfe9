#!/bin/sh
# Runs a command with a private, unlocked Secret Service: a temporary HOME, a private session
# bus (dbus-run-session) and gnome-keyring-daemon with an empty password. Nothing touches the
# user's own keyring or bus. Without the tools the command still runs (its keychain cases skip).
# Usage: with-keyring.sh COMMAND [ARGS...]
set -eu

if [ "${SCRIVEL_IN_KEYRING:-}" != 1 ]; then
    if ! command -v dbus-run-session >/dev/null 2>&1; then
        echo "with-keyring: dbus-run-session missing; running without a keyring" >&2
        exec "$@"
    fi
    home=$(mktemp -d "${TMPDIR:-/tmp}/scrivel-keyring.XXXXXX")
    trap 'rm -rf "$home"' EXIT INT TERM
    mkdir -p "$home/run" "$home/.local/share" "$home/.config" "$home/.cache"
    chmod 700 "$home/run"
    status=0
    HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_DATA_HOME="$home/.local/share" \
        XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" SCRIVEL_IN_KEYRING=1 \
        dbus-run-session -- "$0" "$@" || status=$?
    exit "$status"
fi

# Inside the private bus.
daemon=""
if command -v gnome-keyring-daemon >/dev/null 2>&1; then
    # An empty password line (not just end of input) creates and unlocks the "login" keyring,
    # so storing a secret never asks for a prompt that nobody could answer.
    printf '\n' | gnome-keyring-daemon --foreground --unlock --components=secrets \
        >"$HOME/keyring.log" 2>&1 &
    daemon=$!
    tries=0
    until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null \
        | grep -q 'boolean true'; do
        tries=$((tries + 1))
        if [ "$tries" -ge 200 ]; then
            echo "with-keyring: the keyring did not start" >&2
            cat "$HOME/keyring.log" >&2
            break
        fi
        sleep 0.05
    done
else
    echo "with-keyring: gnome-keyring-daemon missing; running without a keyring" >&2
fi

status=0
"$@" || status=$?
if [ -n "$daemon" ]; then
    kill "$daemon" 2>/dev/null || true
    wait "$daemon" 2>/dev/null || true
fi
exit "$status"
