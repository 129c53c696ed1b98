#include "coverage/edit_distance.h"

#include <algorithm>
#include <vector>

#include "platform/ascii.h"

namespace coverage {

std::size_t editDistanceIgnoringAsciiCase(std::string_view a, std::string_view b) {
    // One row of the distance table at a time: row[j] is the distance from
    // the first i bytes of `a` to the first j of `b`.
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            const bool same = platform::toLowerAscii(a[i - 1]) == platform::toLowerAscii(b[j - 1]);
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace coverage
