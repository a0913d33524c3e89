# Helpers for the bench scripts that run the real game; sourced, not run.

# Writes the stored player Ann (every tutorial seen, so no dialog opens over
# the menu; a known pool position) into the data folder $1, scrambled by the
# build's tool $2.
store_player() {
    local players="$1/Orvendale/Games/Quorvel/players"
    mkdir -p "$players"
    cat > "$players/players.xml" <<'XML'
<?xml version="1.0" encoding="utf-8" ?>
<root>
<Players id="players" version="1" currentplayer="Ann"><Vector id="playernames"><Quorvel2Player name="Ann" SEED="20261207" INDEX="0" WOD="-1" MAX="8"><Node id="TRACKER" TUTORIAL_0="true" TUTORIAL_1="true" TUTORIAL_2="true" TUTORIAL_3="true" TUTORIAL_4="true" /></Quorvel2Player></Vector></Players>
</root>
XML
    "$2" "$players/players.xml" "$players/players.plrs.!"
    rm "$players/players.xml"
}

# Starts the game of the build folder $1 with folders of its own under $2
# (made here; its log is $2/log) and, unless $3 is "newplayer", the stored
# player above; the arguments after $3 go to env before the game's own
# settings (QMV_FULL_REDRAW=1, -u NAME). Sets `pid`.
start_game() {
    local build="$1" home="$2" state="$3"
    shift 3
    mkdir -p "$home/data" "$home/config"
    mkdir -m 700 "$home/runtime"
    [ "$state" = newplayer ] || store_player "$home/data" "$build/tools/scramble/scramble"
    # Its own runtime folder: the single-instance lock lives there, so a copy
    # of the game running elsewhere cannot make this one end at once.
    (cd "$build/run" && exec env "$@" SDL_AUDIODRIVER=dummy QMV_RANDOM_SEED=7 XDG_RUNTIME_DIR="$home/runtime" \
        XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" "$build/run/quorvel" 2>"$home/log" >/dev/null) &
    pid=$!
}

# Ends the game start_game started last, if it still runs.
stop_game() {
    if [ -n "${pid:-}" ]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    pid=
}

# Clicks the menu button at ($3, $4) of the game $1 until its log $2 holds the
# text $5 (the menu may still be fading in), at most $6 times, $7 s apart.
# Fails when the text never shows.
choose_mode() {
    local window
    window=$(xdotool search --sync --pid "$1" | tail -1)
    for _ in $(seq "$6"); do
        xdotool mousemove --window "$window" "$3" "$4" click 1
        sleep "$7"
        grep -qs "$5" "$2" && return 0
    done
    return 1
}
