#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if any is missing.
# As a normal user it prints the apt command to run instead.
set -euo pipefail
packages=(qt6-base-dev qt6-svg-dev libgmime-3.0-dev pkg-config fonts-liberation2 cmake g++ make
          googletest libgtest-dev libbenchmark-dev xvfb xauth xdotool x11-utils openbox parallel
          man-db groff-base dpkg-dev desktop-file-utils appstream python3)
for option in "$@"; do
    case "$option" in
        --with-bench-peers) packages+=(ripgrep) ;;
        --with-checks) packages+=(clang-tidy-14 clang-format-14) ;; # .ci/run's code checks
        --with-package-checks) packages+=(lintian) ;; # the packaging tests of scripts/test.sh
        --with-slurm) packages+=(slurm-wlm munge) ;; # the Slurm recipe's test (.ci/run)
    esac
done
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
cmd="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Please run as root:" >&2
    echo "  sudo apt-get update && sudo $cmd" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
$cmd
