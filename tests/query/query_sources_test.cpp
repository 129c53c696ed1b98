// Which fonts meldrove-query reads, seen from outside: every font the user
// has by default, single files and folder trees when named, each file once
// however it is reached, and a note for a source that holds none.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "font_writer.h"
#include "query_run.h"

namespace {

using querytest::lines;
using querytest::query;
using querytest::quoted;
using testfonts::simpleFont;
using testfonts::TempFolder;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr std::uint32_t kLatin = 1u << 0;

void writeFont(const std::filesystem::path& file, const std::string& name) {
    std::filesystem::create_directories(file.parent_path());
    TempFolder scratch;
    std::filesystem::copy_file(scratch.write("f", simpleFont({kLatin, 0, 0, 0}, name).build()), file);
}

// A home of its own, so that the user's font folders are the test's.
class QueryDefaults : public ::testing::Test {
protected:
    std::string environment(const std::string& more = "") const {
        return "env -u WINDIR -u LOCALAPPDATA -u XDG_DATA_HOME HOME=" + quoted(home.path().string()) + " " + more;
    }
    TempFolder home;
};

// Off Windows without WINDIR: the user's and the system's font folders, with
// their subfolders, every line naming its file by its path.
TEST_F(QueryDefaults, ReadTheUsersAndTheSystemsFontFoldersWithTheirSubfolders) {
    writeFont(home.path() / ".local/share/fonts/family/Mine-Regular.ttf", "Mine Regular");
    writeFont(home.path() / ".fonts/Old.ttf", "Old Style");
    const auto run = query({}, environment());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto listed = lines(run.out);
    EXPECT_THAT(listed, Contains("Mine Regular   (" +
                                 (home.path() / ".local/share/fonts/family/Mine-Regular.ttf").string() + ")"));
    EXPECT_THAT(listed, Contains("Old Style   (" + (home.path() / ".fonts/Old.ttf").string() + ")"));
    // The system's own fonts, which make test installs.
    EXPECT_THAT(listed, Contains("DejaVu Sans   (/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf)"));
    EXPECT_THAT(run.err, Not(HasSubstr("no font files"))) << "an empty system folder is not worth a note";
}

TEST_F(QueryDefaults, XdgDataHomeStandsForTheUsersDataFolder) {
    TempFolder data;
    writeFont(data.path() / "fonts/x.ttf", "Xdg Font");
    writeFont(home.path() / ".local/share/fonts/hidden.ttf", "Hidden");
    const auto listed = lines(query({}, environment("XDG_DATA_HOME=" + quoted(data.path().string()))).out);
    EXPECT_THAT(listed, Contains("Xdg Font   (" + (data.path() / "fonts/x.ttf").string() + ")"));
    EXPECT_THAT(listed, Not(Contains(HasSubstr("Hidden"))));
}

// A Windows tree copied to a system that tells case apart: its folder may be
// "Fonts"; with WINDIR set, that folder alone is read.
TEST_F(QueryDefaults, WindirsFontsFolderIsFoundWhateverTheCaseOfItsName) {
    TempFolder windows;
    writeFont(windows.path() / "Fonts/arial.ttf", "Arial");
    const auto run = query({}, "env -u LOCALAPPDATA WINDIR=" + quoted(windows.path().string()));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(lines(run.out), ElementsAre("Arial   (arial.ttf)"));
    EXPECT_EQ(query({"--program"}, "env -u LOCALAPPDATA WINDIR=" + quoted(windows.path().string())).exitCode, 2)
        << "the program itself looks for \\fonts only";
}

TEST(QuerySources, ASingleFileIsReadWithFontAndATreeWithRecursive) {
    TempFolder fonts;
    writeFont(fonts.path() / "top.ttf", "Top");
    writeFont(fonts.path() / "family/sub/deep.ttf", "Deep");
    const auto folder = fonts.path().string();
    EXPECT_THAT(lines(query({"--fonts-dir", folder}).out), ElementsAre("Top   (top.ttf)"));
    EXPECT_THAT(lines(query({"-r", "--fonts-dir", folder}).out),
                ElementsAre("Deep   (" + folder + "/family/sub/deep.ttf)", "Top   (" + folder + "/top.ttf)"));
    EXPECT_THAT(lines(query({"--font", folder + "/family/sub/deep.ttf"}).out), ElementsAre("Deep   (deep.ttf)"));
}

// The same file reached by two paths, a link, or a folder inside another
// that is also named: read once, the first time.
TEST(QuerySources, TheSameFileReachedTwiceIsReadOnce) {
    TempFolder fonts;
    writeFont(fonts.path() / "a.ttf", "A");
    writeFont(fonts.path() / "inner/b.ttf", "B");
    std::filesystem::create_symlink(fonts.path() / "a.ttf", fonts.path() / "inner/link-to-a.ttf");
    const auto folder = fonts.path().string();
    const auto run = query({"--fonts-dir", folder, "--fonts-dir", folder + "/./", "-r", "--fonts-dir",
                            folder + "/inner", "--font", folder + "/a.ttf"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(lines(run.out), ElementsAre("A   (" + folder + "/a.ttf)", "B   (" + folder + "/inner/b.ttf)"));
}

TEST(QuerySources, ASourceWithoutFontsIsTold) {
    TempFolder empty, fonts;
    writeFont(fonts.path() / "sub/a.ttf", "A");
    const auto none = query({"--fonts-dir", empty.path().string()});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_THAT(lines(none.err),
                ElementsAre("meldrove-query: " + empty.path().string() +
                            ": no font files (ttf, otf, ttc, otc) (subfolders are read with --recursive)"));
    const auto tree = query({"--fonts-dir", empty.path().string(), "-r", "--fonts-dir", fonts.path().string()});
    EXPECT_THAT(lines(tree.err), ElementsAre(HasSubstr("no font files (ttf, otf, ttc, otc) in it or its subfolders")));
    EXPECT_THAT(lines(tree.out), ElementsAre(HasSubstr("A   (")));
    const auto other = query({"--font", (fonts.path() / "sub").string() + "/../sub/a.ttf", "--formats", "otf"});
    EXPECT_THAT(other.err, HasSubstr("is not named as a font file of the formats read (otf)"));
    EXPECT_THAT(lines(other.out), IsEmpty());
}

}  // namespace
