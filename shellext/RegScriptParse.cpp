#include "RegScript.h"

#include <cctype>

namespace {

struct Token {
    enum class Type { End, Word, Quoted, Error } type = Type::End;
    std::string text;

    bool Is(const char* word) const { return type == Type::Word && text == word; }
    bool IsName() const { return type == Type::Quoted || (type == Type::Word && !IsPunct()); }
    bool IsPunct() const { return text == "{" || text == "}" || text == "="; }
};

// Words are separated by white space; a single-quoted text may hold anything, '' for a quote.
class CTokenizer {
public:
    explicit CTokenizer(std::string_view text) : m_text(text) {}

    Token Next() {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos]))) {
            ++m_pos;
        }
        Token token;
        if (m_pos >= m_text.size()) {
            return token;
        }
        if (m_text[m_pos] == '\'') {
            ++m_pos;
            for (;;) {
                if (m_pos >= m_text.size()) {
                    token.type = Token::Type::Error; // unterminated text
                    return token;
                }
                const char c = m_text[m_pos++];
                if (c == '\'') {
                    if (m_pos < m_text.size() && m_text[m_pos] == '\'') {
                        token.text += '\'';
                        ++m_pos;
                        continue;
                    }
                    break;
                }
                token.text += c;
            }
            token.type = Token::Type::Quoted;
            return token;
        }
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && !std::isspace(static_cast<unsigned char>(m_text[m_pos]))) {
            ++m_pos;
        }
        token.type = Token::Type::Word;
        token.text = std::string(m_text.substr(start, m_pos - start));
        return token;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

class CParser {
public:
    explicit CParser(std::string_view text) : m_tokens(text) { Advance(); }

    bool ParseRoot(RegScript& script) {
        if (m_tok.type != Token::Type::Word) {
            return false;
        }
        if (EqualsNoCase(m_tok.text, "HKCR") || EqualsNoCase(m_tok.text, "HKEY_CLASSES_ROOT")) {
            script.root = RegRoot::ClassesRoot;
        } else {
            return false;
        }
        Advance();
        return ParseBlock(script.statements, 1) && m_tok.type == Token::Type::End;
    }

private:
    void Advance() { m_tok = m_tokens.Next(); }

    // "{" statement* "}" at the given nesting depth, the root block being 1
    bool ParseBlock(std::vector<RegStatement>& out, int depth) {
        if (!m_tok.Is("{") || depth > kMaxRegScriptDepth) {
            return false;
        }
        Advance();
        while (!m_tok.Is("}")) {
            if (m_tok.type == Token::Type::End || m_tok.type == Token::Type::Error) {
                return false;
            }
            RegStatement statement;
            if (!ParseStatement(statement, depth)) {
                return false;
            }
            out.push_back(std::move(statement));
        }
        Advance();
        return true;
    }

    // "=" "s" 'text'
    bool ParseStringValue(std::string& value) {
        if (!m_tok.Is("=")) {
            return false;
        }
        Advance();
        if (!(m_tok.type == Token::Type::Word && EqualsNoCase(m_tok.text, "s"))) {
            return false;
        }
        Advance();
        if (m_tok.type != Token::Type::Quoted) {
            return false;
        }
        value = m_tok.text;
        Advance();
        return true;
    }

    bool ParseStatement(RegStatement& st, int depth) {
        if (m_tok.type == Token::Type::Word && EqualsNoCase(m_tok.text, "NoRemove")) {
            st.marker = RegStatement::Marker::NoRemove;
            Advance();
        } else if (m_tok.type == Token::Type::Word && EqualsNoCase(m_tok.text, "ForceRemove")) {
            st.marker = RegStatement::Marker::ForceRemove;
            Advance();
        }
        if (m_tok.type == Token::Type::Word && EqualsNoCase(m_tok.text, "val")) {
            st.kind = RegStatement::Kind::Value;
            Advance();
            if (!m_tok.IsName()) {
                return false;
            }
            st.name = m_tok.text;
            Advance();
            st.hasValue = true;
            return ParseStringValue(st.value);
        }
        st.kind = RegStatement::Kind::Key;
        if (!m_tok.IsName()) {
            return false;
        }
        st.name = m_tok.text;
        Advance();
        if (m_tok.Is("=")) {
            st.hasValue = true;
            if (!ParseStringValue(st.value)) {
                return false;
            }
        }
        if (m_tok.Is("{")) {
            return ParseBlock(st.children, depth + 1);
        }
        return true;
    }

    CTokenizer m_tokens;
    Token m_tok;
};

} // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string ExpandRegScript(std::string_view text, const RegReplacements& replacements) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t open = text.find('%', pos);
        if (open == std::string_view::npos) {
            break;
        }
        const std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) {
            break;
        }
        const std::string_view name = text.substr(open + 1, close - open - 1);
        const std::pair<std::string, std::string>* match = nullptr;
        for (const auto& r : replacements) {
            if (EqualsNoCase(name, r.first)) {
                match = &r;
                break;
            }
        }
        if (match != nullptr) {
            out.append(text.substr(pos, open - pos));
            out += match->second;
            pos = close + 1;
        } else {
            // Not a name of ours: keep the first percent sign, look again from the second.
            out.append(text.substr(pos, close - pos));
            pos = close;
        }
    }
    out.append(text.substr(pos));
    return out;
}

bool ParseRegScript(std::string_view text, RegScript& script) {
    script = RegScript{};
    CParser parser(text);
    return parser.ParseRoot(script);
}
