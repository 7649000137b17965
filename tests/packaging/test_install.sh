#!/usr/bin/env bash
# Installs the built game into a staging folder and packs it as a Debian
# package: the programs, their manual pages, the menu entry, the icon and the
# AppStream metadata must land where desktops and software centres look for
# them, the package must name the libraries the game runs on, and Debian's own
# checker (lintian) must find nothing at error or warning level.
set -euo pipefail

fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}
need() { command -v "$1" >/dev/null || fail "$1 is missing: install the Debian package $2"; }

build_dir=${TAVRELO_BUILD_DIR:-}
[ -n "$build_dir" ] || fail "TAVRELO_BUILD_DIR must name the build folder"
[ -f "$build_dir/CMakeCache.txt" ] || fail "no configured build in $build_dir"
need cmake cmake
need cpack cmake
need dpkg-deb dpkg
need desktop-file-validate desktop-file-utils
need xmllint libxml2-utils
need readelf binutils
need lintian lintian
need appstreamcli appstream
need man man-db

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrelo-install.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Desktop entries are read by several tools; warnings count as faults here,
# hints do not.
validate_entry() {
    local entry=$1 report
    report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate rejects $entry: $report"
    if grep -E ': (error|warning):' <<<"$report" >&2; then
        fail "desktop-file-validate warns about $entry"
    fi
}

entry_value() { sed -n "s/^$2=//p" "$1"; }

# The files a desktop needs, under an installed prefix.
check_tree() {
    local root=$1
    local program=$root/games/tavrelo
    local tool=$root/games/tavrelo-records
    local metainfo=$root/share/metainfo/org.norvikk.tavrelo.metainfo.xml
    local entry=$root/share/applications/tavrelo.desktop
    local icon=$root/share/icons/hicolor/scalable/apps/tavrelo.svg

    [ -f "$program" ] || fail "no program $program"
    [ -x "$program" ] || fail "$program is not executable"
    [ "$(head -c 4 "$program" | od -An -c | tr -d ' ')" = '177ELF' ] || fail "$program is not an ELF program"
    # An installed program must not look for libraries in the build folder.
    if readelf -d "$program" | grep -E '\((RPATH|RUNPATH)\)'; then
        fail "$program keeps a library search path"
    fi
    # Linked with the Qt the build was made with, and with no other.
    readelf -d "$program" | grep -qE "\(NEEDED\).*\[libQt${qt}Core\.so" || fail "$program does not link Qt $qt"
    if readelf -d "$program" | grep -E "\(NEEDED\).*\[libQt${other}"; then
        fail "a Qt $qt build's $program links another Qt"
    fi

    [ -x "$tool" ] || fail "no program $tool"
    "$tool" --help | grep -q '^Usage: tavrelo-records' || fail "$tool --help does not say how to use it"
    local page report
    for page in tavrelo tavrelo-records; do
        [ -f "$root/share/man/man6/$page.6.gz" ] || fail "no manual page $page(6)"
        # groff's complaints are what lintian reports as warnings.
        report=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
            "$root/share/man/man6/$page.6.gz" 2>&1 >/dev/null)
        [ -z "$report" ] || fail "manual page $page(6) has faults: $report"
    done
    [ -f "$root/share/doc/tavrelo/copyright" ] || fail "no copyright file"
    grep -q '^License: GPL-3.0+' "$root/share/doc/tavrelo/copyright" || fail "copyright file names another licence"
    [ -f "$metainfo" ] || fail "no AppStream metadata $metainfo"
    appstreamcli validate --no-net "$metainfo" >"$work/appstream.txt" 2>&1 ||
        fail "appstreamcli rejects $metainfo: $(cat "$work/appstream.txt")"

    [ -f "$entry" ] || fail "no desktop entry $entry"
    validate_entry "$entry"
    [ "$(entry_value "$entry" Name)" = Tavrelo ] || fail "desktop entry Name is not Tavrelo"
    [ "$(entry_value "$entry" Type)" = Application ] || fail "desktop entry Type is not Application"
    # The menu starts what the package put on the PATH and shows what it put in the theme.
    local exec icon_name
    exec=$(entry_value "$entry" Exec)
    icon_name=$(entry_value "$entry" Icon)
    [ -x "$root/games/${exec%% *}" ] || fail "desktop entry runs '$exec', which is not in $root/games"
    [ "$icon_name" = tavrelo ] || fail "desktop entry names icon '$icon_name', not tavrelo"
    grep -qE '^Categories=(.*;)?Game;' "$entry" || fail "desktop entry is not in the Game category"

    [ -f "$icon" ] || fail "no icon $icon"
    xmllint --noout "$icon" || fail "$icon is not well-formed XML"
    [ "$(xmllint --xpath 'local-name(/*)' "$icon")" = svg ] || fail "$icon is not an SVG image"
}

# The board's own files, where the build has the board (Qt 6): its program, manual page and systemd unit.
check_board_tree() {
    local root=$1
    local program=$root/bin/tavrelo-board
    local unit=$root/lib/systemd/system/tavrelo-board.service
    [ -x "$program" ] || fail "no program $program"
    "$program" --help | grep -q '^Usage: tavrelo-board' || fail "$program --help does not say how to use it"
    # A server has no window, OpenGL view or sound: its layers leave those libraries out.
    if ldd "$program" | grep -E 'libQt[56](Widgets|OpenGL|Multimedia)'; then
        fail "$program links the application's libraries"
    fi
    local report
    report=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
        "$root/share/man/man1/tavrelo-board.1.gz" 2>&1 >/dev/null)
    [ -z "$report" ] || fail "manual page tavrelo-board(1) has faults: $report"
    [ -f "$root/share/doc/tavrelo-board/copyright" ] || fail "no copyright file for the board"
    [ -f "$unit" ] || fail "no systemd unit $unit"
    # A user made for the service alone, its state in /var/lib, and the system out of its reach.
    local setting
    for setting in DynamicUser=yes StateDirectory=tavrelo-board ProtectSystem=strict ProtectHome=yes \
        NoNewPrivileges=yes PrivateTmp=yes 'CapabilityBoundingSet=$' 'ExecStart=/usr/bin/tavrelo-board ' \
        IPAddressDeny=any IPAddressAllow=localhost MemoryDenyWriteExecute=yes MemoryMax=; do
        grep -qE "^$setting" "$unit" || fail "the board's unit lacks $setting"
    done
    if command -v systemd-analyze >/dev/null; then
        report=$(systemd-analyze verify --man=no "$unit" 2>&1 | grep -v 'tavrelo-board is not executable') ||
            true
        [ -z "$report" ] || fail "systemd-analyze verify: $report"
    fi
}

# The Qt the build was made with, and none other.
qt=$(sed -n 's/^TAVRELO_QT:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
[ "$qt" = 6 ] && other=5 || other=6
# The package is of the architecture the programs are built for (a cross build
# too), and depends on the OpenGL that architecture's Qt draws through.
case "$(readelf -h "$build_dir/tavrelo" | sed -n 's/^ *Machine: *//p')" in
ARM) arch=armhf multiarch=arm-linux-gnueabihf ;;
AArch64) arch=arm64 multiarch=aarch64-linux-gnu ;;
*) arch=$(dpkg --print-architecture) multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null) ;;
esac
gl=libgl1
if readelf -d "/usr/lib/$multiarch/libQt${qt}Gui.so.$qt" 2>/dev/null | grep -q '(NEEDED).*\[libGLESv2'; then
    gl=libgles2
fi
required=(libqt5core5a libqt5gui5 libqt5widgets5 libqt5opengl5 libqt5multimedia5 libqt5multimedia5-plugins "$gl")
[ "$qt" = 6 ] && required=(libqt6core6 libqt6gui6 libqt6widgets6 libqt6opengl6 libqt6openglwidgets6 libqt6multimedia6 "$gl")
stage=$work/stage
cmake --install "$build_dir" --prefix "$stage" >"$work/install.log" 2>&1 ||
    {
        cat "$work/install.log" >&2
        fail "cmake --install failed"
    }
check_tree "$stage"
board=no
if grep -q '^TAVRELO_BOARD_BUILT:INTERNAL=ON' "$build_dir/CMakeCache.txt"; then
    board=yes
    check_board_tree "$stage"
fi

# CPack first brings the build up to date, as `make package` would.
[ -f "$build_dir/CPackConfig.cmake" ] || fail "no CPackConfig.cmake in $build_dir: is packaging/ configured?"
(cd "$build_dir" && cpack -G DEB -B "$work/deb") >"$work/cpack.log" 2>&1 ||
    {
        cat "$work/cpack.log" >&2
        fail "cpack -G DEB failed"
    }
shopt -s nullglob
debs=("$work"/deb/tavrelo_*.deb)
board_debs=("$work"/deb/tavrelo-board_*.deb)
all_debs=("$work"/deb/*.deb)
shopt -u nullglob
[ ${#debs[@]} -eq 1 ] || fail "expected one tavrelo .deb from cpack, found ${#debs[@]}"
deb=${debs[0]}
if [ "$board" = yes ]; then
    [ ${#board_debs[@]} -eq 1 ] && [ ${#all_debs[@]} -eq 2 ] ||
        fail "expected the game's and the board's .deb, found: ${all_debs[*]}"
else
    [ ${#all_debs[@]} -eq 1 ] || fail "expected one .deb from cpack, found ${#all_debs[@]}"
fi

dpkg-deb -I "$deb" >"$work/info.txt" || fail "dpkg-deb cannot read $deb"
[ "$(dpkg-deb -f "$deb" Package)" = tavrelo ] || fail "package is not named tavrelo"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "package names no maintainer"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] ||
    fail "package is for $(dpkg-deb -f "$deb" Architecture), its programs for $arch"

# Every package named in Depends, alternatives included, without versions.
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',|' '\n' <<<"$depends" | sed -E 's/^ *([^ (]+).*/\1/' | sort -u)
if grep -q "^libqt$other" <<<"$names"; then
    fail "a Qt $qt build's package depends on Qt $other: $depends"
fi
if command -v dpkg-shlibdeps >/dev/null; then
    required+=(libc6 libstdc++6)
fi
for package in "${required[@]}"; do
    grep -qx -- "$package" <<<"$names" || fail "Depends does not name $package: $depends"
done

dpkg-deb -c "$deb" >"$work/contents.txt" || fail "dpkg-deb cannot list $deb"
for path in ./usr/games/tavrelo ./usr/games/tavrelo-records ./usr/share/applications/tavrelo.desktop \
    ./usr/share/icons/hicolor/scalable/apps/tavrelo.svg; do
    grep -qE " $path\$" "$work/contents.txt" || fail "$path is not in the package"
done
grep -qE '^-rwxr-xr-x root/root .* \./usr/games/tavrelo$' "$work/contents.txt" ||
    fail "the packaged program is not an executable owned by root"

# Debian's checker: errors and warnings are faults; hints and notes are not.
lintian --fail-on error,warning "$deb" >"$work/lintian.txt" 2>&1 || {
    grep -vE '^[IPNXO]: ' "$work/lintian.txt" >&2
    fail "lintian finds faults in $(basename "$deb")"
}
if grep -vE ' \./usr(/|$)' "$work/contents.txt" >&2; then
    fail "the package puts files outside /usr"
fi

# What the package unpacks is as sound as what cmake installs.
dpkg-deb -x "$deb" "$work/unpacked" || fail "dpkg-deb cannot unpack $deb"
check_tree "$work/unpacked/usr"

if [ "$board" = yes ]; then
    board_deb=${board_debs[0]}
    [ "$(dpkg-deb -f "$board_deb" Package)" = tavrelo-board ] || fail "the board's package is not named tavrelo-board"
    board_depends=$(dpkg-deb -f "$board_deb" Depends)
    for package in libqt6sql6-sqlite libmicrohttpd12 libqt6core6; do
        grep -q "$package" <<<"$board_depends" || fail "the board's Depends does not name $package: $board_depends"
    done
    if grep -Eq 'widgets|opengl|multimedia|libgl1|libgles2|libpulse' <<<"$board_depends"; then
        fail "the board's Depends names the application's libraries: $board_depends"
    fi
    if dpkg-deb -c "$deb" | grep -q tavrelo-board; then
        fail "the game's package holds the board's files"
    fi
    lintian --fail-on error,warning "$board_deb" >"$work/lintian-board.txt" 2>&1 || {
        grep -vE '^[IPNXO]: ' "$work/lintian-board.txt" >&2
        fail "lintian finds faults in $(basename "$board_deb")"
    }
    dpkg-deb -x "$board_deb" "$work/board" || fail "dpkg-deb cannot unpack $board_deb"
    check_board_tree "$work/board/usr"
fi

echo "PASS: installed tree and $(basename "$deb") hold the programs, manual pages, menu entry, icon and metadata; lintian is content"
