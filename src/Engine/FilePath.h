#pragma once
#include <cstdio>
#include <string>

namespace VantorEngine {

// Resource paths are written with backslashes ("resources\shaders\Skybox.vs") in messages and
// cache keys; this is the one place where they become native paths, when a file is opened.
std::string nativePath(const std::string& path);

// fopen of the native form of `path`; null when it cannot be opened.
std::FILE* openFile(const std::string& path, const char* mode);

// Whole file as bytes; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& contents);

}  // namespace VantorEngine
