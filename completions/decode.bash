# Bash completion for decode: its options, the table names after --csv=,
# json after --info=, and file names everywhere else.

_decode() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local before=${COMP_WORDS[COMP_CWORD-1]:-}
  local option='' value=''
  # "--csv=da" may arrive whole, or split at "=" into "--csv" "=" "da".
  if [[ $cur == --*=* ]]; then
    option=${cur%%=*} value=${cur#*=}
  elif [[ $cur == = ]]; then
    option=$before
  elif [[ $before == = ]]; then
    option=${COMP_WORDS[COMP_CWORD-2]:-} value=$cur
  fi
  case $option in
    --csv) COMPREPLY=($(compgen -W 'header marker data pressure index system' -- "$value")); return ;;
    --info) COMPREPLY=($(compgen -W 'json' -- "$value")); return ;;
    --plot) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- "$value")); return ;;
    --from | --to) COMPREPLY=(); return ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '-d -t -s -p -h --help --version --csv= --from= --to= --info --info= --plot=' -- "$cur"))
    [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
    return
  fi
  compopt -o filenames 2>/dev/null
  COMPREPLY=($(compgen -f -- "$cur"))
}
complete -F _decode decode
