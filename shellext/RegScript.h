// The registry script of Torlin.dll as text: its replacements, and its parse into a statement
// tree. Free of any platform call (also built by fuzz/); RegScriptApply.h runs the tree.
#pragma once

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

// The predefined keys a script may start from.
enum class RegRoot { ClassesRoot };

struct RegScript {
    RegRoot root = RegRoot::ClassesRoot;
    std::vector<RegStatement> statements;
};

// Blocks nested deeper than this are refused: the parser and the interpreter recurse per level.
constexpr int kMaxRegScriptDepth = 64;

using RegReplacements = std::vector<std::pair<std::string, std::string>>;

// Keywords, replacement names and registry names match without regard to (ASCII) case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Replaces every %NAME% whose NAME matches a replacement without regard to case. Other
// percent signs are left as they are.
std::string ExpandRegScript(std::string_view text, const RegReplacements& replacements);

// Parses "HKCR { ... }". False for a malformed script.
bool ParseRegScript(std::string_view text, RegScript& script);
