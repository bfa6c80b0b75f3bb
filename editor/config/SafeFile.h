// The files the editor writes beside itself are written whole or not at all.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Puts bytes into path crash-safely: they go into a new file beside it ("<path>.new"), are
// flushed to the disk and checked (check is given the new file's path and says whether it holds
// what it must), and only then is the new file moved over path in one step. A crash or a full
// disk at any moment leaves either the old or the new file whole. S_OK, or the reason of a
// failure, after which the new file is gone and path untouched.
HRESULT ReplaceFileSafely(const std::string& path, const std::string& bytes,
                          const std::function<bool(const std::string& written)>& check);

// The whole file into bytes, when it can be read and holds at most maxBytes.
bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string& bytes);
