#!/usr/bin/env bash
# Checks that no layer includes a header of a layer above it, that the layers below the
# editor's windows include no QtGui or QtWidgets header, and (given programs) that those
# programs load neither library.
#
#   [VELLICHORD_QT_MAJOR=6|5] tools/check-layers.sh [PROGRAM...]
#
# Layers, lowest first: src/model and src/midi (side by side), src/transfer, src/document, then
# src/cli and the editor's view/ and updater/, with app/ on top of them all. The document holds
# no widget; of QtGui and QtWidgets it uses only the undo classes, which Qt 6 keeps in QtGui and
# Qt 5 in QtWidgets. Class headers are looked up in the headers of the Qt that
# VELLICHORD_QT_MAJOR names (the build's, as CTest runs it), else of Qt 6 if installed, else Qt 5.
set -euo pipefail

SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/../src" && pwd)
QT_MAJOR=${VELLICHORD_QT_MAJOR:-}
if [[ -z $QT_MAJOR ]]; then
    QT_MAJOR=5
    pkg-config --exists Qt6Core && QT_MAJOR=6
fi
QT_HEADERS=$(pkg-config --variable=includedir "Qt${QT_MAJOR}Core" 2>/dev/null || true)
if [[ ! -d $QT_HEADERS/QtCore ]]; then
    echo "check-layers: no headers of Qt $QT_MAJOR in \"$QT_HEADERS\"" >&2
    exit 1
fi
status=0

declare -A MAY_USE=(
    [model]="model"
    [midi]="midi"
    [transfer]="transfer model midi"
    [cli]="cli transfer model midi"
    [document]="document transfer model midi"
    [view]="view document transfer model midi"
    [updater]="updater view document transfer model midi"
)
# The editor's windows may include QtGui and QtWidgets; the document only its undo stack.
declare -A GUI_ALLOWED=([view]=all [updater]=all [document]="QUndoStack QUndoCommand")

for layer in "${!MAY_USE[@]}"; do
    for file in "$SRC/$layer"/*.h "$SRC/$layer"/*.cpp; do
        [[ -e $file ]] || continue
        while IFS= read -r header; do
            found=false
            # A form's generated header, of a .ui file of the layer's own.
            if [[ $header == ui_*.h && -e $SRC/$layer/$(basename "${header#ui_}" .h).ui ]]; then
                found=true
            fi
            for folder in ${MAY_USE[$layer]}; do
                if [[ -e $SRC/$folder/$header ]]; then
                    found=true
                fi
            done
            if [[ $found == false ]]; then
                echo "${file#"$SRC"/}: includes \"$header\", which is not in ${MAY_USE[$layer]// /, }" >&2
                status=1
            fi
        done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
        while IFS= read -r header; do
            module=${header%%/*}
            name=${header#*/}
            if [[ $header != */* ]]; then
                # <QWidget>: a class header, found in the module that has it.
                module=""
                for candidate in QtGui QtWidgets; do
                    if [[ -e $QT_HEADERS/$candidate/$header && ! -e $QT_HEADERS/QtCore/$header ]]; then
                        module=$candidate
                    fi
                done
                [[ $header == QtGui || $header == QtWidgets ]] && module=$header
            fi
            allowed=${GUI_ALLOWED[$layer]:-}
            if [[ $allowed == all || " $allowed " == *" ${name##*/} "* ]]; then
                continue
            fi
            if [[ $module == QtGui || $module == QtWidgets ]]; then
                echo "${file#"$SRC"/}: includes <$header> from $module, above its layer" >&2
                status=1
            fi
        done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<\(Qt[^>]*\|Q[A-Z][^>]*\)>.*/\1/p' "$file")
    done
done

for program in "$@"; do
    if ldd "$program" | grep -E 'libQt[56](Gui|Widgets)' >&2; then
        echo "$program: loads QtGui or QtWidgets" >&2
        status=1
    fi
done

if ((status == 0)); then
    echo "check-layers: every layer includes only itself and the layers below it"
fi
exit $status
