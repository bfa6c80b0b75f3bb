// Cuts a command line into tokens: spaces separate tokens outside double quotes, and a quoted
// token is taken without its quotes. Works on its own copy; keeps at most 25 tokens.
#pragma once

#include <string>
#include <vector>

class CCmdLineSplitter {
public:
    static constexpr int kMaxTokens = 25;

    explicit CCmdLineSplitter(const char* commandLine);
    int Count() const { return m_nCount; }
    // The token at index, or nullptr when there is none.
    const char* Token(int index) const;

private:
    std::vector<char> m_buffer;
    const char* m_tokens[kMaxTokens] = {};
    int m_nCount = 0;
};

// The application folder from a command line's first token; empty when the token gives none.
std::string AppFolderFromCommandLine(const char* commandLine);
