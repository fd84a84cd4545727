#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that every source file names its licence in its first five lines:
# "SPDX-License-Identifier: GPL-3.0-or-later". Lists those that do not and exits 1.
# tools/add-spdx.sh adds the line where it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/lib/spdx-files.sh

missing=0
checked=0
while read -r comment file; do
    checked=$((checked + 1))
    if ! head -n 5 "$file" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later'; then
        echo "no licence line: $file"
        missing=$((missing + 1))
    fi
done < <(spdx_files)
if [ "$missing" -gt 0 ]; then
    echo "$missing of $checked source files have no SPDX-License-Identifier line (tools/add-spdx.sh adds it)" >&2
    exit 1
fi
echo "SPDX licence line: all $checked source files"
