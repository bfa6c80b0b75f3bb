#include "RegScriptRows.h"

namespace {

void AddRows(const std::vector<RegStatement>& statements, int parent,
             std::vector<std::string>& rows) {
    for (const RegStatement& st : statements) {
        if (st.kind == RegStatement::Kind::Value) {
            rows.back() += "|" + st.name + "=" + st.value;
            continue;
        }
        const char* marker = st.marker == RegStatement::Marker::NoRemove      ? "NoRemove"
                             : st.marker == RegStatement::Marker::ForceRemove ? "ForceRemove"
                                                                              : "none";
        rows.push_back(std::to_string(parent) + "|" + st.name + "|" + marker + "|" + st.value);
        AddRows(st.children, static_cast<int>(rows.size()), rows);
    }
}

} // namespace

std::vector<std::string> RegScriptRows(const std::vector<RegStatement>& statements) {
    std::vector<std::string> rows;
    AddRows(statements, 0, rows);
    return rows;
}
