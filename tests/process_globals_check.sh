#!/bin/sh
# The process-wide preferences and logger are reached only where a process starts: the app's
# application object and the command line's context (and the files that define them). Every
# other part is handed the ones it uses, so that a caller (or a test) decides where it logs and
# which preferences it reads.
src="$1/src"
found=$(grep -rn --include='*.cpp' --include='*.h' 'PersistentLogger::shared()\|Preferences::shared()' "$src" |
    grep -v '^[^:]*:[0-9]*: *///' |
    grep -v "^$src/\(app/shell/VantrelApp.cpp\|cli/CliContext.cpp\|logging/SharedLogger.cpp\|model/SharedPreferences.cpp\):")
if [ -n "$found" ]; then
    echo "process-wide preferences or logger reached outside the entry points:"
    echo "$found"
    exit 1
fi
