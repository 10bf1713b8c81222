# Bash completion of fwerror and fwinspect.
#
# fwerror completes its four names in order (module, submodule, problem,
# type) from its own listings (-M, -S, -P, -T: one "<tab>value<tab>name" line
# per name), quoted so that a name with blanks stays one argument; fwinspect
# completes its commands, their options and configuration directories.

# The names that "$1 $2" lists that begin with the word being completed ($3,
# as typed: its quotes and backslashes are not part of the name).
_faultwright_names() {
  local typed=${3//\\/} name IFS=$'\n'
  typed=${typed#[\"\']}
  COMPREPLY=()
  for name in $("$1" "$2" 2>/dev/null | sed -n 's/^\t[^\t]*\t//p'); do
    [[ $name == "$typed"* ]] && COMPREPLY+=("$(printf '%q' "$name")")
  done
}

_fwerror() {
  local cur=${COMP_WORDS[COMP_CWORD]} position=0 i
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "-c -r --clear --raise -h -M -S -P -T --modules --submodules --problems --types" -- "$cur"))
    return
  fi
  for ((i = 1; i < COMP_CWORD; i++)); do
    [[ ${COMP_WORDS[i]} == -* ]] || ((position++))
  done
  local listings=(-M -S -P -T)
  ((position < 4)) && _faultwright_names "${COMP_WORDS[0]}" "${listings[position]}" "$cur"
}
complete -F _fwerror fwerror

_fwinspect() {
  local cur=${COMP_WORDS[COMP_CWORD]} command=${COMP_WORDS[1]}
  local commands="check tree list export active history decode serve"
  if ((COMP_CWORD == 1)); then
    COMPREPLY=($(compgen -W "$commands help --help --version" -- "$cur"))
    return
  fi
  local options
  case $command in
    check) options="--json" ;;
    tree) options="--all" ;;
    active) options="--text-keys --json --watch" ;;
    history) options="--json" ;;
    decode) options="--flat" ;;
    serve) options="--listen" ;;
    help)
      COMPREPLY=($(compgen -W "$commands" -- "$cur"))
      return
      ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
  elif [[ ${COMP_WORDS[COMP_CWORD - 1]} == --watch || ${COMP_WORDS[COMP_CWORD - 1]} == --listen ]]; then
    COMPREPLY=()
  elif [[ $command == export && COMP_CWORD -ge 3 ]]; then
    COMPREPLY=($(compgen -f -- "$cur"))
  else
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -d -- "$cur"))
  fi
}
complete -F _fwinspect fwinspect
