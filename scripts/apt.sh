# Sourced by the install steps: installs Debian packages in a way that survives a mirror that is
# briefly out of sync. An index that fails to download is not fatal by itself; what decides is
# whether the packages can then be installed.
#   apt_install PKG...   installs what is missing of PKG...; status 0 when all are installed after it.
#                        On failure, APT_ERROR holds apt's first error line (for a summary).

APT_ERROR=""
apt_sudo=""
[ "$(id -u)" -ne 0 ] && apt_sudo="sudo"
apt_opts=(-o Acquire::Retries=3 -o DPkg::Lock::Timeout=900)
apt_install_opts=(--no-install-recommends)  # a caller that wants recommends sets it to ()

apt_missing() {  # PKG... -> prints those not installed, one a line
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

apt_update() {  # three tries with a pause; a failure is only reported
  local try log
  log=$(mktemp)
  for try in 1 2 3; do
    if $apt_sudo apt-get "${apt_opts[@]}" update -qq 2>"$log"; then rm -f "$log"; return 0; fi
    [ "$try" -lt 3 ] && { echo "apt-get update failed (try $try of 3); trying again in 10 s" >&2; sleep 10; }
  done
  APT_ERROR=$(grep -m1 '^E:' "$log" || tail -n1 "$log")
  echo "apt-get update failed three times: $APT_ERROR" >&2
  echo "Going on with the package indexes there are." >&2
  rm -f "$log"
}

apt_install() {
  local missing log
  mapfile -t missing < <(apt_missing "$@")
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  apt_update
  log=$(mktemp)
  local status=0
  DEBIAN_FRONTEND=noninteractive $apt_sudo apt-get "${apt_opts[@]}" install -y -qq \
    "${apt_install_opts[@]}" "${missing[@]}" 2>"$log" || status=$?
  cat "$log" >&2
  if [ "$status" -eq 0 ]; then
    rm -f "$log"
    APT_ERROR=""
    return 0
  fi
  local install_error
  install_error=$(grep -m1 '^E:' "$log" || tail -n1 "$log")
  rm -f "$log"
  # The update's error is the cause when there was one; apt's install error is the symptom.
  APT_ERROR=${APT_ERROR:+$APT_ERROR; }$install_error
  return 1
}
