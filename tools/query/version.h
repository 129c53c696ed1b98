// What `meldrove-query --version` prints.
#pragma once

#include <string>

namespace query {

// "meldrove-query <version>" on the first line, which scripts may read, and
// what the answers rest on after it; every line ends in a newline.
std::string versionText();

}  // namespace query
