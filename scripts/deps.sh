# Sourced by run.sh and test.sh: installs the Debian packages the build needs,
# and nothing when they are all present.
tessarin_packages=(
  cmake ninja-build g++ pkg-config locales
  libjpeg62-turbo-dev libjpeg-turbo-progs libpng-dev zlib1g-dev libgif-dev libicu-dev
  libtiff-dev libwebp-dev
  libgtest-dev libgmock-dev clang-format
  qt6-base-dev qt6-translations-l10n fonts-noto-cjk
  xvfb xauth x11-utils xdotool
  desktop-file-utils appstream man-db groff-base file binutils
  qt6-l10n-tools qt6-tools-dev
)

tessarin_install_packages() {
  local missing=() p
  for p in "${tessarin_packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
