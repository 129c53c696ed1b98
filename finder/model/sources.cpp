#include "finder/model/sources.h"

#include <filesystem>
#include <system_error>

#include "finder/model/text.h"
#include "platform/platform.h"

namespace finder {

namespace {

bool isFolder(const std::string& path) {
    std::error_code error;
#ifdef _WIN32
    const std::filesystem::path fsPath(std::u8string(path.begin(), path.end()));
#else
    const std::filesystem::path fsPath(path);
#endif
    return std::filesystem::is_directory(fsPath, error);
}

std::string where(const std::string& path, std::optional<std::uint32_t> member) {
    auto text = validUtf8(systemPath(path));
    if (member) text += ", face " + std::to_string(*member);
    return text;
}

}  // namespace

Sources defaultSources() {
    Sources sources;
    sources.defaults = platform::systemFontFolders();
    if (const auto user = platform::catalogUserFontsFolder(); user && isFolder(*user)) {
        sources.defaults.push_back({*user, false});
    }
    sources.registeredFiles = platform::catalogRegisteredUserFontFiles();
    return sources;
}

inventory::CatalogRequest catalogRequestOf(const Sources& sources) {
    inventory::CatalogRequest request;
    request.folders = sources.defaults;
    for (const auto& folder : sources.added) request.folders.push_back({folder, true});
    request.files = sources.registeredFiles;
    request.formats = {inventory::FontFormat::ttf, inventory::FontFormat::otf, inventory::FontFormat::ttc,
                       inventory::FontFormat::otc};
    request.everyMember = true;
    request.everyCollectionFile = true;
    request.windowsNames = true;
    request.characterMaps = true;
    return request;
}

std::vector<std::string> problemNotes(const inventory::FontCatalog& catalog, const Sources& sources) {
    std::vector<std::string> notes;
    for (const auto& note : catalog.notes) {
        const bool empty = note.kind == inventory::CatalogNote::Kind::noFontFiles;
        const bool aDefault = note.source && note.source->kind == inventory::NoteSource::Kind::folder &&
                              note.source->index < sources.defaults.size();
        if (empty && aDefault) continue;
        notes.push_back(where(note.path, note.member) + ": " + validUtf8(note.message));
    }
    for (const auto& face : catalog.faces) {
        const auto& map = face.characterMap;
        if (!map || map->outcome != fontfile::CharacterMap::Outcome::damaged) continue;
        const auto& file = catalog.files[face.file];
        const auto path = file.directory.empty() ? file.name : file.directory + "\\" + file.name;
        notes.push_back(where(path, face.member) + ": damaged character map (" +
                        std::string(map->damage ? map->damage : "unreadable") + "); counted as covering nothing");
    }
    return notes;
}

}  // namespace finder
