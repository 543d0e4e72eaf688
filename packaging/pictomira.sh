#!/bin/sh
# pictomira: starts the authoring program of this installation on the
# user's own library. The program folder is ../lib/pictomira from this
# script's real location (links followed), so an unpacked package runs
# where it lies; the library is "Pictomira" in the user's documents folder
# (xdg-user-dir), or in the home folder when that is not known. Arguments
# are passed on: a command (pictomira --list) runs on the same folders.
here=$(dirname "$(readlink -f "$0")")
program=$(readlink -f "$here/../lib/pictomira")
documents=$(xdg-user-dir DOCUMENTS 2>/dev/null)
if [ -z "$documents" ]; then documents=$HOME; fi
exec "$program/Pictomira" --folder "$program" --library "$documents/Pictomira" "$@"
