// Command lines: at most 25 tokens, each a quote-free piece of the line, in the line's order;
// the application folder is token 0 up to its last backslash, or empty without one.
#include "CmdLineSplitter.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A command line is a C string: it ends at the first NUL.
    std::string line(reinterpret_cast<const char*>(data), size);
    line.resize(std::strlen(line.c_str()));

    const CCmdLineSplitter splitter(line.c_str());
    const int count = splitter.Count();
    if (count < 0 || count > CCmdLineSplitter::kMaxTokens || splitter.Token(-1) != nullptr ||
        splitter.Token(count) != nullptr) {
        std::abort();
    }
    std::size_t pos = 0;
    for (int i = 0; i < count; ++i) {
        const char* token = splitter.Token(i);
        if (token == nullptr || std::strchr(token, '"') != nullptr) {
            std::abort();
        }
        pos = line.find(token, pos);
        if (pos == std::string::npos) {
            std::abort();
        }
        pos += std::strlen(token);
    }

    const std::string folder = AppFolderFromCommandLine(line.c_str());
    const std::string program = count > 0 ? splitter.Token(0) : "";
    const std::size_t slash = program.rfind('\\');
    if (folder != (slash == std::string::npos ? std::string() : program.substr(0, slash))) {
        std::abort();
    }
    return 0;
}
