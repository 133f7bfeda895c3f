#include "FilePath.h"

namespace VantorEngine {

std::string nativePath(const std::string& path) {
    std::string native = path;
#ifndef _WIN32
    for (char& c : native) {
        if (c == '\\') c = '/';
    }
#endif
    return native;
}

std::FILE* openFile(const std::string& path, const char* mode) {
    return std::fopen(nativePath(path).c_str(), mode);
}

bool readWholeFile(const std::string& path, std::string& contents) {
    std::FILE* file = openFile(path, "rb");
    if (!file) return false;
    contents.clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) contents.append(buffer, n);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

}  // namespace VantorEngine
