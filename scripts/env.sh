# Sourced by the scripts: the Wine prefix and quiet Wine.
export WINEPREFIX="${WINEPREFIX:-${HOME:-/root}/.wine-norvel}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
