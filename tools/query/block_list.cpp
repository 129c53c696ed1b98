#include "query/block_list.h"

#include <cstdio>
#include <string>

#include "coverage/coverage_rows.h"
#include "coverage/languages.h"
#include "query/text.h"

namespace query {

void writeBlockList(const ShowBlocks& request, Output& out) {
    for (const auto& row : coverage::coverageRows()) {
        if (!row.inBlockList && !request.all) break;
        if (request.json) {
            JsonObject object;
            object.key("name").value(row.name).key("bit").value(row.rangeBit);
            object.key("block_list").value(row.inBlockList).key("blocks").value(row.blocks);
            object.key("assigned").value(row.assignedCount);
            out.line(object.str(), TextEncoding::utf8);
            continue;
        }
        char bit[8];
        std::snprintf(bit, sizeof bit, "%3d  ", row.rangeBit);
        std::string text = bit + std::string(row.name);
        if (!row.inBlockList && row.spans != row.name) text += "  (" + std::string(row.spans) + ")";
        out.line(text, TextEncoding::bytes);
    }
}

void writeLanguageList(const ShowLanguages& request, Output& out) {
    for (const auto& language : coverage::languages()) {
        const auto& required = language.requirement(request.level);
        if (request.json) {
            JsonObject object;
            object.key("tag").value(language.tag).key("name").value(language.name);
            object.key("scripts").value(required.scripts).key("required").value(required.count);
            out.line(object.str(), TextEncoding::utf8);
            continue;
        }
        std::string scripts;
        for (const auto script : required.scripts) scripts += (scripts.empty() ? "" : ",") + std::string(script);
        out.line(std::string(language.tag) + "\t" + std::string(language.name) + "\t" + scripts + "\t" +
                     std::to_string(required.count),
                 TextEncoding::utf8);
    }
}

}  // namespace query
