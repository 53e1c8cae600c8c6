# Sourced by the other scripts: installs the Debian packages given that are not there yet. A name
# may carry an architecture (libc6:arm64); a foreign one is added to dpkg first, so that the
# package lists fetched next hold its packages.
ensure_packages() {
    local missing=() architectures=()
    local package status architecture
    for package in "$@"; do
        # A package installed for two architectures has a status line for each.
        status=$(dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null || true)
        grep -qx 'install ok installed' <<<"$status" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local known
    known=" $(dpkg --print-architecture) $(dpkg --print-foreign-architectures | tr '\n' ' ')"
    for package in "${missing[@]}"; do
        [[ $package == *:* ]] || continue
        architecture=${package##*:}
        [[ $known == *" $architecture "* ]] || {
            architectures+=("$architecture")
            known+="$architecture "
        }
    done
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    for architecture in "${architectures[@]}"; do
        echo "adding the architecture $architecture to dpkg"
        "${sudo[@]}" dpkg --add-architecture "$architecture"
    done
    echo "installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}
