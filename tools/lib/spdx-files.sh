#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The project's source files that carry a licence line, one per line, with the comment
# that starts it ("//" or "#"): the C++ sources and headers, CMake files, shell and
# Python scripts, configured templates, and scripts without an extension that start
# with "#!". Shared by tools/check-spdx.sh and tools/add-spdx.sh.

spdx_files() {
    local file
    git ls-files --cached --others --exclude-standard | while IFS= read -r file; do
        [ -f "$file" ] || continue
        case "$file" in
            *.cpp | *.h | *.hpp | *.h.in | *.cpp.in) echo "// $file" ;;
            *.sh | *.cmake | */CMakeLists.txt | CMakeLists.txt | *.py | *.service.in | \
                *.sysusers | debian/rules) echo "# $file" ;;
            *)
                # A name without an extension: a script when it starts with "#!".
                case "${file##*/}" in *.*) continue ;; esac
                if head -c 2 "$file" | grep -q '^#!'; then echo "# $file"; fi
                ;;
        esac
    done
}
