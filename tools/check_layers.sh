#!/bin/sh
# Every include of the project's own headers keeps to the order of the layers:
# a folder under src/ includes only its own headers and those of the layers
# below it. The core (text to dissolve) never includes io, the system's layer.
# Prints each include that does not keep to the order, and fails when there is
# one. (The build enforces the same through each library's include path.)
cd "$(dirname "$0")/../src" || exit 2
core="text archive entities jww jws dissolve"
allowed() {
  case "$1" in
    text) echo "text" ;;
    archive) echo "archive text" ;;
    entities) echo "entities archive text" ;;
    jww | jws) echo "$1 entities archive text" ;;
    dissolve) echo "dissolve entities archive text" ;;
    io) echo "io archive text" ;;
    app) echo "app $core io" ;;
    cli) echo "cli app $core io" ;;
    gui) echo "gui app $core io" ;;
    *) echo "" ;;
  esac
}
bad=0
for dir in */; do
  layer=${dir%/}
  ok=$(allowed "$layer")
  for f in $(find "$layer" -name '*.h' -o -name '*.cpp'); do
    for inc in $(sed -n 's/^#include "\([a-z0-9_]*\)\/.*"$/\1/p' "$f"); do
      case " $ok " in
        *" $inc "*) ;;
        *) echo "src/$f includes a header of src/$inc/, which is not below src/$layer/"; bad=1 ;;
      esac
    done
  done
done
# The core is bytes in, bytes out: no threads, no files, no paths.
for layer in $core; do
  hits=$(grep -nE '#include <(thread|mutex|condition_variable|future|filesystem|fstream)>|std::(thread|filesystem|ifstream|ofstream)|fopen\(' \
    $(find "$layer" -name '*.h' -o -name '*.cpp'))
  if [ -n "$hits" ]; then
    echo "$hits" | sed "s|^|src/|;s|\$|  (the core uses no thread, file or path)|"
    bad=1
  fi
done
exit $bad
