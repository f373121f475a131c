#!/bin/sh
# Runs a program of the installation under /opt/corvane with a writable host folder of the
# user's own: the catalogue, the template store and the working folders live there.
ZQ_HOST_FOLDER=${ZQ_HOST_FOLDER:-${XDG_DATA_HOME:-$HOME/.local/share}/corvane}
mkdir -p "$ZQ_HOST_FOLDER" || exit 2
export ZQ_HOST_FOLDER
exec "/opt/corvane/$(basename "$0")" "$@"
