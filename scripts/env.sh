# Sourced by the scripts: the Wine prefix and quiet Wine.
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-norvel}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
