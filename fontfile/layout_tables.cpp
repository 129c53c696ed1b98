#include "fontfile/layout_tables.h"

#include <algorithm>
#include <map>
#include <utility>

namespace fontfile {

namespace {

// GSUB and GPOS 1.0 and 1.1 begin alike: majorVersion, minorVersion, then
// the offsets of the script, feature and lookup lists (1.1 adds the feature
// variations' offset after them, which is not read).
constexpr std::size_t kHeaderSize = 10;
constexpr std::uint16_t kMajorVersion = 1;
// The script and feature lists start with a count of 16 bits.
constexpr std::size_t kListCountSize = 2;
// ScriptRecord, LangSysRecord and FeatureRecord alike: a tag and an Offset16.
constexpr std::size_t kTagRecordSize = 6;
constexpr std::size_t kScriptHeaderSize = 4;   // defaultLangSysOffset, langSysCount
constexpr std::size_t kLangSysHeaderSize = 6;  // lookupOrderOffset, requiredFeatureIndex, featureIndexCount
constexpr std::size_t kFeatureIndexSize = 2;
constexpr std::uint16_t kNoRequiredFeature = 0xFFFF;
constexpr std::uint16_t kNullOffset = 0;
// A structure past the table's first bytes is read this much at first,
// more only while the source delivers (see readUpTo).
constexpr std::size_t kLaterFirstRead = kTableWindowSize;

// Reasons for `damaged`, as a front end prints them.
struct DamageNotes {
    const char* directoryCutOff;
    const char* headerCutOff;
    const char* versionNotRead;
    const char* scriptListOutside;
    const char* featureListOutside;
    const char* tooMuchWork;
};

constexpr DamageNotes kGsubNotes{
    "the table directory is cut off before the GSUB record",
    "the GSUB table is cut off in its header",
    "the GSUB table has a major version other than 1",
    "the GSUB table's script list lies outside it",
    "the GSUB table's feature list lies outside it",
    "the GSUB table's lists point at more entries than its bytes hold",
};

constexpr DamageNotes kGposNotes{
    "the table directory is cut off before the GPOS record",
    "the GPOS table is cut off in its header",
    "the GPOS table has a major version other than 1",
    "the GPOS table's script list lies outside it",
    "the GPOS table's feature list lies outside it",
    "the GPOS table's lists point at more entries than its bytes hold",
};

using Damage = const char*;  // null: none

// Bytes of a table: a view of those its window holds, or bytes read for
// the occasion and owned. Moving one keeps its bytes where they are.
class Piece {
public:
    explicit Piece(std::span<const std::uint8_t> held) : bytes_(held) {}
    explicit Piece(std::vector<std::uint8_t> read) : owned_(std::move(read)), bytes_(owned_) {}
    Piece(Piece&&) = default;
    Piece(const Piece&) = delete;
    Piece& operator=(const Piece&) = delete;
    Piece& operator=(Piece&&) = delete;

    std::span<const std::uint8_t> bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> owned_;
    std::span<const std::uint8_t> bytes_;
};

// A table's bytes by their offset in it: those within its length, as far as
// the source holds them. Speed: the first kTableWindowSize come in one read,
// and the source is asked again only for bytes past them.
class TableBytes {
public:
    TableBytes(ByteSource& source, const TableScan& scan)
        : window_(source, scan.offset), start_(scan.offset), length_(scan.length) {}

    // Up to `size` bytes from `offset`: fewer where the table or the source ends.
    Piece at(std::uint64_t offset, std::size_t size) {
        if (offset >= length_ || size == 0) return Piece(std::span<const std::uint8_t>{});
        const auto wanted = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, length_ - offset));
        const auto held = window_.heldFrom(start_ + offset);
        if (held.size() >= wanted || sourceEndsInWindow())
            return Piece(held.first(std::min<std::size_t>(held.size(), wanted)));
        return Piece(readUpTo(window_, start_ + offset, wanted, kLaterFirstRead));
    }

    // How many bytes the table has that the window holds.
    std::uint64_t heldSize() const { return std::min<std::uint64_t>(length_, window_.heldFrom(start_).size()); }

    // How many bytes the table has: its length, as far as the source holds
    // it. The source is asked its size only when the window does not tell.
    std::uint64_t size() {
        if (sourceEndsInWindow()) return heldSize();
        const auto sourceSize = window_.size();
        return start_ >= sourceSize ? 0 : std::min<std::uint64_t>(length_, sourceSize - start_);
    }

private:
    bool sourceEndsInWindow() const { return window_.heldFrom(start_).size() < kTableWindowSize; }

    TableWindow window_;
    std::uint64_t start_;
    std::uint32_t length_;
};

// The steps a table may take, kLayoutWorkFloor and kLayoutWorkPerByte for
// each byte it has. Speed: the bound starts from the bytes the window
// holds, so that the source is asked its size only by a table that needs
// more.
class WorkBudget {
public:
    explicit WorkBudget(TableBytes& table) : table_(table), limit_(limitFor(table.heldSize())) {}

    // Counts `steps`; false once they are more than the table's bytes allow.
    bool spend(std::size_t steps) {
        spent_ += steps;
        if (spent_ <= limit_) return true;
        if (!sized_) {
            sized_ = true;
            limit_ = limitFor(table_.size());
        }
        return spent_ <= limit_;
    }

    std::size_t spent() const { return static_cast<std::size_t>(spent_); }

private:
    static std::uint64_t limitFor(std::uint64_t bytes) { return kLayoutWorkFloor + kLayoutWorkPerByte * bytes; }

    TableBytes& table_;
    std::uint64_t limit_;
    std::uint64_t spent_ = 0;
    bool sized_ = false;
};

void sortUnique(TagSet& tags) {
    std::sort(tags.begin(), tags.end());
    tags.erase(std::unique(tags.begin(), tags.end()), tags.end());
}

// A script's language systems as its records give them, joined into a
// LayoutScript once every record of its tag is read.
struct ScriptBuilder {
    std::optional<TagSet> defaults;
    std::vector<LanguageSystem> languages;
};

// Language systems of one tag joined, sorted by tag.
std::vector<LanguageSystem> joinedByTag(std::vector<LanguageSystem> languages) {
    std::stable_sort(languages.begin(), languages.end(),
                     [](const LanguageSystem& a, const LanguageSystem& b) { return a.language < b.language; });
    std::vector<LanguageSystem> joined;
    for (auto& language : languages) {
        if (joined.empty() || joined.back().language != language.language) {
            joined.push_back(std::move(language));
            continue;
        }
        auto& into = joined.back().features;
        into.insert(into.end(), language.features.begin(), language.features.end());
        sortUnique(into);
    }
    return joined;
}

class LayoutReader {
public:
    LayoutReader(ByteSource& source, const TableScan& scan, const DamageNotes& notes)
        : table_(source, scan), budget_(table_), notes_(notes) {}

    Damage read(std::vector<LayoutScript>& scripts) {
        const auto header = table_.at(0, kHeaderSize);
        BigEndianReader fields(header.bytes());
        std::uint16_t major = 0, minor = 0, scriptList = 0, featureList = 0;
        if (!fields.u16(major) || !fields.u16(minor) || !fields.u16(scriptList) || !fields.u16(featureList) ||
            !fields.skip(2)) {
            return notes_.headerCutOff;
        }
        if (major != kMajorVersion) return notes_.versionNotRead;
        if (featureList != kNullOffset) {
            if (const auto damage = readFeatureTags(featureList)) return damage;
        }
        if (scriptList != kNullOffset) {
            if (const auto damage = readScriptList(scriptList)) return damage;
        }
        return finish(scripts);
    }

    std::size_t work() const { return budget_.spent(); }

private:
    Damage tooMuchWork() const { return notes_.tooMuchWork; }

    // The count that starts the list at `offset`; none when it is not in the table.
    std::optional<std::uint16_t> listCount(std::uint64_t offset) {
        const auto bytes = table_.at(offset, kListCountSize);
        std::uint16_t count = 0;
        if (!BigEndianReader(bytes.bytes()).u16(count)) return std::nullopt;
        return count;
    }

    // The `count` tag records that start at `offset`: as many as are whole
    // when bytes().size() is divided by kTagRecordSize.
    Piece tagRecords(std::uint64_t offset, std::uint16_t count) {
        return table_.at(offset, kTagRecordSize * std::size_t{count});
    }

    Damage readFeatureTags(std::uint64_t listOffset) {
        const auto count = listCount(listOffset);
        if (!count) return notes_.featureListOutside;
        const auto records = tagRecords(listOffset + kListCountSize, *count);
        const auto whole = records.bytes().size() / kTagRecordSize;
        if (!budget_.spend(whole)) return tooMuchWork();
        featureTags_.resize(whole);
        BigEndianReader fields(records.bytes());
        for (auto& tag : featureTags_) {
            fields.tag(tag);  // each record is whole
            fields.skip(2);   // the feature table's offset: it is not read
        }
        return nullptr;
    }

    // Visits with its tag and offset each of the `count` tag records at
    // `at` that is whole and whose offset is not null, until a visit
    // returns damage.
    template <typename Visit>
    Damage forEachTagRecord(std::uint64_t at, std::uint16_t count, Visit visit) {
        const auto records = tagRecords(at, count);
        if (!budget_.spend(records.bytes().size() / kTagRecordSize)) return tooMuchWork();
        BigEndianReader fields(records.bytes());
        Tag tag{};
        std::uint16_t offset = 0;
        while (fields.tag(tag) && fields.u16(offset)) {
            if (offset == kNullOffset) continue;
            if (const auto damage = visit(tag, offset)) return damage;
        }
        return nullptr;
    }

    Damage readScriptList(std::uint64_t listOffset) {
        const auto count = listCount(listOffset);
        if (!count) return notes_.scriptListOutside;
        return forEachTagRecord(listOffset + kListCountSize, *count, [&](const Tag& tag, std::uint16_t offset) {
            return readScript(tag, listOffset + offset);
        });
    }

    Damage readScript(const Tag& tag, std::uint64_t scriptOffset) {
        if (!budget_.spend(1)) return tooMuchWork();
        const auto header = table_.at(scriptOffset, kScriptHeaderSize);
        BigEndianReader headerFields(header.bytes());
        std::uint16_t defaultOffset = 0, count = 0;
        if (!headerFields.u16(defaultOffset) || !headerFields.u16(count)) return nullptr;  // left out
        auto& script = scripts_[tag];
        if (defaultOffset != kNullOffset) {
            if (const auto damage = addDefault(script, scriptOffset + defaultOffset)) return damage;
        }
        return forEachTagRecord(scriptOffset + kScriptHeaderSize, count,
                                [&](const Tag& language, std::uint16_t offset) {
                                    return addLanguage(script, language, scriptOffset + offset);
                                });
    }

    Damage addDefault(ScriptBuilder& script, std::uint64_t offset) {
        const TagSet* features = nullptr;
        if (const auto damage = languageSystem(offset, features)) return damage;
        if (!features) return nullptr;
        if (!script.defaults) script.defaults.emplace();
        return append(*script.defaults, *features);
    }

    Damage addLanguage(ScriptBuilder& script, const Tag& language, std::uint64_t offset) {
        const TagSet* features = nullptr;
        if (const auto damage = languageSystem(offset, features)) return damage;
        if (!features) return nullptr;
        script.languages.push_back({language, {}});
        return append(script.languages.back().features, *features);
    }

    // The features of the language system at `offset` into `features`
    // (null when it is left out). Each is read once, however many records
    // point at it.
    Damage languageSystem(std::uint64_t offset, const TagSet*& features) {
        if (!budget_.spend(1)) return tooMuchWork();
        auto [known, fresh] = systems_.try_emplace(offset);
        if (fresh) {
            if (const auto damage = readLanguageSystem(offset, known->second)) return damage;
        }
        features = known->second ? &*known->second : nullptr;
        return nullptr;
    }

    Damage readLanguageSystem(std::uint64_t offset, std::optional<TagSet>& features) {
        const auto header = table_.at(offset, kLangSysHeaderSize);
        BigEndianReader headerFields(header.bytes());
        std::uint16_t required = 0, count = 0;
        // lookupOrderOffset, reserved, then requiredFeatureIndex and featureIndexCount
        if (!headerFields.skip(2) || !headerFields.u16(required) || !headerFields.u16(count)) return nullptr;
        const auto indices = table_.at(offset + kLangSysHeaderSize, kFeatureIndexSize * std::size_t{count});
        if (!budget_.spend(indices.bytes().size() / kFeatureIndexSize)) return tooMuchWork();
        TagSet tags;
        const auto reach = [&](std::uint16_t index) {
            if (index < featureTags_.size()) tags.push_back(featureTags_[index]);
        };
        if (required != kNoRequiredFeature) reach(required);
        BigEndianReader fields(indices.bytes());
        for (std::uint16_t index = 0; fields.u16(index);) reach(index);
        sortUnique(tags);
        features = std::move(tags);
        return nullptr;
    }

    Damage append(TagSet& into, const TagSet& features) {
        if (!budget_.spend(features.size())) return tooMuchWork();
        into.insert(into.end(), features.begin(), features.end());
        return nullptr;
    }

    // The scripts in tag order, records of one tag joined, each with the
    // union of its language systems' features.
    Damage finish(std::vector<LayoutScript>& scripts) {
        for (auto& [tag, builder] : scripts_) {
            LayoutScript script{tag, std::move(builder.defaults), joinedByTag(std::move(builder.languages)), {}};
            auto& all = script.features;
            if (script.defaultFeatures) {
                sortUnique(*script.defaultFeatures);
                if (!budget_.spend(script.defaultFeatures->size())) return tooMuchWork();
                all = *script.defaultFeatures;
            }
            for (const auto& language : script.languages) {
                if (!budget_.spend(language.features.size())) return tooMuchWork();
                all.insert(all.end(), language.features.begin(), language.features.end());
            }
            sortUnique(all);
            scripts.push_back(std::move(script));
        }
        return nullptr;
    }

    TableBytes table_;
    WorkBudget budget_;
    const DamageNotes& notes_;
    std::vector<Tag> featureTags_;                            // by feature index
    std::map<std::uint64_t, std::optional<TagSet>> systems_;  // by offset; none when left out
    std::map<Tag, ScriptBuilder> scripts_;
};

LayoutTable damaged(const char* why, std::size_t work = 0) {
    LayoutTable table;
    table.outcome = LayoutTable::Outcome::damaged;
    table.damage = why;
    table.work = work;
    return table;
}

LayoutTable readLayoutTable(ByteSource& source, std::uint64_t directoryPosition, const Tag& tag,
                            const DamageNotes& notes) {
    const auto scan = scanTableDirectory(source, directoryPosition, tag);
    if (scan.outcome == TableScan::Outcome::shortRecord) return damaged(notes.directoryCutOff);
    if (scan.outcome == TableScan::Outcome::notFound) return {};
    LayoutReader reader(source, scan, notes);
    LayoutTable table;
    if (const auto damage = reader.read(table.scripts)) return damaged(damage, reader.work());
    table.outcome = LayoutTable::Outcome::read;
    table.work = reader.work();
    return table;
}

// The item of `sorted`, ordered by the tag `tagOf` names, whose tag is `wanted`.
template <typename T>
const T* findByTag(const std::vector<T>& sorted, const Tag& wanted, Tag T::*tagOf) {
    const auto found = std::lower_bound(sorted.begin(), sorted.end(), wanted,
                                        [&](const T& item, const Tag& tag) { return item.*tagOf < tag; });
    return found != sorted.end() && (*found).*tagOf == wanted ? &*found : nullptr;
}

}  // namespace

bool declares(std::span<const Tag> features, const Tag& feature) {
    return std::binary_search(features.begin(), features.end(), feature);
}

std::span<const Tag> LayoutScript::featuresFor(const Tag& language) const {
    if (const auto* system = findByTag(languages, language, &LanguageSystem::language)) return system->features;
    if (defaultFeatures) return *defaultFeatures;
    return {};
}

const LayoutScript* LayoutTable::findScript(const Tag& script) const {
    return findByTag(scripts, script, &LayoutScript::script);
}

LayoutTables parseLayoutTables(ByteSource& source, std::uint64_t directoryPosition) {
    return {readLayoutTable(source, directoryPosition, kGsubTag, kGsubNotes),
            readLayoutTable(source, directoryPosition, kGposTag, kGposNotes)};
}

const LayoutTables& tablesOrNone(const std::shared_ptr<const LayoutTables>& layout) {
    static const LayoutTables kNone;
    return layout ? *layout : kNone;
}

}  // namespace fontfile
