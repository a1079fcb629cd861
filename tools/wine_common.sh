# Sourced by the scripts that run the Windows build under Wine: where Wine's programs
# are, and a throw-away Wine prefix for one run.
#
# Debian's wine64 package keeps its loader and server in /usr/lib/wine, off PATH; the
# full wine package (or another distribution) puts wine64 / wine and wineserver on PATH.

# Prints the Wine loader's path; status 1 when there is none.
find_wine_loader() {
  local candidate
  for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
    if [[ -n "$candidate" && -x "$candidate" ]]; then
      echo "$candidate"
      return 0
    fi
  done
  return 1
}

find_wineserver() {
  local candidate
  for candidate in /usr/lib/wine/wineserver "$(command -v wineserver || true)"; do
    if [[ -n "$candidate" && -x "$candidate" ]]; then
      echo "$candidate"
      return 0
    fi
  done
  return 1
}

# Creates a fresh prefix in a temporary folder and starts its server for the whole run
# (persistent, so that it is not started, and its system processes not spawned, by an
# engine whose standard output a test is reading). Then runs the engine once, which sets
# the prefix up (some seconds; the first run's complaints on stderr are harmless), and
# checks that it answers ABOUT. Exports WINE_LOADER, WINESERVER, WINEPREFIX and the
# settings that keep Wine quiet and headless: no debug channels, no display, no prompts
# to install Mono or Gecko, and no debugger for a program that crashes. Wine's debugger
# would write its report to the program's standard output and end it with status 0;
# without it the crash ends the program with the exception code's low byte (5 for an
# access violation) and one line on stderr. Call stop_wine_prefix when done (a trap is
# best).
start_wine_prefix() {
  local exe="$1"
  WINE_LOADER="$(find_wine_loader)" || { echo "Wine is not installed" >&2; return 1; }
  WINESERVER="$(find_wineserver)" || { echo "wineserver is not installed" >&2; return 1; }
  WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/zerin-wine.XXXXXX")"
  export WINE_LOADER WINESERVER WINEPREFIX
  export WINEDEBUG=-all DISPLAY= WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  "$WINESERVER" -p
  local about
  about="$(printf 'ABOUT\nEND\n' | "$WINE_LOADER" "$exe" 2> /dev/null | tr -d '\r')" || true
  if [[ "$about" != 'name="Zerin"'* ]]; then
    echo "$exe under Wine does not answer ABOUT (got: ${about:-nothing})" >&2
    return 1
  fi
}

# Ends the prefix's server and every Wine process of the prefix, and removes it.
stop_wine_prefix() {
  if [[ -n "${WINEPREFIX:-}" && -d "$WINEPREFIX" ]]; then
    "$WINESERVER" -k 2> /dev/null || true
    "$WINESERVER" -w 2> /dev/null || true
    rm -rf "$WINEPREFIX"
  fi
}
