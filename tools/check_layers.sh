#!/bin/sh
# Every include of the project's own headers keeps to the order of the layers:
# a folder under src/ includes only its own headers and those of the layers
# below it. Prints each include that does not, and fails when there is one.
cd "$(dirname "$0")/../src" || exit 2
allowed() {
  case "$1" in
    text) echo "text" ;;
    io) echo "io" ;;
    archive) echo "archive text io" ;;
    entities) echo "entities archive text io" ;;
    jww | jws) echo "$1 entities archive text io" ;;
    dissolve) echo "dissolve entities archive text io" ;;
    app) echo "app dissolve jww jws entities archive text io" ;;
    cli) echo "cli app io" ;;
    gui) echo "gui app io" ;;
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
exit $bad
