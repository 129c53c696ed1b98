// The version resources of both executables, read back from the built files
// through the version API, as Explorer's Details tab reads them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "meldrove_version.h"
#include "tools/app_driver.h"

namespace {

// The language and code page of every resource of the programs: English
// (United Kingdom), UTF-16.
constexpr WORD kLanguage = 0x0809;
constexpr WORD kCodePage = 1200;
constexpr const char* kStringTable = "\\StringFileInfo\\080904B0\\";

struct Executable {
    const char* path;
    const char* fileName;
    const char* description;
};

void PrintTo(const Executable& executable, std::ostream* out) { *out << executable.fileName; }

class VersionResource : public ::testing::TestWithParam<Executable> {
protected:
    void SetUp() override {
        const auto path = driver::hostPathToWindows(GetParam().path);
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
        ASSERT_GT(size, 0u) << path << ": no version resource";
        block_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block_.data())) << path;
    }

    // The bytes of the value at `key`, or nothing.
    std::optional<std::pair<const void*, UINT>> value(const std::string& key) {
        void* data = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(block_.data(), key.c_str(), &data, &length) || data == nullptr) return std::nullopt;
        return std::make_pair(static_cast<const void*>(data), length);
    }

    // A value of the English (United Kingdom) string table, or nothing.
    std::optional<std::string> text(const char* name) {
        const auto found = value(kStringTable + std::string(name));
        if (!found) return std::nullopt;
        const auto* chars = static_cast<const char*>(found->first);
        return std::string(chars, strnlen(chars, found->second));
    }

    std::vector<char> block_;
};

TEST_P(VersionResource, GivesTheProjectVersionAsNumbers) {
    const auto fixed = value("\\");
    ASSERT_TRUE(fixed);
    ASSERT_GE(fixed->second, sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, fixed->first, sizeof info);
    EXPECT_EQ(info.dwSignature, 0xFEEF04BDu);
    const DWORD high = MAKELONG(MELDROVE_VERSION_MINOR, MELDROVE_VERSION_MAJOR);
    const DWORD low = MAKELONG(0, MELDROVE_VERSION_PATCH);
    EXPECT_EQ(info.dwFileVersionMS, high);
    EXPECT_EQ(info.dwFileVersionLS, low);
    EXPECT_EQ(info.dwProductVersionMS, high);
    EXPECT_EQ(info.dwProductVersionLS, low);
    EXPECT_EQ(info.dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(info.dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(info.dwFileFlags & info.dwFileFlagsMask, 0u);  // no debug, pre-release or patched build
}

// The strings are found through the translation, as Explorer finds them.
TEST_P(VersionResource, NamesItsStringTableInItsTranslation) {
    const auto translation = value("\\VarFileInfo\\Translation");
    ASSERT_TRUE(translation);
    ASSERT_EQ(translation->second, 2 * sizeof(WORD));
    WORD pair[2];
    std::memcpy(pair, translation->first, sizeof pair);
    EXPECT_EQ(pair[0], kLanguage);
    EXPECT_EQ(pair[1], kCodePage);
}

TEST_P(VersionResource, DescribesTheFileAndTheProduct) {
    EXPECT_EQ(text("FileVersion"), MELDROVE_VERSION);
    EXPECT_EQ(text("ProductVersion"), MELDROVE_VERSION);
    EXPECT_EQ(text("ProductName"), "Meldrove");
    EXPECT_EQ(text("FileDescription"), GetParam().description);
    EXPECT_EQ(text("OriginalFilename"), GetParam().fileName);
    EXPECT_EQ(text("LegalCopyright"), "Copyright (c) 2026 the Meldrove authors");
    EXPECT_EQ(text("NoSuchValue"), std::nullopt);
}

// The name the resource gives is the file's own.
TEST_P(VersionResource, OriginalFilenameIsTheBuiltFilesName) {
    const std::string path = GetParam().path;
    EXPECT_EQ(path.substr(path.find_last_of('/') + 1), GetParam().fileName);
}

INSTANTIATE_TEST_SUITE_P(BothExecutables, VersionResource,
                         ::testing::Values(Executable{MELDROVE_EXE, "meldrove.exe", "Meldrove"},
                                           Executable{MELDROVE_QUERY_EXE, "meldrove-query.exe",
                                                      "Meldrove from the command line"}));

}  // namespace
