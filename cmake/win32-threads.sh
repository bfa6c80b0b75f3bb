#!/bin/sh
# Compiler and linker launcher: runs the command that CMake gives with another compiler driver.
# Usage: win32-threads.sh DRIVER CMAKE_DRIVER ARGS...
driver="$1"
shift 2
exec "$driver" "$@"
