#include "query/version.h"

#include "meldrove_version.h"
#include "selection/unicode_data.h"

namespace query {

std::string versionText() {
    std::string text = "meldrove-query " MELDROVE_VERSION "\n";
    text += "Unicode " + std::string(selection::kUnicodeVersion) + " blocks and assigned code points\n";
    text += MELDROVE_COPYRIGHT ", under the MIT licence\n";
    return text;
}

}  // namespace query
