// The one abnormal end: a full-name reader that cannot read a whole table
// record prints the record's index on standard output and ends the process
// with exit code -1.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "font_writer.h"
#include "fontfile/diagnostics.h"
#include "fontfile/font_reader.h"
#include "reader_checks.h"

namespace {

using namespace testfonts;

// exit(-1) as the parent sees it: the low byte on POSIX, all 32 bits on Windows.
#ifdef _WIN32
constexpr int kExitCode = -1;
#else
constexpr int kExitCode = 255;
#endif

constexpr const char* kInheritedPath = "MELDROVE_DEATH_TEST_FONT";

void setInheritedPath(const char* value) {
#ifdef _WIN32
    _putenv_s(kInheritedPath, value ? value : "");
#else
    if (value) {
        setenv(kInheritedPath, value, 1);
    } else {
        unsetenv(kInheritedPath);
    }
#endif
}

// A font file that the death test's child finds again. The child runs the
// test body from its start; a file written there would stay behind, since the
// child ends without running destructors. The parent hands its path down
// through the environment instead.
class DeathTestFont {
public:
    DeathTestFont(const std::string& name, const Bytes& bytes) {
        const char* inherited = std::getenv(kInheritedPath);
        if (inherited && *inherited) {
            path_ = inherited;
            return;
        }
        folder_.emplace();
        path_ = folder_->write(name, bytes);
        setInheritedPath(path_.c_str());
    }
    ~DeathTestFont() {
        if (folder_) setInheritedPath(nullptr);
    }
    DeathTestFont(const DeathTestFont&) = delete;
    DeathTestFont& operator=(const DeathTestFont&) = delete;

    const char* path() const { return path_.c_str(); }

private:
    std::optional<TempFolder> folder_;
    std::string path_;
};

// Sends what follows on standard output to standard error, where the death
// test's matcher looks. What gtest has already buffered goes out first.
void standardOutputToStandardError() {
    std::fflush(stdout);
#ifdef _WIN32
    _dup2(_fileno(stderr), _fileno(stdout));
#else
    dup2(fileno(stderr), fileno(stdout));
#endif
}

class ExitPath : public testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        fontfile::setDiagnosticStream(nullptr);
    }
};

TEST_F(ExitPath, SingleFontDirectoryCutOffAtTheThirdRecord) {
    const auto font = FontWriter().table("cmap", {}).table("head", {}).table("name", nameTable({{"Never"}}));
    const DeathTestFont file("cut.ttf", truncated(font.build(), 12 + 16 * 2 + 8));
    EXPECT_EXIT(
        {
            standardOutputToStandardError();
            fontfile::NameSlot slot{};
            fontfile::readFullName(file.path(), slot);
        },
        testing::ExitedWithCode(kExitCode), testing::Eq("Read failed on table #2\n"));
}

TEST_F(ExitPath, CollectionMemberDirectoryCutOffCountsFromThatMember) {
    // Member 0 is whole; member 1's directory ends inside its second record.
    auto collection = CollectionWriter()
                          .member(simpleFont({1, 2, 3, 4}, "Whole"))
                          .member(FontWriter().table("cmap", {}).table("name", nameTable({{"Never"}})));
    const DeathTestFont file("cut.ttc", truncated(collection.build(), collection.memberOffset(1) + 12 + 16 + 15));
    EXPECT_EXIT(
        {
            standardOutputToStandardError();
            fontfile::NameSlot slots[2]{};
            fontfile::readCollectionFullNames(file.path(), slots);
        },
        testing::ExitedWithCode(kExitCode), testing::Eq("Read failed on table #1\n"));
}

}  // namespace
