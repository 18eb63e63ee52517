#!/usr/bin/env bash
# Checks the installable program: the launcher entry, the metadata, the Debian package,
# where `cmake --install` puts every file, and how the installed program starts.
#
#   package_check.sh --build DIR --driver LIB [--deb FILE]
#
# DIR is a configured and built build folder; LIB the window driver library (it presses
# buttons in the program started without a screen); FILE a .deb made from DIR (without
# it the check makes one with cpack when dpkg-shlibdeps is there).
# Exit status: 0 all passed, 1 a check failed, 77 the rest passed but checks were skipped
# for want of a tool (the output names them).
set -u

build= driver= deb=
while [ $# -gt 0 ]; do
    case $1 in
        --build) build=$(cd "$2" && pwd); shift 2 ;;
        --driver) driver=$(realpath "$2"); shift 2 ;;
        --deb) deb=$2; shift 2 ;;
        *) echo "package_check: unknown argument $1" >&2; exit 1 ;;
    esac
done
[ -n "$build" ] && [ -n "$driver" ] || { echo "usage: $0 --build DIR --driver LIB [--deb FILE]" >&2; exit 1; }

ID=de.holmtex.Notiz
VERSION_TEXT="Holmtex Notiz 2.45"
WINDOW_TITLE="Holmtex Notiz Version  2.45"
# lintian tags accepted as they are (the README's packaging section says why).
LINTIAN_ACCEPTED=""

failures=0
skipped=()
pass() { echo "ok:   $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skip() { echo "SKIP: $* (the tool is not installed)"; skipped+=("$*"); }
have() { command -v "$1" >/dev/null 2>&1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Every file an installation holds, below the prefix.
expected_files() {
    cat <<LIST
bin/holmtex
libexec/holmtex/krumo-34
share/applications/$ID.desktop
share/doc/holmtex/LICENSE
share/doc/holmtex/changelog.gz
share/doc/holmtex/copyright
LIST
    for size in 16 24 32 48 64 128 256; do echo "share/icons/hicolor/${size}x${size}/apps/$ID.png"; done
    cat <<LIST
share/icons/hicolor/scalable/apps/$ID.svg
share/man/de/man1/holmtex.1.gz
share/man/man1/holmtex.1.gz
share/metainfo/$ID.metainfo.xml
LIST
}
expected=$(expected_files | LC_ALL=C sort)

# ---- cmake --install into a fresh prefix -------------------------------------------------
prefix=$tmp/install/usr
if cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1; then
    actual=$(cd "$prefix" && find . ! -type d | sed 's#^\./##' | LC_ALL=C sort)
    if [ "$actual" = "$expected" ]; then
        pass "cmake --install puts every file in its place"
    else
        fail "cmake --install: files differ from the expected ones"
        diff <(echo "$expected") <(echo "$actual") | sed 's/^/      /'
    fi
    for program in bin/holmtex libexec/holmtex/krumo-34; do
        [ -x "$prefix/$program" ] || fail "$program is not executable"
    done
    for size in 16 24 32 48 64 128 256; do
        png=$prefix/share/icons/hicolor/${size}x${size}/apps/$ID.png
        # Width and height are the big-endian words at bytes 16 and 20 of a PNG.
        dims=$(od -An -tu1 -j16 -N8 "$png" 2>/dev/null | awk '{print $3*256+$4 "x" $7*256+$8}')
        [ "$dims" = "${size}x${size}" ] || fail "icon for ${size}x${size} is $dims"
    done
else
    fail "cmake --install failed"
    sed 's/^/      /' "$tmp/install.log"
fi
desktop=$prefix/share/applications/$ID.desktop
metainfo=$prefix/share/metainfo/$ID.metainfo.xml

# ---- Launcher entry and metadata -----------------------------------------------------------
key() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(key Exec)" = holmtex ] || fail "launcher entry: Exec is '$(key Exec)'"
[ "$(key Icon)" = "$ID" ] || fail "launcher entry: Icon is '$(key Icon)'"
[ "$(key Categories)" = "Office;" ] || fail "launcher entry: Categories is '$(key Categories)'"
# Qt gives the window the class name of the application, "Holmtex Notiz".
[ "$(key StartupWMClass)" = "Holmtex Notiz" ] || fail "launcher entry: StartupWMClass is '$(key StartupWMClass)'"
grep -q "^Comment\[de\]=" "$desktop" || fail "launcher entry: no German Comment"
grep -q "<id>$ID</id>" "$metainfo" && grep -q "<launchable type=\"desktop-id\">$ID.desktop<" "$metainfo" \
    || fail "metainfo: id or launchable does not name $ID"
grep -q '<summary xml:lang="de">' "$metainfo" || fail "metainfo: no German summary"

if have desktop-file-validate; then
    if out=$(desktop-file-validate "$desktop" 2>&1); then
        pass "desktop-file-validate${out:+ (notes: $out)}"
    else
        fail "desktop-file-validate"
        echo "$out" | sed 's/^/      /'
    fi
else
    skip "desktop-file-validate"
fi
if have appstreamcli; then
    if out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
        pass "appstreamcli validate --no-net: $(echo "$out" | tail -1)"
    else
        fail "appstreamcli validate --no-net"
        echo "$out" | sed 's/^/      /'
    fi
else
    skip "appstreamcli"
fi

# ---- The Debian package --------------------------------------------------------------------
if [ -z "$deb" ]; then
    if have dpkg-shlibdeps && have cpack; then
        if cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/deb" >"$tmp/cpack.log" 2>&1; then
            deb=$(ls "$tmp"/deb/holmtex_*.deb 2>/dev/null | head -1)
        fi
        [ -n "$deb" ] || { fail "cpack -G DEB made no package"; sed 's/^/      /' "$tmp/cpack.log"; }
    else
        skip "cpack -G DEB (needs dpkg-shlibdeps from dpkg-dev)"
    fi
fi
if [ -n "$deb" ]; then
    in_deb=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's#^\./usr/##' | LC_ALL=C sort)
    if [ "$in_deb" = "$expected" ]; then
        pass "the package holds every file in its place"
    else
        fail "the package's files differ from the expected ones"
        diff <(echo "$expected") <(echo "$in_deb") | sed 's/^/      /'
    fi
    depends=$(dpkg-deb -f "$deb" Depends)
    for need in libqt6widgets6 libc6 qt6-qpa-plugins qt6-translations-l10n; do
        echo "$depends" | grep -q "\b$need\b" || fail "package Depends lacks $need: $depends"
    done
    [ -n "$(dpkg-deb -f "$deb" Section)" ] && [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] \
        || fail "package has no Section or Maintainer"
    if have lintian; then
        if out=$(lintian --fail-on error,warning ${LINTIAN_ACCEPTED:+--suppress-tags "$LINTIAN_ACCEPTED"} "$deb" 2>&1); then
            pass "lintian: no errors, no warnings beyond the accepted${out:+; notes:}"
            [ -n "$out" ] && echo "$out" | sed 's/^/      /'
        else
            fail "lintian"
            echo "$out" | sed 's/^/      /'
        fi
    else
        skip "lintian"
    fi
fi

# ---- The installed program -----------------------------------------------------------------
program=$prefix/bin/holmtex
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
# A program built with AddressSanitizer (make sanitize) needs its run-time library before any
# other preloaded one.
preload=$driver
asan_runtime=$(ldd "$program" 2>/dev/null | awk '/libasan/ {print $3; exit}')
[ -n "$asan_runtime" ] && preload=$asan_runtime:$driver
# Starts the program without a screen; the driver presses the buttons given first.
run_window() {
    local clicks=$1
    shift
    env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_CONFIG_HOME QT_QPA_PLATFORM=offscreen \
        HOLMTEX_DRIVE_CLICKS="$clicks" timeout -k 5 60 env LD_PRELOAD="$preload" "$@"
}
# The names in a folder that do not start with a dot, one a line.
visible_names() { (cd "$1" && ls -1); }

out=$("${no_display[@]}" "$program" --version 2>&1)
rc=$?
[ $rc = 0 ] && [ "$out" = "$VERSION_TEXT" ] && pass "--version without a display" \
    || fail "--version: exit $rc, printed '$out'"
out=$("${no_display[@]}" "$program" --help 2>&1)
rc=$?
[ $rc = 0 ] && echo "$out" | grep -q "ORDNER" && pass "--help without a display lists ORDNER" \
    || fail "--help: exit $rc, printed '$out'"
out=$("${no_display[@]}" QT_QPA_PLATFORM=offscreen "$program" "$tmp/nowhere" 2>&1)
rc=$?
[ $rc = 2 ] && echo "$out" | grep -q "gibt es nicht" && [ ! -e "$tmp/nowhere" ] \
    && pass "a missing folder argument ends with exit 2 and a German message" \
    || fail "missing folder: exit $rc, printed '$out'"

out=$("${no_display[@]}" "$program" "$tmp" 2>&1)
rc=$?
[ $rc = 2 ] && [ "${out#holmtex: }" != "$out" ] && ! echo "$out" | grep -qw make \
    && pass "without a display: exit 2 and advice that names no make target" \
    || fail "without a display: exit $rc, printed '$out'"

# A folder argument, started from an unrelated folder: save a page, write it as text.
mkdir -p "$tmp/elsewhere" "$tmp/data"
out=$(cd "$tmp/elsewhere" && run_window "Command1 Command7" "$program" "$tmp/data" 2>&1)
rc=$?
if [ $rc = 0 ] && echo "$out" | grep -q "^title: $WINDOW_TITLE\$" && [ -s "$tmp/data/holmtex-aktuell.dat" ] \
    && [ -z "$(ls -A "$tmp/elsewhere")" ]; then
    pass "a start with a folder argument keeps its files in that folder"
else
    fail "start with a folder argument: exit $rc; output: $out; folder: $(visible_names "$tmp/data" | tr '\n' ' ')"
fi
if ls "$tmp/data"/Text_*.txt >/dev/null 2>&1; then
    pass "the installed program found its krumo-34 and wrote $(cd "$tmp/data" && ls Text_*.txt)"
else
    fail "no Text_….txt: $(echo "$out" | grep '^Text5:')"
fi

# A start from the home folder without an argument, as a launcher does it.
home=$tmp/home
mkdir -p "$home"
out=$(cd "$home" && HOME=$home run_window "Command1" "$program" 2>&1)
rc=$?
if [ $rc = 0 ] && [ -s "$home/Documents/Holmtex Notiz/holmtex-aktuell.dat" ] \
    && [ "$(visible_names "$home")" = Documents ] \
    && [ "$(visible_names "$home/Documents")" = "Holmtex Notiz" ]; then
    pass "a start from the home folder keeps its files in Documents/Holmtex Notiz"
else
    fail "start from the home folder: exit $rc; output: $out; home: $(cd "$home" && find . | tr '\n' ' ')"
fi

# The launcher entry's Exec line, as a menu runs it: from the home folder, through PATH.
home=$tmp/menu-home
mkdir -p "$home"
exec_line=$(key Exec | sed 's/ *%[fFuUick]//g')
out=$(cd "$home" && HOME=$home PATH="$prefix/bin:$PATH" run_window "" sh -c "$exec_line" 2>&1)
rc=$?
if [ $rc = 0 ] && echo "$out" | grep -q "^title: $WINDOW_TITLE\$" \
    && [ -d "$home/Documents/Holmtex Notiz" ]; then
    pass "the launcher entry's Exec line ($exec_line) opens the window"
else
    fail "Exec line '$exec_line': exit $rc; output: $out"
fi

echo
if [ $failures -gt 0 ]; then
    echo "package check: $failures failed"
    exit 1
fi
if [ ${#skipped[@]} -gt 0 ]; then
    echo "package check: passed, but skipped for want of a tool: ${skipped[*]}"
    exit 77
fi
echo "package check: all passed"
