# Sourced by the scripts: what this host runs (host.sh) and quiet Wine.
# The Wine loader and prefix of each kind of Windows program are chosen by wine-run.sh alone.
. "$(dirname "${BASH_SOURCE[0]}")/host.sh"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
