// The layout table reader on any bytes: the font whose directory starts at
// 0, and the one whose directory starts where the input's first two bytes
// say (they are a font's sfntVersion, which no reader examines), as a
// collection member's would.
//
// Checked beyond the sanitizers: scripts, languages and every tag set are
// sorted with no tag twice; a script's union is the union of its default's
// and its languages' sets; only `read` has scripts and only `damaged` a
// note. The work stays within the bound the table's bytes give, every tag
// of the result was counted in it, and the reads of the source are bounded
// by it. And the result is what a naive reading of the input gives, straight
// from its bytes, structure by structure, with nothing shared: the two must
// agree on the outcome and on every tag, unless the reader found the table
// too costly for its bytes, which only the reader judges.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <vector>

#include "fontfile/layout_tables.h"
#include "fontfile/sfnt.h"
#include "fuzz_support.h"

using namespace fuzzsupport;
using fontfile::BigEndianReader;
using fontfile::LayoutTable;
using fontfile::Tag;

namespace {

// A script as both readings are compared: its default's features (if any)
// and each language's.
struct ModelScript {
    std::optional<std::set<Tag>> defaults;
    std::map<Tag, std::set<Tag>> languages;
};
using ModelScripts = std::map<Tag, ModelScript>;

struct Model {
    LayoutTable::Outcome outcome = LayoutTable::Outcome::absent;
    ModelScripts scripts;
    std::size_t tableSize = 0;  // the bytes the table has
};

// The naive reading gives up past as many steps as the reader may take
// for the table: a table made to take more is left to the reader's own
// bound, which a naive reading would reach slowly.
std::size_t stepsFor(std::size_t tableSize) {
    return fontfile::kLayoutWorkFloor + fontfile::kLayoutWorkPerByte * tableSize;
}

// The bytes of a table, by their offset in it.
class NaiveTable {
public:
    explicit NaiveTable(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::optional<std::uint16_t> u16(std::uint64_t at) const {
        BigEndianReader r(bytes_);
        std::uint16_t value = 0;
        if (at > bytes_.size() || !r.seek(static_cast<std::size_t>(at)) || !r.u16(value)) return std::nullopt;
        return value;
    }
    std::optional<Tag> tag(std::uint64_t at) const {
        BigEndianReader r(bytes_);
        Tag value{};
        if (at > bytes_.size() || !r.seek(static_cast<std::size_t>(at)) || !r.tag(value)) return std::nullopt;
        return value;
    }
    bool holds(std::uint64_t at, std::uint64_t size) const { return at <= bytes_.size() && size <= bytes_.size() - at; }
    // How many records of `size` bytes after `at` are whole, of `count`.
    std::size_t whole(std::uint64_t at, std::uint16_t count, std::size_t size) const {
        if (at > bytes_.size()) return 0;
        return std::min<std::size_t>(count, (bytes_.size() - static_cast<std::size_t>(at)) / size);
    }

private:
    std::span<const std::uint8_t> bytes_;
};

class NaiveReader {
public:
    NaiveReader(const NaiveTable& table, std::size_t steps) : table_(table), maxSteps_(steps) {}

    // False when it gave up; `damaged` when the header or a list is not there.
    bool read(Model& model) {
        const auto major = table_.u16(0), scriptList = table_.u16(4), featureList = table_.u16(6);
        if (!table_.holds(0, 10) || *major != 1) {
            model.outcome = LayoutTable::Outcome::damaged;
            return true;
        }
        if (*featureList != 0 && !readFeatures(*featureList)) {
            model.outcome = LayoutTable::Outcome::damaged;
            return true;
        }
        if (*scriptList != 0 && !table_.holds(*scriptList, 2)) {
            model.outcome = LayoutTable::Outcome::damaged;
            return true;
        }
        model.outcome = LayoutTable::Outcome::read;
        if (*scriptList != 0) readScripts(*scriptList, model.scripts);
        return steps_ <= maxSteps_;
    }

private:
    bool readFeatures(std::uint64_t list) {
        const auto count = table_.u16(list);
        if (!count) return false;
        for (std::size_t k = 0; k < table_.whole(list + 2, *count, 6); ++k)
            features_.push_back(*table_.tag(list + 2 + 6 * k));
        return true;
    }

    void readScripts(std::uint64_t list, ModelScripts& scripts) {
        const auto count = *table_.u16(list);
        for (std::size_t k = 0; k < table_.whole(list + 2, count, 6) && steps_ <= maxSteps_; ++k) {
            ++steps_;
            const auto record = list + 2 + 6 * k;
            const auto offset = *table_.u16(record + 4);
            const auto script = list + offset;
            if (offset == 0 || !table_.holds(script, 4)) continue;
            auto& into = scripts[*table_.tag(record)];
            if (const auto defaultOffset = *table_.u16(script); defaultOffset != 0) {
                if (auto features = languageSystem(script + defaultOffset)) {
                    steps_ += features->size();
                    if (!into.defaults) into.defaults.emplace();
                    into.defaults->insert(features->begin(), features->end());
                }
            }
            const auto languages = *table_.u16(script + 2);
            for (std::size_t l = 0; l < table_.whole(script + 4, languages, 6) && steps_ <= maxSteps_; ++l) {
                ++steps_;
                const auto languageRecord = script + 4 + 6 * l;
                const auto languageOffset = *table_.u16(languageRecord + 4);
                if (languageOffset == 0) continue;
                if (auto features = languageSystem(script + languageOffset)) {
                    steps_ += features->size();
                    into.languages[*table_.tag(languageRecord)].insert(features->begin(), features->end());
                }
            }
        }
    }

    std::optional<std::set<Tag>> languageSystem(std::uint64_t at) {
        if (!table_.holds(at, 6)) return std::nullopt;
        std::set<Tag> features;
        const auto reach = [&](std::uint16_t index) {
            if (index < features_.size()) features.insert(features_[index]);
        };
        if (const auto required = *table_.u16(at + 2); required != 0xFFFF) reach(required);
        const auto count = *table_.u16(at + 4);
        const auto whole = table_.whole(at + 6, count, 2);
        steps_ += whole + 1;
        for (std::size_t k = 0; k < whole && steps_ <= maxSteps_; ++k) reach(*table_.u16(at + 6 + 2 * k));
        return features;
    }

    const NaiveTable& table_;
    const std::size_t maxSteps_;
    std::vector<Tag> features_;
    std::size_t steps_ = 0;
};

// The table `wanted` of the font at `directory`, read naively; nothing when
// the reading gave up.
std::optional<Model> naiveLayout(std::span<const std::uint8_t> input, std::uint64_t directory, const Tag& wanted) {
    Model model;
    BigEndianReader header(input);
    std::uint16_t numTables = 0;
    if (directory > input.size() || !header.seek(static_cast<std::size_t>(directory)) || !header.skip(4) ||
        !header.u16(numTables) || !header.skip(6)) {
        return model;  // no directory, no table
    }
    for (int r = 0; r < std::min<int>(numTables, fontfile::kMaxTableRecords); ++r) {
        Tag tag{};
        std::uint32_t offset = 0, length = 0;
        if (!header.tag(tag) || !header.skip(4) || !header.u32(offset) || !header.u32(length)) {
            model.outcome = LayoutTable::Outcome::damaged;
            return model;
        }
        if (tag != wanted) continue;
        const auto start = std::min<std::size_t>(offset, input.size());
        const auto bytes = input.subspan(start, std::min<std::size_t>(length, input.size() - start));
        model.tableSize = bytes.size();
        NaiveTable table(bytes);
        if (!NaiveReader(table, stepsFor(bytes.size())).read(model)) return std::nullopt;
        return model;
    }
    return model;
}

bool sortedUnique(std::span<const Tag> tags) {
    return std::adjacent_find(tags.begin(), tags.end(), std::greater_equal<>()) == tags.end();
}

template <typename T, typename Key>
bool sortedUniqueBy(const std::vector<T>& items, Key key) {
    return std::adjacent_find(items.begin(), items.end(), [&](const T& a, const T& b) { return !(key(a) < key(b)); }) ==
           items.end();
}

std::set<Tag> asSet(std::span<const Tag> tags) { return {tags.begin(), tags.end()}; }

// Checks the table's own structure and gives it as the model holds one;
// the count of the tags it holds into `tags`.
ModelScripts checkStructure(const LayoutTable& table, std::size_t& tags) {
    ModelScripts scripts;
    FUZZ_CHECK(sortedUniqueBy(table.scripts, [](const auto& s) { return s.script; }));
    for (const auto& script : table.scripts) {
        FUZZ_CHECK(table.findScript(script.script) == &script);
        FUZZ_CHECK(sortedUniqueBy(script.languages, [](const auto& l) { return l.language; }));
        FUZZ_CHECK(sortedUnique(script.features));
        auto& model = scripts[script.script];
        std::set<Tag> all;
        if (script.defaultFeatures) {
            FUZZ_CHECK(sortedUnique(*script.defaultFeatures));
            model.defaults = asSet(*script.defaultFeatures);
            all.insert(model.defaults->begin(), model.defaults->end());
            tags += script.defaultFeatures->size();
        }
        for (const auto& language : script.languages) {
            FUZZ_CHECK(sortedUnique(language.features));
            FUZZ_CHECK(script.featuresFor(language.language).data() == language.features.data());
            model.languages[language.language] = asSet(language.features);
            all.insert(language.features.begin(), language.features.end());
            tags += language.features.size();
        }
        FUZZ_CHECK(all == asSet(script.features));
        tags += script.features.size();
    }
    return scripts;
}

bool equalScripts(const ModelScripts& a, const ModelScripts& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const auto& x, const auto& y) {
               return x.first == y.first && x.second.defaults == y.second.defaults &&
                      x.second.languages == y.second.languages;
           });
}

bool isTooMuchWork(const char* damage) {
    return damage && std::string_view(damage).find("more entries than its bytes hold") != std::string_view::npos;
}

void checkTable(const LayoutTable& table, std::span<const std::uint8_t> input, std::uint64_t directory,
                const Tag& tag) {
    using Outcome = LayoutTable::Outcome;
    FUZZ_CHECK((table.outcome == Outcome::damaged) == (table.damage != nullptr));
    FUZZ_CHECK(table.outcome == Outcome::read || table.scripts.empty());
    std::size_t tags = 0;
    const auto scripts = checkStructure(table, tags);
    FUZZ_CHECK(tags <= table.work || table.outcome != Outcome::read);

    const auto model = naiveLayout(input, directory, tag);
    const auto bound = stepsFor(model ? model->tableSize : input.size());
    FUZZ_CHECK(table.work <= bound + 0xFFFF);  // one structure past the bound at most
    if (!model) return;
    if (isTooMuchWork(table.damage)) {
        FUZZ_CHECK(model->outcome == Outcome::read);  // the naive reading finds nothing wrong but its cost
        return;
    }
    FUZZ_CHECK(table.outcome == model->outcome);
    FUZZ_CHECK(equalScripts(scripts, model->scripts));
}

void parseAt(std::span<const std::uint8_t> input, std::uint64_t directory) {
    testfonts::CountingSource source(testfonts::Bytes(input.begin(), input.end()));
    const auto tables = fontfile::parseLayoutTables(source, directory);
    checkTable(tables.gsub, input, directory, fontfile::kGsubTag);
    checkTable(tables.gpos, input, directory, fontfile::kGposTag);
    // Per table a directory scan and its first bytes; its header and the
    // counts and records of its two lists; then at most two pieces for each
    // structure, which costs a step at least. A piece past the first bytes
    // takes at most 8 reads as the source delivers.
    const auto readsFor = [](const LayoutTable& table) { return 2 + 8 * (5 + 2 * table.work); };
    FUZZ_CHECK(source.reads <= readsFor(tables.gsub) + readsFor(tables.gpos));
    FUZZ_CHECK(source.sizeQuestions <= 2);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceDiagnostics();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    parseAt(input, 0);
    std::uint16_t position = 0;
    if (BigEndianReader(input).u16(position)) parseAt(input, position);
    return 0;
}
