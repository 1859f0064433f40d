// Opening the files that options name (the book, the hash file) for reading.
#pragma once

#include <cstdio>

// Opens a regular file for reading; null when it is missing or not a regular file. A directory,
// a pipe or a device counts as missing: reading a directory fails only later, opening a pipe
// could block the engine, and a device has no length to check.
FILE* openRegularFile(const char* name);
