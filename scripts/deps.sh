# Installs what Quennor needs to build, test and run, where it is missing (Debian).
QUENNOR_PACKAGES="cmake ninja-build make g++ qt6-base-dev qt6-translations-l10n googletest libgtest-dev
    gcc-avr binutils-avr avr-libc fonts-liberation dpkg-dev file acl attr e2fsprogs"

quennor_install_deps() { # extra packages...
    local missing=()
    for package in $QUENNOR_PACKAGES "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
            "${missing[@]}"
}

# Builds quietly: the compiler's output is shown only when the build fails.
quennor_build() { # build directory, extra cmake options...
    local dir=$1
    shift
    echo "Building in ${dir#"$QUENNOR_ROOT"/} ..."
    mkdir -p "$dir"
    # Ninja starts a target's files as soon as what they include exists, where make waits for
    # the libraries they link. A folder configured for make is configured afresh.
    if [ -f "$dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$dir/CMakeCache.txt"; then
        rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
    fi
    if ! { cmake -G Ninja -S "$QUENNOR_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" &&
        cmake --build "$dir" -j "$(nproc)"; } >"$dir/build.log" 2>&1; then
        cat "$dir/build.log"
        return 1
    fi
}
