# bash completion for wingstow-cli
_wingstow_cli() {
  local cur prev commands options
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  commands="unzip install remove list files status sim plan owner verify check"
  options="--sim --program-folder --yes --no --into --found --dry-run --json --quiet --help --version"
  case "$prev" in
    --sim) COMPREPLY=($(compgen -W "fs2002 fs2004" -- "$cur")); return ;;
    --program-folder|--into) COMPREPLY=($(compgen -d -- "$cur")); return ;;
    --found) return ;;
  esac
  if [[ "$cur" == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  # The command is the first word that is no option nor an option's value.
  local i word command=
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    case "$word" in
      --sim|--program-folder|--into|--found) ((i++)) ;;
      -*) ;;
      *) command=$word; break ;;
    esac
  done
  case "$command" in
    "") COMPREPLY=($(compgen -W "$commands" -- "$cur")) ;;
    sim) COMPREPLY=($(compgen -W "fs2002 fs2004" -- "$cur")) ;;
    unzip|install|plan) COMPREPLY=($(compgen -f -- "$cur")) ;;
    owner) COMPREPLY=($(compgen -f -- "$cur")) ;;
  esac
}
complete -o filenames -F _wingstow_cli wingstow-cli
