# Shared part of the simulator's stand-in tools (sourced, not run): finds the
# scenario control file and reads its keys the way the simulated drivers do
# ("key=value" lines, '#' starts a comment, the last line of a key wins).

sim_control_file() {
  if [ -n "${SCANVY_SIM_CONTROL:-}" ]; then
    printf '%s\n' "$SCANVY_SIM_CONTROL"
  elif [ -n "${SANE_CONFIG_DIR:-}" ]; then
    printf '%s/scenario.conf\n' "${SANE_CONFIG_DIR%%:*}"
  fi
}

# sim_key KEY DEFAULT: the value of KEY in the control file, else DEFAULT.
sim_key() {
  _file=$(sim_control_file)
  _value=
  _found=no
  if [ -n "$_file" ] && [ -r "$_file" ]; then
    while IFS= read -r _line || [ -n "$_line" ]; do
      _line=${_line%%#*}
      case $_line in
        *=*) ;;
        *) continue ;;
      esac
      _k=$(printf '%s' "${_line%%=*}" | tr -d ' \t')
      if [ "$_k" = "$1" ]; then
        _value=$(printf '%s' "${_line#*=}" | sed 's/^[[:space:]]*//; s/[[:space:]]*$//')
        _found=yes
      fi
    done <"$_file"
  fi
  if [ "$_found" = yes ]; then printf '%s\n' "$_value"; else printf '%s\n' "$2"; fi
}

# The devices of the scenario, one per line ("zylkx:KX-8000").
sim_devices() {
  sim_key devices "zylkx:KX-8000,zylkx:KX-F600,zylwy:WY200,zyljn:RV920" | tr -s ', \t' '\n' |
    sed '/^$/d'
}

# USB id and the consumables tool's line of each simulated model.
sim_usb_id() {
  case $1 in
    zylkx:KX-8000) echo "0a3d:4021" ;;
    zylkx:KX-F600) echo "0a3d:4013" ;;
    zylwy:WY200) echo "0b7e:1201" ;;
    zyljn:RV920) echo "0b7e:2f4c" ;;
  esac
}

sim_tool_line() {
  case $1 in
    zylwy:WY200) echo "WY-200" ;;
    *) echo "${1#*:}" ;;
  esac
}
