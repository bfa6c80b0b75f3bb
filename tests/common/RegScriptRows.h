// A registry script's statement tree as rows of text, one per key statement, to compare trees
// in tests: "parent|name|marker|default" with "|name=value" for each named value, where parent
// is the 1-based row of the enclosing key (0 for the root) and marker is NoRemove, ForceRemove
// or none.
#pragma once

#include "RegScript.h"

#include <string>
#include <vector>

std::vector<std::string> RegScriptRows(const std::vector<RegStatement>& statements);
