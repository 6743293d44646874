#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The core knows no front end: no folder of it includes Qt, app/ or win/, and neither front
# end includes the other. Usage: layering.sh SRC_DIR
set -eu
cd "$1"
status=0
for dir in */; do
    dir=${dir%/}
    case $dir in
    app) banned='"win/' ;;
    win) banned='"app/|<Q' ;;
    *) banned='"app/|"win/|<Q[A-Za-z]*>' ;;
    esac
    if found=$(grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*($banned)" "$dir"); then
        echo "$dir reaches beyond its layer:"
        echo "$found"
        status=1
    fi
done
exit $status
