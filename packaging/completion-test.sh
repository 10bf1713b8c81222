#!/usr/bin/env bash
# Checks the completion against the built fwerror: a name with blanks comes
# back quoted as one word, also when its first blank is already typed, and
# only the names of the word's position are offered.
set -u
source "$(dirname "$0")/faultwright-completion.bash"
PATH="$1:$PATH"
failed=0
expect() {  # expect WANTED WORDS...: completes the last word
  local wanted=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMPREPLY=()
  "_${COMP_WORDS[0]}"
  local got="${COMPREPLY[*]}"
  if [ "$got" != "$wanted" ]; then
    echo "completing '$*': got '$got', wanted '$wanted'"
    failed=1
  fi
}
expect 'Usable\ Satellites' fwerror GPS GPS Usab
expect 'Usable\ Satellites' fwerror -c GPS GPS '"Usable S'
expect 'Navigation\ And\ Control' fwerror -r Navigation
expect '' fwerror GPS GPS Usable\ Satellites 1 x
expect 'check' fwinspect ch
expect '--text-keys' fwinspect active --te
exit $failed
