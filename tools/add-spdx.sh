#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Adds "SPDX-License-Identifier: GPL-3.0-or-later", as a comment of the file's language,
# to every source file that lacks it in its first five lines: as the first line, or after
# the "#!" line of a script. Files that have it are left as they are; run it again and
# nothing changes. tools/check-spdx.sh checks the result.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/lib/spdx-files.sh

line='SPDX-License-Identifier: GPL-3.0-or-later'
added=0
while read -r comment file; do
    head -n 5 "$file" | grep -q "$line" && continue
    tmp=$(mktemp)
    if head -c 2 "$file" | grep -q '^#!'; then
        { head -n 1 "$file"; echo "$comment $line"; tail -n +2 "$file"; } >"$tmp"
    else
        { echo "$comment $line"; cat "$file"; } >"$tmp"
    fi
    # Keep the file's mode (scripts stay executable).
    cat "$tmp" >"$file"
    rm -f "$tmp"
    echo "added: $file"
    added=$((added + 1))
done < <(spdx_files)
echo "licence line added to $added files"
