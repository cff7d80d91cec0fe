#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every tracked C++, CMake and shell file names its licence in its first two
# lines (the second when the first is a #! line). Lists the files that do not.
set -euo pipefail
cd "$(dirname "$0")/.."
missing=0
while IFS= read -r -d '' file; do
    if ! head -n 2 "$file" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later'; then
        echo "no SPDX line: $file" >&2
        missing=1
    fi
done < <(git ls-files -z -- '*.cpp' '*.h' '*.h.in' '*.cmake' '*CMakeLists.txt' '*.sh')
exit "$missing"
