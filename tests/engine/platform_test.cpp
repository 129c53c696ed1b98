#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <limits>
#include <map>
#include <string>
#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>  // GetACP: what the ANSI spelling of a name is
#else
#include <sys/stat.h>
#endif

#include "engine_test_helpers.h"
#include "platform/platform.h"

namespace {

using enginetest::TempFolder;
using platform::FileSearch;
using platform::FoundEntry;
using platform::ReadOnlyFile;

// Every entry of a search, name to attributes.
std::map<std::string, std::uint32_t> searchAll(const std::string& pattern) {
    std::map<std::string, std::uint32_t> found;
    FileSearch search(pattern);
    FoundEntry entry;
    while (search.next(entry)) found[entry.fileName] = entry.attributes;
    return found;
}

std::vector<std::string> namesInOrder(const std::string& pattern) {
    std::vector<std::string> names;
    FileSearch search(pattern);
    FoundEntry entry;
    while (search.next(entry)) names.push_back(entry.fileName);
    return names;
}

bool isDirectory(std::uint32_t attributes) { return (attributes & platform::kFileAttributeDirectory) != 0; }

// ---- The wildcard search -------------------------------------------------

TEST(FileSearchPattern, MatchesTheExtensionInEitherCaseAndNothingElse) {
    TempFolder folder;
    for (const char* name : {"ARIAL.TTF", "a.Ttf", "b.ttf", "a.ttf.bak", "attf", "ttf", "b.ttc"})
        folder.write(name, {1});

    const auto found = searchAll(folder.enginePath() + "\\*.ttf");
    EXPECT_EQ(found.size(), 3u);
    EXPECT_TRUE(found.count("ARIAL.TTF"));
    EXPECT_TRUE(found.count("a.Ttf"));
    EXPECT_TRUE(found.count("b.ttf"));

    EXPECT_EQ(searchAll(folder.enginePath() + "\\*.TTC").size(), 1u);
    EXPECT_EQ(searchAll(folder.enginePath() + "\\ARI?L.ttf").size(), 1u);
}

TEST(FileSearchPattern, ReportsFoldersNamedLikeFontsAsFolders) {
    TempFolder folder;
    folder.makeFolder("x.ttf");
    folder.write("y.ttf", {1});

    const auto found = searchAll(folder.enginePath() + "\\*.ttf");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_TRUE(isDirectory(found.at("x.ttf")));
    EXPECT_FALSE(isDirectory(found.at("y.ttf")));
}

TEST(FileSearchPattern, FindsNothingInAMissingOrEmptyFolder) {
    TempFolder folder;
    folder.makeFolder("empty");
    for (const auto& pattern : {folder.enginePath() + "\\missing\\*.ttf", folder.enginePath() + "\\empty\\*.ttf"}) {
        FileSearch search(pattern);
        FoundEntry entry;
        EXPECT_FALSE(search.next(entry)) << pattern;
        EXPECT_FALSE(search.next(entry)) << pattern;  // and keeps saying so
    }
}

TEST(FileSearchPattern, AnUnchangedFolderGivesTheSameOrderEveryTime) {
    TempFolder folder;
    for (const char* name : {"m.ttf", "B.ttf", "z.ttf", "a.ttf", "Q.ttf", "c.ttf", "k.ttf"}) folder.write(name, {1});
    folder.makeFolder("d.ttf");

    const auto first = namesInOrder(folder.enginePath() + "\\*.ttf");
    ASSERT_EQ(first.size(), 8u);
    EXPECT_EQ(namesInOrder(folder.enginePath() + "\\*.ttf"), first);
}

TEST(FileSearchPattern, APatternWithoutAFolderSearchesTheWorkingFolder) {
    TempFolder folder;
    folder.makeFolder("x.ttf");
    folder.write("y.ttf", {1});
    enginetest::WorkingFolder here(folder.path());

    const auto found = searchAll("*.ttf");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_TRUE(isDirectory(found.at("x.ttf")));
    EXPECT_FALSE(isDirectory(found.at("y.ttf")));
}

// Windows keeps a folder's names in the order of their capitals, so
// [ ] ^ _ and the backquote, which lie between the capitals and the small
// letters, come after every letter. Under Wine the search sorts its names
// the same way, so this runs against both systems.
TEST(FileSearchPattern, OrdersNamesAsTheirCapitalsCompare) {
    TempFolder folder;
    for (const char* name :
         {"b.ttf", "a_b.ttf", "ab.ttf", "A[.ttf", "a`.ttf", "Z.ttf", "a^.ttf", "a].ttf", "a.ttf", "a{.ttf", "a0.ttf"})
        folder.write(name, {1});
    EXPECT_EQ(namesInOrder(folder.enginePath() + "\\*.ttf"),
              (std::vector<std::string>{"a.ttf", "a0.ttf", "ab.ttf", "A[.ttf", "a].ttf", "a^.ttf", "a_b.ttf", "a`.ttf",
                                        "a{.ttf", "b.ttf", "Z.ttf"}));
}

#ifndef _WIN32
TEST(FileSearchPattern, ListsPipesAndDanglingLinksAsFiles) {
    TempFolder folder;
    ASSERT_EQ(mkfifo((folder.path() / "pipe.ttf").c_str(), 0600), 0);
    std::filesystem::create_symlink(folder.path() / "nowhere", folder.path() / "gone.ttf");

    const auto found = searchAll(folder.enginePath() + "\\*.ttf");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_FALSE(isDirectory(found.at("pipe.ttf")));
    EXPECT_FALSE(isDirectory(found.at("gone.ttf")));
}

TEST(FileSearchPattern, ReportsLinksByWhatTheyReach) {
    TempFolder folder;
    folder.makeFolder("real");
    folder.write("real.ttf", {1});
    std::filesystem::create_directory_symlink(folder.path() / "real", folder.path() / "folder.ttf");
    std::filesystem::create_symlink(folder.path() / "real.ttf", folder.path() / "file.ttf");

    const auto found = searchAll(folder.enginePath() + "\\*.ttf");
    ASSERT_EQ(found.size(), 3u);
    EXPECT_TRUE(isDirectory(found.at("folder.ttf")));
    EXPECT_FALSE(isDirectory(found.at("file.ttf")));
}

TEST(FileSearchPattern, NamesAlikeButForCaseGoByTheirBytesCapitalsFirst) {
    TempFolder folder;
    for (const char* name : {"b.ttf", "B.TTF", "a.ttf", "A.ttf"}) folder.write(name, {1});
    EXPECT_EQ(namesInOrder(folder.enginePath() + "\\*.ttf"),
              (std::vector<std::string>{"A.ttf", "a.ttf", "B.TTF", "b.ttf"}));
}
#endif

// ---- Read-only files -------------------------------------------------------

TEST(ReadOnlyFileOpen, RefusesFoldersAndMissingFiles) {
    TempFolder folder;
    folder.makeFolder("x.ttf");
    ReadOnlyFile file;
    EXPECT_FALSE(file.open((folder.enginePath() + "\\x.ttf").c_str()));
    EXPECT_FALSE(file.open((folder.enginePath() + "\\missing.ttf").c_str()));
    std::uint8_t byte = 7;
    EXPECT_EQ(file.readAt(0, {&byte, 1}), 0u);
    EXPECT_EQ(byte, 7);
}

TEST(ReadOnlyFileOpen, AcceptsBackslashPathsAndReopensOnAnotherFile) {
    TempFolder folder;
    folder.write("one.ttf", {1, 1});
    folder.write("two.ttf", {2, 2, 2});
    ReadOnlyFile file;
    ASSERT_TRUE(file.open((folder.enginePath() + "\\one.ttf").c_str()));
    ASSERT_TRUE(file.open((folder.enginePath() + "\\two.ttf").c_str()));
    std::vector<std::uint8_t> bytes(4, 0);
    EXPECT_EQ(file.readAt(0, bytes), 3u);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{2, 2, 2, 0}));
}

#ifndef _WIN32
TEST(ReadOnlyFileOpen, RefusesAPipeWithoutWaitingForAWriter) {
    TempFolder folder;
    ASSERT_EQ(mkfifo((folder.path() / "pipe.ttf").c_str(), 0600), 0);
    ReadOnlyFile file;
    EXPECT_FALSE(file.open((folder.enginePath() + "\\pipe.ttf").c_str()));
}
#endif

class ReadOnlyFileRead : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.write("ten.bin", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        ASSERT_TRUE(file_.open((folder_.enginePath() + "\\ten.bin").c_str()));
    }

    TempFolder folder_;
    ReadOnlyFile file_;
};

TEST_F(ReadOnlyFileRead, ReadsAtAnyPositionFromTheStart) {
    std::vector<std::uint8_t> out(3, 0xAA);
    EXPECT_EQ(file_.readAt(4, out), 3u);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{4, 5, 6}));
    // A read elsewhere does not move the next one.
    EXPECT_EQ(file_.readAt(1, out), 3u);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(ReadOnlyFileRead, ReadsShortAtTheEndAndLeavesTheRestAlone) {
    std::vector<std::uint8_t> out(8, 0xAA);
    EXPECT_EQ(file_.readAt(6, out), 4u);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{6, 7, 8, 9, 0xAA, 0xAA, 0xAA, 0xAA}));
}

TEST_F(ReadOnlyFileRead, ReadsNothingAtOrPastTheEnd) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (const std::uint64_t position :
         {std::uint64_t{10}, std::uint64_t{11}, std::uint64_t{1} << 31, (std::uint64_t{1} << 32) - 1,
          std::uint64_t{1} << 32, (std::uint64_t{1} << 32) + 4, std::uint64_t{1} << 63, kMax}) {
        std::vector<std::uint8_t> out(4, 0xAA);
        EXPECT_EQ(file_.readAt(position, out), 0u) << position;
        EXPECT_EQ(out, (std::vector<std::uint8_t>(4, 0xAA))) << position;
    }
    // The file is still usable afterwards.
    std::vector<std::uint8_t> out(2, 0);
    EXPECT_EQ(file_.readAt(0, out), 2u);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0, 1}));
}

// Reads that start, end or lie inside the first KiB, which the POSIX layer
// reads with the open, and files that end inside it or exactly at its end.
TEST(ReadOnlyFileReadAround, GivesTheSameBytesWhereverTheReadFalls) {
    TempFolder folder;
    for (const std::size_t size : {std::size_t{0}, std::size_t{700}, std::size_t{1024}, std::size_t{3000}}) {
        std::vector<std::uint8_t> content(size);
        for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<std::uint8_t>(i % 251);
        const auto name = "file" + std::to_string(size) + ".bin";
        folder.write(name, content);
        ReadOnlyFile file;
        ASSERT_TRUE(file.open((folder.enginePath() + "\\" + name).c_str()));
        for (const std::size_t position :
             std::initializer_list<std::size_t>{0, 1, 600, 1000, 1023, 1024, 1025, 2990, 3000, 5000}) {
            for (const std::size_t length : std::initializer_list<std::size_t>{1, 24, 652, 2000}) {
                SCOPED_TRACE(testing::Message() << size << " bytes, " << length << " at " << position);
                std::vector<std::uint8_t> out(length, 0xAA);
                const auto expected = position < size ? std::min(length, size - position) : 0;
                ASSERT_EQ(file.readAt(position, out), expected);
                EXPECT_TRUE(std::equal(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(expected),
                                       content.begin() + static_cast<std::ptrdiff_t>(std::min(position, size))));
                EXPECT_TRUE(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(expected), out.end(),
                                        [](std::uint8_t byte) { return byte == 0xAA; }));
            }
        }
    }
}

// ---- Paths from a command line -------------------------------------------

#ifdef _WIN32
// The file functions take the ANSI code page: a name is spelt there exactly,
// and one that has no place in it, nor a short name, is none.
TEST(PathFromUtf8, IsTheAnsiSpellingOrNothing) {
    EXPECT_EQ(platform::pathFromUtf8("C:\\Fonts\\x.ttf"), "C:\\Fonts\\x.ttf");
    if (GetACP() == 1252) {
        EXPECT_EQ(platform::pathFromUtf8("C:\\M\xC3\xBCller"), "C:\\M\xFCller");
    }
    if (GetACP() != CP_UTF8) {
        EXPECT_FALSE(platform::pathFromUtf8("C:\\missing \xF0\x9F\x98\x80"));
    }
    EXPECT_FALSE(platform::pathFromUtf8("C:\\M\xFCller"));  // not UTF-8
}
#else
TEST(PathFromUtf8, IsTheBytesAsTheyAre) {
    for (const char* path : {"/fonts", "/M\xC3\xBCller", "/not \xFC UTF-8"})
        EXPECT_EQ(platform::pathFromUtf8(path), path);
}
#endif

// ---- The Windows directory ----------------------------------------------

#ifdef _WIN32
TEST(WindowsDirectory, IsAnExistingFolderWithoutATrailingSeparator) {
    const auto windows = platform::windowsDirectory();
    ASSERT_FALSE(windows.empty());
    EXPECT_LT(windows.size(), platform::kMaxPath);
    EXPECT_NE(windows.back(), '\\');
    EXPECT_TRUE(std::filesystem::is_directory(windows));
}
#else
TEST(WindowsDirectory, IsWhatWindirSaysOrNothing) {
    {
        enginetest::WindirScope scope("/some/where");
        EXPECT_EQ(platform::windowsDirectory(), "/some/where");
    }
    {
        enginetest::WindirScope scope(nullptr);
        EXPECT_EQ(platform::windowsDirectory(), "");
    }
}
#endif

}  // namespace
