#include "CmdLineSplitter.h"

#include <cstring>

CCmdLineSplitter::CCmdLineSplitter(const char* commandLine) {
    const std::size_t len = commandLine != nullptr ? std::strlen(commandLine) : 0;
    m_buffer.assign(commandLine, commandLine + len);
    m_buffer.push_back('\0');

    bool open = false, inQuotes = false;
    for (std::size_t i = 0; m_buffer[i] != '\0'; ++i) {
        char& c = m_buffer[i];
        if (c == '"') {
            inQuotes = !inQuotes;
            if (open) {
                c = '\0'; // the quote ends the open token
                open = false;
                continue;
            }
            if (m_buffer[i + 1] == '\0' || m_nCount == kMaxTokens) {
                break;
            }
            m_tokens[m_nCount++] = &m_buffer[i + 1];
            open = true;
        } else if (c == ' ' && !inQuotes) {
            if (open) {
                c = '\0';
                open = false;
            }
        } else if (!open) {
            if (m_nCount == kMaxTokens) {
                break;
            }
            m_tokens[m_nCount++] = &c;
            open = true;
        }
    }
}

const char* CCmdLineSplitter::Token(int index) const {
    return index >= 0 && index < m_nCount ? m_tokens[index] : nullptr;
}

std::string AppFolderFromCommandLine(const char* commandLine) {
    CCmdLineSplitter splitter(commandLine);
    const char* program = splitter.Token(0);
    if (program == nullptr) {
        return std::string();
    }
    const char* slash = std::strrchr(program, '\\');
    if (slash == nullptr) {
        return std::string();
    }
    return std::string(program, slash);
}
