// Where a user's own fonts are: their folder, and on Windows the files the
// registry lists for them. The registry tests run under Wine, whose prefix is
// shared by test runs: they remove exactly what they add.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#define STRICT
#include <windows.h>
#endif

#include "engine_test_helpers.h"
#include "platform/platform.h"
#include "platform/windows_path.h"

namespace {

using enginetest::TempFolder;
using platform::registeredUserFontFiles;
using platform::userFontsFolder;

TEST(UserFontPath, IsAbsoluteOnlyWhenNoWorkingFolderOrDriveCanChangeIt) {
    for (const char* path :
         {"C:\\x.ttf", "z:/x.ttf", "C:\\", "\\\\server\\share\\x.ttf", "//server/share/x.ttf", "\\\\?\\C:\\x.ttf"}) {
        EXPECT_TRUE(platform::isAbsoluteWindowsPath(path)) << path;
    }
    for (const char* path : {"", "x.ttf", "fonts\\x.ttf", ".\\x.ttf", "C:x.ttf", "C:", "\\x.ttf", "/x.ttf", "1:\\x.ttf",
                             ":\\x.ttf", "%LOCALAPPDATA%\\x.ttf"}) {
        EXPECT_FALSE(platform::isAbsoluteWindowsPath(path)) << path;
    }
}

#ifndef _WIN32

using enginetest::EnvironmentScope;

TEST(UserFontsFolder, IsLocalAppDataJoinedAsWindowsJoinsPaths) {
    EnvironmentScope scope("LOCALAPPDATA", "/home/u/AppData/Local");
    EXPECT_EQ(userFontsFolder(), "/home/u/AppData/Local\\Microsoft\\Windows\\Fonts");
}

TEST(UserFontsFolder, DoesNotDoubleASeparatorThatEndsLocalAppData) {
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"/home/u/Local/", "/home/u/Local\\Microsoft\\Windows\\Fonts"},
        {"/home/u/Local//", "/home/u/Local\\Microsoft\\Windows\\Fonts"},
        {"C:\\Users\\u\\Local\\", "C:\\Users\\u\\Local\\Microsoft\\Windows\\Fonts"},
        {"/", "\\Microsoft\\Windows\\Fonts"},  // the root
    };
    for (const auto& [local, expected] : cases) {
        EnvironmentScope scope("LOCALAPPDATA", local);
        EXPECT_EQ(userFontsFolder(), expected) << local;
    }
}

TEST(UserFontsFolder, IsNothingWithoutLocalAppData) {
    {
        EnvironmentScope scope("LOCALAPPDATA", nullptr);
        EXPECT_EQ(userFontsFolder(), std::nullopt);
    }
    {
        EnvironmentScope scope("LOCALAPPDATA", "");
        EXPECT_EQ(userFontsFolder(), std::nullopt);
    }
}

// The caller, not the platform, decides what to do with a folder whose paths
// would not fit: it needs the length to say why.
TEST(UserFontsFolder, IsGivenWhateverItsLength) {
    const std::string local(platform::kMaxPath, 'a');
    EnvironmentScope scope("LOCALAPPDATA", local.c_str());
    EXPECT_EQ(userFontsFolder(), local + "\\Microsoft\\Windows\\Fonts");
}

TEST(UserFontsFolder, IsSearchedThroughThePlatformLikeAnyFolder) {
    TempFolder local;
    local.makeFolder("Microsoft/Windows/Fonts");
    local.write("Microsoft/Windows/Fonts/mine.ttf", {1});
    EnvironmentScope scope("LOCALAPPDATA", local.enginePath().c_str());
    const auto folder = userFontsFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(enginetest::searchOrder(*folder, "*.ttf"), (std::vector<std::string>{"mine.ttf"}));
}

#else  // _WIN32

constexpr char kUserFontsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// A name no other test run uses at the same time.
std::string ofThisRun(const std::string& name) {
    return "meldrove-test-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

std::string environmentVariable(const char* name) {
    char value[32768];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

// Values set under the user's fonts key (as HKEY_CURRENT_USER shows it when
// the object is made), each removed when the object goes, and only those.
class UserFontValues {
public:
    UserFontValues() {
        const LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, kUserFontsKey, 0, nullptr, 0,
                                            KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key_, nullptr);
        EXPECT_EQ(status, ERROR_SUCCESS);
    }
    ~UserFontValues() {
        for (const auto& name : names_) RegDeleteValueA(key_, name.c_str());
        if (key_) RegCloseKey(key_);
    }
    UserFontValues(const UserFontValues&) = delete;
    UserFontValues& operator=(const UserFontValues&) = delete;

    void set(const std::string& name, DWORD type, const void* data, std::size_t size) {
        names_.push_back(name);
        ASSERT_EQ(RegSetValueExA(key_, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
                  ERROR_SUCCESS)
            << name;
    }
    // Written as the A function writes it, terminating zero included.
    void setText(const std::string& name, DWORD type, const std::string& text) {
        set(name, type, text.c_str(), text.size() + 1);
    }
    void setWide(const std::string& name, DWORD type, const std::wstring& text) {
        names_.push_back(name);
        const std::wstring wideName(name.begin(), name.end());
        ASSERT_EQ(RegSetValueExW(key_, wideName.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS)
            << name;
    }

private:
    HKEY key_ = nullptr;
    std::vector<std::string> names_;
};

// HKEY_CURRENT_USER seen as a fresh, empty key of this run for the life of
// the object, which then deletes it: the registry as a user without per-user
// fonts has it, and values whose list can be compared whole.
class PrivateUserRoot {
public:
    PrivateUserRoot() : name_("Software\\" + ofThisRun("root")) {
        EXPECT_EQ(
            RegCreateKeyExA(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_, nullptr),
            ERROR_SUCCESS);
        EXPECT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, root_), ERROR_SUCCESS);
    }
    ~PrivateUserRoot() {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(root_);
        RegDeleteTreeA(HKEY_CURRENT_USER, name_.c_str());
    }
    PrivateUserRoot(const PrivateUserRoot&) = delete;
    PrivateUserRoot& operator=(const PrivateUserRoot&) = delete;

private:
    std::string name_;
    HKEY root_ = nullptr;
};

// The registered files that lie under `part`, in the order given.
std::vector<std::string> filesNaming(const std::string& part) {
    std::vector<std::string> found;
    for (const auto& file : registeredUserFontFiles()) {
        if (file.find(part) != std::string::npos) found.push_back(file);
    }
    return found;
}

// Under the real key, which other runs and earlier tests may share: only the
// files of this run are looked at. Value names sort as they were added, so
// that Wine (which keeps values sorted) and Windows (in the order added)
// list them alike; the paths sort otherwise.
TEST(RegisteredUserFontFiles, AreTheAbsoluteStringValuesInRegistryOrder) {
    const auto mine = ofThisRun("fonts");
    const auto local = environmentVariable("LOCALAPPDATA");
    ASSERT_FALSE(local.empty());
    UserFontValues values;
    const auto name = [&](const char* n) { return ofThisRun(n); };
    values.setText(name("01 absolute"), REG_SZ, "Z:\\" + mine + "\\a.ttf");
    values.setText(name("02 bare name"), REG_SZ, mine + "-b.ttf");
    const DWORD number = 7;
    values.set(name("03 number"), REG_DWORD, &number, sizeof number);
    values.setText(name("04 expandable"), REG_EXPAND_SZ, "%LOCALAPPDATA%\\" + mine + "\\c.ttf");
    values.setText(name("05 plain string with a variable"), REG_SZ, "%LOCALAPPDATA%\\" + mine + "\\d.ttf");
    const std::wstring binary = L"C:\\" + std::wstring(mine.begin(), mine.end()) + L"\\e.ttf";
    values.set(name("06 binary"), REG_BINARY, binary.c_str(), (binary.size() + 1) * sizeof(wchar_t));
    const std::string multi = "C:\\" + mine + "\\f.ttf" + '\0';
    values.set(name("07 multiple strings"), REG_MULTI_SZ, multi.c_str(), multi.size() + 1);
    values.setText(name("08 network"), REG_SZ, "\\\\server\\share\\" + mine + "\\g.ttf");
    values.setText(name("09 drive relative"), REG_SZ, "C:" + mine + "-h.ttf");
    values.setText(name("10 folder relative"), REG_SZ, "fonts\\" + mine + "-i.ttf");
    const std::string unended = "A:\\" + mine + "\\j.ttf";
    values.set(name("11 no terminating zero"), REG_SZ, unended.data(), unended.size());
    values.setText(name("12 empty"), REG_SZ, "");

    EXPECT_EQ(filesNaming(mine), (std::vector<std::string>{"Z:\\" + mine + "\\a.ttf", local + "\\" + mine + "\\c.ttf",
                                                           "\\\\server\\share\\" + mine + "\\g.ttf", unended}));
}

TEST(RegisteredUserFontFiles, AreNoneWithoutTheKey) {
    const auto mine = ofThisRun("fonts");
    UserFontValues values;  // under the real key, where the private root hides it
    values.setText(ofThisRun("hidden"), REG_SZ, "C:\\" + mine + "\\a.ttf");
    ASSERT_EQ(filesNaming(mine).size(), 1u);

    PrivateUserRoot root;
    EXPECT_TRUE(registeredUserFontFiles().empty());
}

TEST(RegisteredUserFontFiles, LeaveOutPathsThatDoNotFitAndGoOnAfterThem) {
    const auto local = environmentVariable("LOCALAPPDATA");
    ASSERT_FALSE(local.empty());
    PrivateUserRoot root;
    UserFontValues values;
    const auto path = [](std::size_t length) { return "C:\\" + std::string(length - 7, 'x') + ".ttf"; };
    const auto expandable = [&](std::size_t length) {
        return "%LOCALAPPDATA%\\" + std::string(length - local.size() - 5, 'y') + ".ttf";
    };
    values.setText("1 far too long", REG_SZ, path(40000));
    values.setText("2 longest", REG_SZ, path(259));
    values.setText("3 one too long", REG_SZ, path(260));
    values.setText("4 longest once expanded", REG_EXPAND_SZ, expandable(259));
    values.setText("5 one too long once expanded", REG_EXPAND_SZ, expandable(260));
    ASSERT_LT(expandable(260).size(), 260u);  // only its expansion is too long

    const auto files = registeredUserFontFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], path(259));
    EXPECT_EQ(files[1].size(), 259u);
    EXPECT_EQ(files[1].rfind(local, 0), 0u) << files[1];
}

// The engine opens files with the A functions: a path must be spelled in the
// ANSI code page exactly, never with '?' or a look-alike letter in place of a
// character it lacks. Wine's is Windows-1252 unless told otherwise.
TEST(RegisteredUserFontFiles, AreSpelledInTheAnsiCodePageOrByTheirShortNames) {
    if (GetACP() != 1252) GTEST_SKIP() << "written for Windows-1252; the ANSI code page is " << GetACP();
    TempFolder folder;
    const auto outside = folder.path() / L"\u0141\u00f3d\u017a.ttf";  // "Łódź": Ł and ź are not in 1252
    const HANDLE file = CreateFileW(outside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    const std::uint8_t content[] = {5, 6, 7};
    WriteFile(file, content, sizeof content, &written, nullptr);
    CloseHandle(file);

    PrivateUserRoot root;
    UserFontValues values;
    values.setWide("1 in the code page", REG_SZ, L"C:\\fonts\\caf\u00e9.ttf");
    values.setWide("2 outside, existing", REG_SZ, outside.wstring());
    values.setWide("3 outside, missing", REG_SZ, L"C:\\fonts\\\u0141\u00f3d\u017a.ttf");

    const auto files = registeredUserFontFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], "C:\\fonts\\caf\xe9.ttf");
    EXPECT_EQ(files[1].find('?'), std::string::npos) << files[1];
    platform::ReadOnlyFile opened;
    ASSERT_TRUE(opened.open(files[1].c_str())) << files[1];
    std::uint8_t read[4] = {};
    EXPECT_EQ(opened.readAt(0, read), 3u);
    EXPECT_EQ(read[2], 7);
}

// LOCALAPPDATA set, or unset for "", for the life of the object, both where
// the system keeps it and in the C runtime's copy (_putenv changes both).
class LocalAppDataScope {
public:
    explicit LocalAppDataScope(const std::string& value) : saved_(environmentVariable("LOCALAPPDATA")) {
        _putenv(("LOCALAPPDATA=" + value).c_str());
    }
    ~LocalAppDataScope() { _putenv(("LOCALAPPDATA=" + saved_).c_str()); }
    LocalAppDataScope(const LocalAppDataScope&) = delete;
    LocalAppDataScope& operator=(const LocalAppDataScope&) = delete;

private:
    std::string saved_;
};

// Wine starts a program with LOCALAPPDATA naming the same folder as the known
// folder, C:\users\<user>\AppData\Local; a changed or missing variable does
// not move the folder.
TEST(UserFontsFolder, IsInTheLocalKnownFolderWhateverTheEnvironmentSays) {
    const auto local = environmentVariable("LOCALAPPDATA");
    ASSERT_FALSE(local.empty());
    const auto folder = userFontsFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, local + "\\Microsoft\\Windows\\Fonts");
    EXPECT_TRUE(platform::isAbsoluteWindowsPath(*folder)) << *folder;
    {
        LocalAppDataScope elsewhere("D:\\elsewhere");
        EXPECT_EQ(userFontsFolder(), folder);
    }
    {
        LocalAppDataScope none("");
        EXPECT_EQ(userFontsFolder(), folder);
    }
}

#endif

}  // namespace
