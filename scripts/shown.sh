# Sourced by the demo scripts.
# Arguments as they would be typed: quoted when they hold blanks.
shown() {
  local out="" a
  for a in "$@"; do
    case $a in *[[:space:]]*|'') out+=" \"$a\"" ;; *) out+=" $a" ;; esac
  done
  printf '%s' "${out# }"
}
