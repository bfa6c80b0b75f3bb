// The registry script of Torlin.dll: its text parsed into a statement tree, and the tree run
// against the registry in register or unregister mode.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct RegStatement {
    enum class Kind { Key, Value };
    enum class Marker { None, NoRemove, ForceRemove };

    Kind kind = Kind::Key;
    Marker marker = Marker::None;
    std::string name;
    bool hasValue = false; // a key's default value, or always for a value statement
    std::string value;     // REG_SZ data
    std::vector<RegStatement> children;
};

struct RegScript {
    HKEY root = nullptr;
    std::vector<RegStatement> statements;
};

using RegReplacements = std::vector<std::pair<std::string, std::string>>;

// Replaces every %NAME% whose NAME matches a replacement without regard to case. Other
// percent signs are left as they are.
std::string ExpandRegScript(std::string_view text, const RegReplacements& replacements);

// Parses "HKCR { ... }". False for a malformed script.
bool ParseRegScript(std::string_view text, RegScript& script);

enum class RegMode { Register, Unregister };

// Runs the statements below root. A failed registration is undone by an unregister run and
// its first failure returned.
HRESULT ApplyRegScript(const RegScript& script, HKEY root, RegMode mode);
