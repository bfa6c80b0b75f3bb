// Registry script texts: any text expands without replacements to itself, and whatever parses
// prints back to a text that parses to the same tree.
#include "RegScript.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    return out + "'";
}

// Every name and text quoted, so no name can be read back as a keyword or a brace.
void Print(const std::vector<RegStatement>& statements, std::string& out) {
    for (const RegStatement& st : statements) {
        if (st.marker == RegStatement::Marker::NoRemove) {
            out += "NoRemove ";
        } else if (st.marker == RegStatement::Marker::ForceRemove) {
            out += "ForceRemove ";
        }
        if (st.kind == RegStatement::Kind::Value) {
            out += "val ";
        }
        out += Quoted(st.name);
        if (st.hasValue) {
            out += " = s " + Quoted(st.value);
        }
        if (!st.children.empty()) {
            out += " {\n";
            Print(st.children, out);
            out += "}";
        }
        out += "\n";
    }
}

bool Same(const std::vector<RegStatement>& a, const std::vector<RegStatement>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].marker != b[i].marker || a[i].name != b[i].name ||
            a[i].hasValue != b[i].hasValue || a[i].value != b[i].value ||
            !Same(a[i].children, b[i].children)) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (ExpandRegScript(text, {}) != text) {
        std::abort();
    }
    // As registration runs it: the module path put in first.
    RegScript script;
    ParseRegScript(ExpandRegScript(text, {{"Module", "C:\\it''s\\T.dll"}, {"Module_Raw", "%"}}),
                   script);

    if (!ParseRegScript(text, script)) {
        return 0;
    }
    std::string printed = "HKCR {\n";
    Print(script.statements, printed);
    printed += "}\n";
    RegScript again;
    if (!ParseRegScript(printed, again) || again.root != script.root ||
        !Same(again.statements, script.statements)) {
        std::abort();
    }
    return 0;
}
