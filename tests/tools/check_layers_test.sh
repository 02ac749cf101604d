#!/usr/bin/env bash
# check_layers_test.sh CHECK_LAYERS
# The layer check flags an include that runs upward or sideways, and only
# those: a tree with one of each kind, and lawful ones around them.
set -u
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
plant() {  # plant FILE INCLUDE...
  mkdir -p "$tree/$(dirname "$1")"
  local file=$1
  shift
  for inc in "$@"; do echo "#include \"$inc\""; done >"$tree/$file"
}
plant core/converter.cpp core/platform/file_system.h ui/main/main_dlg.h
plant app/settings.cpp core/converter.h shellext/module.h
plant ui/dialogs/about_dlg.cpp ui/controls/hyperlink.h ui/main/header_dlg.h res/resource.h
plant ui/main/main_dlg.cpp ui/dialogs/about_dlg.h ui/format_selector.h framework/dialog.h app/settings.h
plant program/win_main.cpp ui/main/main_dlg.h gorsemere_idl.h
plant shellext/module.cpp core/platform/win32_handles.h framework/handles.h app/settings.h gorsemere_idl.h
plant framework/wnd.cpp res/resource.h shellext/command_text.h
plant core/filters.cpp res/product_info.h

out=$("$check" "$tree")
rc=$?
expected="core/converter.cpp:2: core includes ui/main/main_dlg.h (upward, ui/main)
app/settings.cpp:2: app includes shellext/module.h (shellext stands apart)
core/filters.cpp:1: core includes res/product_info.h (sideways, res)
framework/wnd.cpp:2: framework includes shellext/command_text.h (shellext stands apart)
shellext/module.cpp:3: shellext includes app/settings.h (not among what shellext may use)
ui/dialogs/about_dlg.cpp:2: ui/dialogs includes ui/main/header_dlg.h (upward, ui/main)"
got=$(sed -n 's/^  //p' <<<"$out" | sort)
if [ "$rc" -ne 1 ] || [ "$got" != "$(sort <<<"$expected")" ]; then
  echo "FAILED: exit $rc, reported:"
  echo "$out"
  echo "expected:"
  echo "$expected"
  exit 1
fi
echo "check-layers flags exactly the six planted includes"
