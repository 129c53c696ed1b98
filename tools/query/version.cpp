#include "query/version.h"

#include "coverage/language_data.h"
#include "coverage/unicode_data.h"
#include "meldrove_version.h"

namespace query {

std::string versionText() {
    std::string text = "meldrove-query " MELDROVE_VERSION "\n";
    text += "Unicode " + std::string(coverage::kUnicodeVersion) + " blocks and assigned code points\n";
    text += "CLDR " + std::string(coverage::kCldrVersion) + " exemplar characters of languages\n";
    text += MELDROVE_COPYRIGHT ", under the MIT licence\n";
    return text;
}

}  // namespace query
