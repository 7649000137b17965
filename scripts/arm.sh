# The ARM stage of scripts/test, sourced by it after the amd64 builds: armhf
# with Qt 5 on OpenGL ES 2 (the devices the game is made for) and arm64 with
# the default Qt, cross-built with Debian's toolchains and run under qemu-user.
#
# Danger: under qemu 7.2 a Qt program that starts a child can be handed -1 as
# the child's id and later send SIGKILL to -1, which as root ends every process
# on the machine. So every ARM program here runs inside its own PID namespace
# (arm_isolated), and the tests get Qt's pidfd probe answered "not supported"
# (tests/emulation/no_pidfd_preload.cpp), so that children start at all.

# arm64 builds with the default Qt; armhf with Qt 5, whose Debian build draws
# through OpenGL ES 2 and EGL.
TAVRELO_ARM64_QT="${TAVRELO_ARM64_QT:-6}"

# Left out under emulation, with the reason:
# - test_real_input: drives the real window with X input against the clock; at
#   the 2 to 12 frames a second emulation gives, it cannot pass.
# - test_wayland: the target's Qt Wayland plugin is not installed for it; the
#   same window is tested on X here and on Wayland in the amd64 stages.
# - tst_window_sound: times the finish cue against the finish frame to 100 ms
#   and the engine over a lap raced in real time, which emulation's frame rate
#   cannot keep; the mixer's own tests run here, the recording on amd64.
# - test_sound_server: drives the real window with X keys against the clock,
#   as test_real_input does.
TAVRELO_ARM_EXCLUDED='^(test_real_input|test_wayland|tst_window_sound|test_sound_server)$'

arm_packages() {
    local qt6=(qt6-base-dev:arm64 libqt6opengl6-dev:arm64 qt6-qpa-plugins:arm64 qt6-multimedia-dev:arm64)
    local qt5=(qtbase5-dev:arm64 libqt5opengl5-dev:arm64 qtmultimedia5-dev:arm64 libqt5multimedia5-plugins:arm64)
    local arm64_qt=("${qt6[@]}")
    [ "$TAVRELO_ARM64_QT" = 5 ] && arm64_qt=("${qt5[@]}")
    printf '%s\n' crossbuild-essential-armhf crossbuild-essential-arm64 qemu-user qemu-user-static binfmt-support \
        qtbase5-dev:armhf libqt5opengl5-dev:armhf qtmultimedia5-dev:armhf libqt5multimedia5-plugins:armhf libpulse-dev:armhf libsdl2-dev:armhf \
        libbenchmark-dev:armhf libgl1-mesa-dri:armhf libegl-mesa0:armhf \
        libglx-mesa0:armhf libbenchmark-dev:arm64 libpulse-dev:arm64 libsdl2-dev:arm64 libgl1-mesa-dri:arm64 libegl-mesa0:arm64 libglx-mesa0:arm64 \
        "${arm64_qt[@]}"
}

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        sudo "$@"
    fi
}

# Runs a command in a PID namespace of its own: whatever it signals, it can
# reach nothing outside.
arm_isolated() {
    if [ "$(id -u)" -eq 0 ]; then
        unshare --pid --fork --mount-proc "$@"
    else
        unshare --user --map-root-user --pid --fork --mount-proc "$@"
    fi
}

arm_setup() {
    local arch
    for arch in armhf arm64; do
        dpkg --print-foreign-architectures | grep -qx "$arch" || as_root dpkg --add-architecture "$arch" ||
            die "cannot add the $arch architecture"
    done
    local packages
    mapfile -t packages < <(arm_packages)
    ensure_packages "${packages[@]}"
    # Children the tests start are ARM programs too: the kernel hands them to qemu.
    if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
        as_root mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || die "cannot mount binfmt_misc"
    fi
    local emulator
    for emulator in qemu-arm qemu-aarch64; do
        if [ "$(head -n 1 /proc/sys/fs/binfmt_misc/$emulator 2>/dev/null)" != enabled ]; then
            as_root update-binfmts --enable "$emulator" || die "cannot register $emulator with the kernel"
        fi
    done
    arm_isolated true || die "unshare cannot make a PID namespace here: ARM programs must not run without one"
}

# arm_build ARCH QT: configures (once) and builds build-ARCH.
arm_build() {
    local arch=$1 qt=$2
    local toolchain=(-DCMAKE_TOOLCHAIN_FILE="$TAVRELO_ROOT/cmake/toolchain-$arch.cmake")
    # The toolchain is read once, when the folder is first configured.
    [ -f "$TAVRELO_ROOT/build-$arch/CMakeCache.txt" ] && toolchain=()
    TAVRELO_BUILD="$TAVRELO_ROOT/build-$arch" build_project "${toolchain[@]}" -DTAVRELO_QT="$qt"
}

# arm_suite ARCH: the whole suite under emulation, but for the tests named above.
arm_suite() {
    local arch=$1
    say ""
    say "=== tests on $arch under qemu ==="
    (cd "$TAVRELO_ROOT/build-$arch" && arm_isolated ctest --output-on-failure -j2 -E "$TAVRELO_ARM_EXCLUDED") ||
        failed=1
}

# Records written by an ARM build are read by the amd64 build to the bit, and back.
arm_shared_records() {
    local arch=$1
    say ""
    say "=== records shared between amd64 and $arch ==="
    local row
    for row in "an ARM build reads" "an ARM build writes"; do
        TAVRELO_ARM_BUILD="$TAVRELO_ROOT/build-$arch" QT_QPA_PLATFORM=xcb TAVRELO_EXE="$TAVRELO_BUILD/tavrelo" \
            TAVRELO_RECORDS_EXE="$TAVRELO_BUILD/tavrelo-records" \
            QEMU_SET_ENV="LD_PRELOAD=$TAVRELO_ROOT/build-$arch/tests/libno_pidfd_preload.so" \
            arm_isolated "$TAVRELO_BUILD/tests/tst_window_records" "a_best_lap_is_kept_for_the_next_process:$row" >&2 ||
            failed=1
    done
}

# The real window of an ARM build draws what the amd64 build draws: the
# screenshots of the menu and of a race compared pixel by pixel, allowing for
# anti-aliasing (a pixel counts as different beyond 20% off; at most 1% may be).
arm_screenshots() {
    local arch=$1 pictures
    pictures=$(mktemp -d)
    mkdir -p "$pictures/amd64" "$pictures/$arch"
    say ""
    say "=== screenshots: $arch against amd64 ==="
    TAVRELO_SCREENSHOT_DIR="$pictures/amd64" QT_QPA_PLATFORM=xcb TAVRELO_RECORDS_EXE="$TAVRELO_BUILD/tavrelo-records" \
        "$TAVRELO_BUILD/tests/tst_window_screenshots" -silent >&2 || failed=1
    TAVRELO_SCREENSHOT_DIR="$pictures/$arch" QT_QPA_PLATFORM=xcb \
        TAVRELO_RECORDS_EXE="$TAVRELO_ROOT/build-$arch/tavrelo-records" \
        QEMU_SET_ENV="LD_PRELOAD=$TAVRELO_ROOT/build-$arch/tests/libno_pidfd_preload.so" \
        arm_isolated "$TAVRELO_ROOT/build-$arch/tests/tst_window_screenshots" -silent >&2 || failed=1
    local picture name different total
    for picture in "$pictures/amd64"/*.png; do
        name=$(basename "$picture")
        if [ ! -f "$pictures/$arch/$name" ]; then
            say "screenshot $name: none from $arch"
            failed=1
            continue
        fi
        different=$(compare -metric AE -fuzz 20% "$picture" "$pictures/$arch/$name" null: 2>&1 >/dev/null)
        total=$(identify -format '%[fx:w*h]' "$picture")
        if [[ "$different" =~ ^[0-9]+$ ]] && [ $((different * 100)) -le "$total" ]; then
            say "screenshot $name: $different of $total pixels differ"
        else
            say "screenshot $name differs on $arch: $different of $total pixels (kept in $pictures)"
            failed=1
            continue
        fi
    done
    [ "$failed" -ne 0 ] || rm -rf "$pictures"
}

arm_stage() {
    local start=$SECONDS
    arm_setup
    arm_build armhf 5
    arm_build arm64 "$TAVRELO_ARM64_QT"
    local arch
    for arch in armhf arm64; do
        arm_suite "$arch"
        arm_shared_records "$arch"
    done
    arm_screenshots armhf
    say "ARM stage: $((SECONDS - start)) s"
}
