// Where the catalog finds its files: folders searched recursively when
// asked, in a documented order; the same file reached twice read once; only
// regular files; names outside any code page and paths of any length; the
// system's default font folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/types.h>
#endif

#include "engine_test_helpers.h"
#include "inventory/font_catalog.h"
#include "platform/platform.h"

namespace {

using enginetest::TempFolder;
using NoteKind = inventory::CatalogNote::Kind;
using testfonts::simpleFont;
namespace fs = std::filesystem;

std::vector<std::string> fileNames(const inventory::FontCatalog& catalog) {
    std::vector<std::string> names;
    for (const auto& face : catalog.faces) names.push_back(catalog.files[face.file].name);
    return names;
}

std::vector<NoteKind> kindsOf(const inventory::FontCatalog& catalog) {
    std::vector<NoteKind> kinds;
    for (const auto& note : catalog.notes) kinds.push_back(note.kind);
    return kinds;
}

testfonts::Bytes font(const std::string& name) { return simpleFont({1, 0, 0, 0}, name).build(); }

testfonts::Bytes collection(const std::string& name) {
    testfonts::CollectionWriter writer;
    writer.member(simpleFont({1, 0, 0, 0}, name));
    return writer.build();
}

// ---- Trees -----------------------------------------------------------------

TEST(CatalogTrees, AFoldersOwnFilesThenItsSubfoldersDepthFirstSinglesBeforeCollections) {
    TempFolder root;
    root.write("b.ttf", font("b"));
    root.write("a.ttc", collection("a"));
    root.makeFolder("sub1/deeper");
    root.makeFolder("sub2");
    root.makeFolder("folder.ttf");  // a folder named as a font is searched, not read
    root.write("sub1/c.ttf", font("c"));
    root.write("sub1/deeper/d.ttf", font("d"));
    root.write("sub1/deeper/e.ttc", collection("e"));
    root.write("sub2/f.ttf", font("f"));
    root.write("folder.ttf/g.ttf", font("g"));
    root.write("z.ttf", font("z"));

    auto flat = inventory::buildCatalog({.folders = {{root.enginePath(), false}}});
    EXPECT_EQ(fileNames(flat), (std::vector<std::string>{"b.ttf", "z.ttf", "a.ttc"}));
    auto tree = inventory::buildCatalog({.folders = {{root.enginePath(), true}}});
    EXPECT_EQ(fileNames(tree),
              (std::vector<std::string>{"b.ttf", "z.ttf", "g.ttf", "c.ttf", "d.ttf", "f.ttf", "a.ttc", "e.ttc"}));
    EXPECT_EQ(tree.files[3].directory, root.enginePath() + "\\sub1");
    EXPECT_TRUE(tree.notes.empty());
}

TEST(CatalogTrees, ASourceWithoutFontFilesIsNotedWithWhichSourceItWas) {
    TempFolder empty, withSubfolder, missing;
    withSubfolder.makeFolder("inner");
    withSubfolder.write("inner/x.ttf", font("x"));
    const auto gone = missing.enginePath() + "\\gone";
    const auto catalog = inventory::buildCatalog(
        {.folders = {{empty.enginePath(), true}, {withSubfolder.enginePath(), false}, {gone, false}}});
    EXPECT_TRUE(catalog.faces.empty());
    ASSERT_EQ(kindsOf(catalog),
              (std::vector<NoteKind>{NoteKind::noFontFiles, NoteKind::noFontFiles, NoteKind::unreadableFolder}));
    for (std::size_t n = 0; n < 3; ++n) {
        ASSERT_TRUE(catalog.notes[n].source) << n;
        EXPECT_EQ(catalog.notes[n].source->kind, inventory::NoteSource::Kind::folder);
        EXPECT_EQ(catalog.notes[n].source->index, n);
    }
    EXPECT_EQ(catalog.notes[0].message, "no font files (ttf, ttc) in it or its subfolders");
    EXPECT_EQ(catalog.notes[1].message, "no font files (ttf, ttc)");
    EXPECT_EQ(catalog.notes[2].path, gone);
}

// ---- The same file reached twice ---------------------------------------------------

TEST(CatalogSameFile, ANestedFolderAlsoNamedAndAFolderSpeltTwoWaysAreReadOnce) {
    TempFolder root;
    root.makeFolder("inner");
    root.write("outer.ttf", font("outer"));
    root.write("inner/inner.ttf", font("inner"));
    const auto inner = root.enginePath() + "\\inner";
    const auto catalog = inventory::buildCatalog({.folders = {{root.enginePath(), true},
                                                              {inner, false},
                                                              {root.enginePath() + "\\.\\inner", false},
                                                              {inner + "\\..\\inner", false}},
                                                  .files = {inner + "\\inner.ttf"}});
    EXPECT_EQ(fileNames(catalog), (std::vector<std::string>{"outer.ttf", "inner.ttf"}));
    EXPECT_TRUE(catalog.notes.empty());
}

#ifndef _WIN32
TEST(CatalogSameFile, LinksAndHardLinksAreTheFileTheyReach) {
    TempFolder root, other;
    const auto target = other.write("target.ttf", font("target"));
    fs::create_symlink(target, root.path() / "link.ttf");
    fs::create_hard_link(target, root.path() / "hard.ttf");
    fs::create_directory_symlink(other.path(), root.path() / "folder-link");
    fs::create_directory_symlink(root.path(), root.path() / "loop");  // a link back up: no endless walk
    const auto catalog = inventory::buildCatalog({.folders = {{root.enginePath(), true}, {other.enginePath(), false}}});
    EXPECT_EQ(catalog.faces.size(), 1u);
    EXPECT_TRUE(catalog.notes.empty());
}

// ---- Only regular files ------------------------------------------------------------

TEST(CatalogRegularFiles, DevicesFifosAndBrokenLinksAreRefusedWithANote) {
    TempFolder root;
    ASSERT_EQ(mkfifo((root.path() / "fifo.ttf").c_str(), 0600), 0);
    fs::create_symlink("/dev/urandom", root.path() / "random.ttc");
    fs::create_symlink(root.path() / "nothing-there", root.path() / "broken.ttf");
    root.write("good.ttf", font("good"));
    const auto catalog = inventory::buildCatalog(
        {.folders = {{root.enginePath()}}, .files = {"/dev/zero.ttf", "/dev/null.ttf"}, .everyMember = true});
    EXPECT_EQ(fileNames(catalog), (std::vector<std::string>{"good.ttf"}));
    // The folder's own, found by its search, then the two missing file sources.
    EXPECT_EQ(kindsOf(catalog),
              (std::vector<NoteKind>{NoteKind::notARegularFile, NoteKind::notARegularFile, NoteKind::notARegularFile,
                                     NoteKind::unreadableFile, NoteKind::unreadableFile}));
    // A file source that reaches a device is refused at its open, never read.
    TempFolder links;
    fs::create_symlink("/dev/zero", links.path() / "zero.ttc");
    const auto device = inventory::buildCatalog({.files = {links.enginePath() + "/zero.ttc"}, .everyMember = true});
    EXPECT_TRUE(device.files.empty());
    EXPECT_EQ(kindsOf(device), (std::vector<NoteKind>{NoteKind::notARegularFile}));
}
#endif

TEST(CatalogRegularFiles, WindowsDeviceNamesWithAnyExtensionAreDevices) {
    for (const char* name : {"NUL", "nul.ttf", "Con.ttc", "prn", "AUX.otf", "com1.ttf", "COM9", "lpt1.x.ttf",
                             "Nul .ttf", "CONIN$", "conout$.ttf"}) {
        EXPECT_TRUE(platform::isReservedDeviceName(name)) << name;
    }
    for (const char* name : {"null.ttf", "com0.ttf", "com10", "lpt.ttf", "xnul.ttf", "console.ttf", "", ".nul"}) {
        EXPECT_FALSE(platform::isReservedDeviceName(name)) << name;
    }
}

#ifdef _WIN32
TEST(CatalogRegularFiles, ADeviceNameIsNeverOpenedAsAFont) {
    TempFolder root;
    const auto catalog = inventory::buildCatalog({.files = {root.enginePath() + "\\nul.ttf"}});
    EXPECT_TRUE(catalog.faces.empty());
    EXPECT_EQ(kindsOf(catalog), (std::vector<NoteKind>{NoteKind::deviceName}));
}
#endif

// ---- Names and lengths ----------------------------------------------------------

TEST(CatalogNames, ANameOutsideEveryCodePageIsFoundAndOpenedInTheCatalogsEncoding) {
    TempFolder root;
    // Greek, Cyrillic and CJK: no single-byte code page holds them all.
    const std::string name = "\xCE\xA9-\xD0\x96-\xE5\xAD\x97.ttf";
    const auto bytes = font("Omega");
    {
        std::ofstream out(root.path() / fs::path(std::u8string(name.begin(), name.end())), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    const auto utf8 = root.path().u8string();
    const auto folder = platform::kCatalogNamesAreUtf8 ? std::string(utf8.begin(), utf8.end()) : root.path().string();
    const auto catalog = inventory::buildCatalog({.folders = {{folder}}});
    ASSERT_EQ(catalog.faces.size(), 1u);
    EXPECT_EQ(catalog.files[0].name, name);
    EXPECT_EQ(inventory::slotText(catalog.faces[0].macName), "Omega");
    EXPECT_EQ(catalog.namesAreUtf8, platform::kCatalogNamesAreUtf8);
}

TEST(CatalogNames, APathLongerThanTheProgramsBuffersIsStillRead) {
    TempFolder root;
    auto deep = root.path();
    while (deep.string().size() < 300) deep /= std::string(60, 'd');
#ifdef _WIN32
    fs::create_directories(fs::path(L"\\\\?\\" + deep.wstring()));
    const auto file = fs::path(L"\\\\?\\" + deep.wstring()) / (std::string(40, 'f') + ".ttf");
#else
    fs::create_directories(deep);
    const auto file = deep / (std::string(40, 'f') + ".ttf");
#endif
    const auto bytes = font("Deep");
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    const auto catalog = inventory::buildCatalog({.folders = {{root.enginePath(), true}}});
    ASSERT_EQ(catalog.faces.size(), 1u) << (catalog.notes.empty() ? "" : catalog.notes[0].message);
    EXPECT_EQ(inventory::slotText(catalog.faces[0].macName), "Deep");
    EXPECT_GT(catalog.files[0].directory.size(), 300u);
#ifdef _WIN32
    // The folder's own removal has no \\?\ to go so deep; what it leaves is in the temporary folder.
    std::error_code ignored;
    fs::remove_all(fs::path(L"\\\\?\\" + root.path().wstring()), ignored);
#endif
}

// ---- The system's font folders -----------------------------------------------------

#ifndef _WIN32
TEST(SystemFontFolders, WithWindirItsFontsFolderWhateverItsCase) {
    TempFolder windows;
    windows.makeFolder("System32");
    windows.makeFolder("FONTS");
    const enginetest::WindirScope windir(windows.enginePath().c_str());
    const auto folders = platform::systemFontFolders();
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].path, windows.enginePath() + "\\FONTS");
    EXPECT_FALSE(folders[0].recursive);

    TempFolder noFonts;
    const enginetest::WindirScope other(noFonts.enginePath().c_str());
    EXPECT_TRUE(platform::systemFontFolders().empty());
}

#ifndef __APPLE__
TEST(SystemFontFolders, WithoutWindirTheUsersThenTheSystemsEachThatExistsRecursively) {
    TempFolder home, data;
    home.makeFolder(".local/share/fonts");
    home.makeFolder(".fonts");
    data.makeFolder("fonts");
    const enginetest::WindirScope windir(nullptr);
    const enginetest::EnvironmentScope homeScope("HOME", home.enginePath().c_str());
    {
        const enginetest::EnvironmentScope xdg("XDG_DATA_HOME", nullptr);
        const auto folders = platform::systemFontFolders();
        ASSERT_GE(folders.size(), 2u);
        EXPECT_EQ(folders[0].path, home.enginePath() + "/.local/share/fonts");
        EXPECT_EQ(folders[1].path, home.enginePath() + "/.fonts");
        for (const auto& folder : folders) {
            EXPECT_TRUE(folder.recursive) << folder.path;
            EXPECT_TRUE(fs::is_directory(folder.path)) << folder.path;
        }
        for (std::size_t k = 2; k < folders.size(); ++k) {
            EXPECT_TRUE(folders[k].path == "/usr/local/share/fonts" || folders[k].path == "/usr/share/fonts");
        }
    }
    {
        const enginetest::EnvironmentScope xdg("XDG_DATA_HOME", data.enginePath().c_str());
        const auto folders = platform::systemFontFolders();
        ASSERT_GE(folders.size(), 2u);
        EXPECT_EQ(folders[0].path, data.enginePath() + "/fonts");
        EXPECT_EQ(folders[1].path, home.enginePath() + "/.fonts");
    }
    {
        fs::remove(home.path() / ".fonts");
        const enginetest::EnvironmentScope xdg("XDG_DATA_HOME", nullptr);
        const auto folders = platform::systemFontFolders();
        ASSERT_GE(folders.size(), 1u);
        EXPECT_EQ(folders[0].path, home.enginePath() + "/.local/share/fonts");
        EXPECT_TRUE(folders.size() == 1 || folders[1].path.rfind(home.enginePath(), 0) != 0);
    }
}
#endif
#else
TEST(SystemFontFolders, TheWindowsDirectorysFontsFolder) {
    const auto folders = platform::systemFontFolders();
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_FALSE(folders[0].recursive);
    EXPECT_TRUE(folders[0].path.ends_with("\\Fonts"));
    EXPECT_TRUE(fs::is_directory(fs::path(std::u8string(folders[0].path.begin(), folders[0].path.end()))));
}
#endif

}  // namespace
