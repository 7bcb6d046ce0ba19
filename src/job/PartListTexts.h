#pragma once
// The part list panel's language texts (section "PartListConfig"): keys and
// their built-in Chinese texts.
#include <string>
#include <utility>
#include <vector>

namespace smt::job {

// Every key of the panel with its built-in text, in a fixed order.
const std::vector<std::pair<std::string, std::string>>& PartListTextTable();
// The built-in text of a key ("" for an unknown key).
const std::string& PartListBuiltinText(const std::string& key);

}  // namespace smt::job
