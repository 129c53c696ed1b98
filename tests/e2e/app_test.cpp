// meldrove.exe run as a user runs it, under Wine: each test fills the fonts
// folder of the Wine prefix with fonts made here, starts the program, drives
// its windows with window messages and checks what a user would see.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/resource.h"
#include "font_writer.h"
#include "inventory/font_inventory.h"
#include "meldrove_version.h"
#include "selection/matching.h"
#include "selection/result_list.h"
#include "selection/unicode_blocks.h"
#include "tools/app_driver.h"

namespace {

using namespace testfonts;
using driver::AppProcess;
using ::testing::ElementsAre;

constexpr std::uint32_t kBasicLatin = 1u << 0;
constexpr std::uint32_t kCyrillic = 1u << 9;
constexpr std::uint32_t kYiSyllables = 1u << 19;  // bit 83: word 3, bit 19

std::string windowsDirectory() {
    char directory[MAX_PATH] = {};
    GetWindowsDirectoryA(directory, MAX_PATH);
    return directory;
}

std::string fontsFolder() { return windowsDirectory() + "\\fonts"; }

void emptyFontsFolder() {
    CreateDirectoryA(fontsFolder().c_str(), nullptr);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((fontsFolder() + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string path = fontsFolder() + "\\" + entry.cFileName;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

void installFont(const std::string& name, const Bytes& bytes) {
    std::ofstream out(fontsFolder() + "\\" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out) << name;
}

Bytes singleFont(std::uint32_t range1, const std::string& fullName, std::uint32_t range3 = 0) {
    return simpleFont({range1, 0, range3, 0}, fullName).build();
}

// What each test starts from: an empty fonts folder and the program's output
// file. The program is killed, should a test end while it still runs.
class App : public ::testing::Test {
protected:
    void SetUp() override {
        emptyFontsFolder();
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        outputPath_ = std::string(folder) + "meldrove-e2e-output.txt";
    }
    void TearDown() override {
        app_.reset();
        if (HasFailure()) std::fprintf(stderr, "The program's standard output:\n%s\n", output().c_str());
        DeleteFileA(outputPath_.c_str());
        emptyFontsFolder();
    }

    // Starts the program and waits for its main window and its dialog.
    void start() {
        startOnly();
        main_ = app_->mainWindow();
        ASSERT_NE(main_, nullptr) << "no main window; output: " << output();
        dialog_ = app_->selectionDialog();
        ASSERT_NE(dialog_, nullptr);
        ASSERT_TRUE(driver::waitFor([&] { return IsWindowVisible(main_); }, driver::kWindowTimeoutMs));
        blocks_ = GetDlgItem(dialog_, IDC_BLOCKLIST);
        results_ = GetDlgItem(dialog_, IDC_RESULTLIST);
    }
    void startOnly() {
        app_ = std::make_unique<AppProcess>(driver::hostPathToWindows(MELDROVE_EXE), outputPath_);
        ASSERT_TRUE(app_->started()) << MELDROVE_EXE;
    }

    std::string output() const {
        std::ifstream in(outputPath_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    void selectBlock(const std::string& name, bool selected = true) {
        const int line = driver::findLine(blocks_, name);
        ASSERT_GE(line, 0) << name;
        driver::setSelected(blocks_, line, selected);
    }
    void press(int control) { driver::click(GetDlgItem(dialog_, control)); }
    std::vector<std::string> results() const { return driver::listLines(results_); }

    DWORD exitCode(DWORD timeoutMs = driver::kExitTimeoutMs) const {
        DWORD code = 0;
        EXPECT_TRUE(app_->waitForExit(timeoutMs, code)) << "the program did not end";
        return code;
    }

    std::string outputPath_;
    std::unique_ptr<AppProcess> app_;
    HWND main_ = nullptr;
    HWND dialog_ = nullptr;
    HWND blocks_ = nullptr;
    HWND results_ = nullptr;
};

// The dialog's place: 4 pixels right of "&About", 4 below the menu bar. The
// menu bar starts at the client area's left edge and ends at its top. Under
// Wine the window may first learn where its menu bar is when X maps it, so
// the place is awaited for a moment.
void expectDialogUnderMenuBar(HWND main, HWND dialog) {
    POINT client{0, 0};
    ClientToScreen(main, &client);
    driver::waitFor([&] { return driver::windowRect(dialog).left == client.x + 4; }, 3000);
    const RECT placed = driver::windowRect(dialog);
    EXPECT_EQ(placed.left, client.x + 4);
    EXPECT_EQ(placed.top, client.y + 4);
}

TEST_F(App, StartsWithEveryBlockInOrderNothingSelectedAndNoResults) {
    installFont("sans.ttf", singleFont(kBasicLatin, "Sans"));
    start();

    std::vector<std::string> names;
    for (const auto& block : selection::unicodeBlockTable) names.emplace_back(block.name);
    EXPECT_EQ(driver::listLines(blocks_), names);
    EXPECT_TRUE(driver::selectedLines(blocks_).empty());
    EXPECT_TRUE(results().empty());
    EXPECT_EQ(driver::windowText(dialog_), "Quorrel");
    EXPECT_EQ(driver::windowText(GetDlgItem(dialog_, IDC_SELECTBLOCK)), "Select Block ");
    EXPECT_EQ(driver::windowText(GetDlgItem(dialog_, IDC_CLEARSELECTION)), "Clear selection");
    EXPECT_EQ(GetWindow(dialog_, GW_OWNER), main_);
    // Blocks keep the table's order and take any number of selections;
    // results are sorted by the list and cannot be selected.
    const auto style = [](HWND w) { return static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)); };
    EXPECT_EQ(style(blocks_) & (LBS_SORT | LBS_MULTIPLESEL | LBS_NOSEL), static_cast<DWORD>(LBS_MULTIPLESEL));
    EXPECT_EQ(style(results_) & (LBS_SORT | LBS_MULTIPLESEL | LBS_NOSEL), static_cast<DWORD>(LBS_SORT | LBS_NOSEL));
    const RECT frame = driver::windowRect(main_);
    EXPECT_EQ(frame.right - frame.left, 680);
    EXPECT_EQ(frame.bottom - frame.top, 400);
}

TEST_F(App, KeepsTheDialogUnderTheMenuBarWhenTheWindowMovesOrChangesSize) {
    start();
    expectDialogUnderMenuBar(main_, dialog_);

    SetWindowPos(main_, nullptr, 57, 43, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_TRUE(driver::waitFor([&] { return driver::windowRect(main_).left == 57; }, 5000));
    expectDialogUnderMenuBar(main_, dialog_);

    SetWindowPos(main_, nullptr, 120, 90, 900, 600, SWP_NOZORDER);
    ASSERT_TRUE(driver::waitFor([&] { return driver::windowRect(main_).left == 120; }, 5000));
    expectDialogUnderMenuBar(main_, dialog_);
}

// A folder with every kind of font a line can come from.
class Matching : public App {
protected:
    void SetUp() override {
        App::SetUp();
        installFont("latin.ttf", singleFont(kBasicLatin, "Latin Only"));
        installFont("cyrillic.ttf", singleFont(kBasicLatin | kCyrillic, "Cyrillic Sans"));
        installFont("yi.ttf", singleFont(kBasicLatin, "Yi Font", kYiSyllables));
        // No OS/2 table: no range bit at all.
        installFont("noranges.ttf", FontWriter().table("name", nameTable({{"No Ranges"}})).build());
        // A name only for Windows: no full name to show.
        installFont("nameless.ttf", FontWriter()
                                        .table("OS/2", os2Table({kBasicLatin | kCyrillic, 0, 0, 0}))
                                        .table("name", nameTable({{"Windows Name", 3, 4}}))
                                        .build());
        installFont("family.ttc", CollectionWriter()
                                      .member(simpleFont({kBasicLatin, 0, 0, 0}, "Family Regular"))
                                      .member(simpleFont({kBasicLatin | kCyrillic, 0, 0, 0}, "Family Bold"))
                                      .build());
        start();
    }
};

const std::vector<std::string> kEveryFont{"   (nameless.ttf)",         "Cyrillic Sans   (cyrillic.ttf)",
                                          "Family Bold  (family.ttc)", "Family Regular  (family.ttc)",
                                          "Latin Only   (latin.ttf)",  "No Ranges   (noranges.ttf)",
                                          "Yi Font   (yi.ttf)"};

TEST_F(Matching, ListsEveryFontWhenNoBlockIsSelectedEachOnceHoweverOftenPressed) {
    press(IDC_SELECTBLOCK);
    EXPECT_EQ(results(), kEveryFont);
    press(IDC_SELECTBLOCK);
    EXPECT_EQ(results(), kEveryFont);
}

TEST_F(Matching, ListsOnlyTheFontsThatDeclareEverySelectedBlock) {
    selectBlock("Cyrillic");
    press(IDC_SELECTBLOCK);
    EXPECT_THAT(results(),
                ElementsAre("   (nameless.ttf)", "Cyrillic Sans   (cyrillic.ttf)", "Family Bold  (family.ttc)"));

    selectBlock("Basic Latin");
    press(IDC_SELECTBLOCK);
    EXPECT_THAT(results(),
                ElementsAre("   (nameless.ttf)", "Cyrillic Sans   (cyrillic.ttf)", "Family Bold  (family.ttc)"));

    selectBlock("Cyrillic", false);
    selectBlock("Yi Syllables");
    press(IDC_SELECTBLOCK);
    EXPECT_THAT(results(), ElementsAre("Yi Font   (yi.ttf)"));
}

TEST_F(Matching, EmptiesTheListWhenNoFontMatches) {
    press(IDC_SELECTBLOCK);
    ASSERT_FALSE(results().empty());
    selectBlock("Braille Patterns");
    press(IDC_SELECTBLOCK);
    EXPECT_TRUE(results().empty());
}

TEST_F(Matching, ClearSelectionDeselectsEveryBlockAndKeepsTheLines) {
    selectBlock("Basic Latin");
    selectBlock("Yi Syllables");
    selectBlock("Cyrillic");
    press(IDC_SELECTBLOCK);
    const auto shown = results();

    press(IDC_CLEARSELECTION);
    EXPECT_TRUE(driver::selectedLines(blocks_).empty());
    EXPECT_EQ(results(), shown);

    press(IDC_SELECTBLOCK);
    EXPECT_EQ(results(), kEveryFont);
}

// ---- The order of the result list ------------------------------------------------

bool hasSuffix(const std::string& name, const std::string& suffix) {
    return name.size() >= suffix.size() && lstrcmpiA(name.c_str() + name.size() - suffix.size(), suffix.c_str()) == 0;
}

// Every *.ttf and *.ttc under `folder` and its folders, in the order of
// their paths' bytes.
void findFonts(const std::string& folder, std::vector<std::string>& paths) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            findFonts(folder + "\\" + name, paths);
        } else if (hasSuffix(name, ".ttf") || hasSuffix(name, ".ttc")) {
            paths.push_back(folder + "\\" + name);
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

// Puts this machine's fonts in the fonts folder as scripts/link-fonts does:
// a second file of the same name takes its folder's name in front. Hard
// links where the file system allows, copies elsewhere; a name already
// there is left alone. Returns how many fonts went in.
std::size_t installHostFonts() {
    std::vector<std::string> paths;
    findFonts(driver::hostPathToWindows("/usr/share/fonts"), paths);
    std::sort(paths.begin(), paths.end());
    std::size_t installed = 0;
    for (const auto& path : paths) {
        const auto slash = path.find_last_of('\\');
        const auto parentSlash = path.find_last_of('\\', slash - 1);
        std::string target = fontsFolder() + "\\" + path.substr(slash + 1);
        if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
            target = fontsFolder() + "\\" + path.substr(parentSlash + 1, slash - parentSlash - 1) + "-" +
                     path.substr(slash + 1);
        }
        if (CreateHardLinkA(target.c_str(), path.c_str(), nullptr) || CopyFileA(path.c_str(), target.c_str(), TRUE))
            ++installed;
    }
    return installed;
}

// Lines alike but for case, lines alike but for hyphens or apostrophes, and
// punctuation, digits and letters side by side: where the word sort and the
// list box's way of placing alike lines decide the order.
void installWordSortFonts() {
    // Names only for Windows: no full name, the lines start with the blanks.
    const Bytes nameless = FontWriter()
                               .table("OS/2", os2Table({kBasicLatin, 0, 0, 0}))
                               .table("name", nameTable({{"Windows Name", 3, 4}}))
                               .build();
    installFont("MeldSans-Bold.ttf", nameless);
    installFont("MeldSansBhaiksuki-Regular.ttf", nameless);
    installFont("co-op.ttf", singleFont(kBasicLatin, "Co-op Sans"));
    installFont("coop.ttf", singleFont(kBasicLatin, "Coop Sans"));
    installFont("co'op.ttf", singleFont(kBasicLatin, "Co'op Sans"));
    installFont("cop.ttf", singleFont(kBasicLatin, "Cop Sans"));
    installFont("-lead.ttf", singleFont(kBasicLatin, "-Lead"));
    installFont("lead-.ttf", singleFont(kBasicLatin, "Lead-"));
    installFont("o_brien.ttf", singleFont(kBasicLatin, "O_Brien"));
    installFont("o[brien].ttf", singleFont(kBasicLatin, "O[Brien]"));
    installFont("O'Brien.ttf", singleFont(kBasicLatin, "o'brien"));
    installFont("obrien.ttf", singleFont(kBasicLatin, "OBRIEN"));
    installFont("Sans 10.ttf", singleFont(kBasicLatin, "Sans 10"));
    installFont("Sans 9.ttf", singleFont(kBasicLatin, "Sans 9"));
    installFont("Sans+.ttf", singleFont(kBasicLatin, "Sans+"));
    installFont("Sans~.ttf", singleFont(kBasicLatin, "Sans~"));
    installFont("Sans(Bold).ttf", singleFont(kBasicLatin, "Sans (Bold)"));
    const auto collection = [](std::initializer_list<const char*> names) {
        CollectionWriter writer;
        for (const char* name : names) writer.member(simpleFont({kBasicLatin, 0, 0, 0}, name));
        return writer.build();
    };
    installFont("twins.ttc", collection({"Twin", "TWIN", "twin", "tWIN", "Twin", "TwIn", "TWIN"}));
    installFont("Case-Twins.ttc", collection({"Mono", "MONO", "mono-x", "Mono-X", "MONO-X", "mono x", "mono"}));
    installFont("apos'trophe.ttc", collection({"A'b", "a'B", "AB", "ab", "a-b", "A-B", "ab", "Ab"}));
}

// The lines as the engine orders them over the fonts folder, computed in
// this process: with `compare`, or as the list box compares by default.
std::vector<std::string> engineLines(selection::SortedLineList::Comparison compare = selection::compareInListOrder) {
    inventory::FontInventory fonts;
    inventory::buildInventory(fonts, fontsFolder());
    selection::SortedLineList list(compare);
    selection::listMatchingFonts(fonts, {}, list);
    return list.lines();
}

bool isAscii(const std::string& line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

TEST_F(App, ListsTheMachinesFontsInTheOrderTheEngineComputes) {
    installWordSortFonts();
    const std::size_t hostFonts = installHostFonts();
    ASSERT_GT(hostFonts, 0u) << "no fonts under /usr/share/fonts";
    start();
    press(IDC_SELECTBLOCK);

    const auto shown = results();
    // The engine as it runs on Windows, with the system's comparison.
    const auto computed = engineLines();
    ASSERT_GT(shown.size(), hostFonts);  // each file gives a line at least, and the fonts made here more
    EXPECT_EQ(shown, computed);
    // The engine as meldrove-query runs it elsewhere: its own comparison,
    // the same for every line that is all ASCII.
    if (std::all_of(shown.begin(), shown.end(), isAscii)) {
        EXPECT_EQ(shown, engineLines(selection::compareInWordSort));
    } else {
        std::fprintf(stderr, "Some full names are not ASCII: the order made off Windows was not compared.\n");
    }
}

// Closes the about box with `close` and checks it went and nothing else did.
class AboutBox : public App {
protected:
    void openAndClose(const std::function<void(HWND)>& close) {
        press(IDC_SELECTBLOCK);
        const auto shown = results();
        PostMessageA(main_, WM_COMMAND, IDM_ABOUT, 0);
        HWND about = app_->aboutBox();
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(driver::windowText(about), "Quorrel");
        EXPECT_EQ(GetWindow(about, GW_OWNER), main_);
        EXPECT_EQ(driver::windowText(FindWindowExA(about, nullptr, "Static", nullptr)),
                  "Meldrove, version " MELDROVE_VERSION);

        close(about);
        ASSERT_TRUE(driver::waitFor([&] { return !IsWindow(about); }, 5000));
        EXPECT_TRUE(IsWindowVisible(main_));
        EXPECT_TRUE(IsWindowVisible(dialog_));
        EXPECT_EQ(results(), shown);
        EXPECT_TRUE(app_->running());
    }
};

TEST_F(AboutBox, ClosesByOkEnterEscapeAndItsCloseBox) {
    installFont("sans.ttf", singleFont(kBasicLatin, "Sans"));
    start();
    openAndClose([](HWND about) { driver::click(GetDlgItem(about, IDOK)); });
    openAndClose([](HWND about) { PostMessageA(GetDlgItem(about, IDOK), WM_KEYDOWN, VK_RETURN, 0); });
    openAndClose([](HWND about) { PostMessageA(GetDlgItem(about, IDOK), WM_KEYDOWN, VK_ESCAPE, 0); });
    openAndClose([](HWND about) { PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0); });
}

TEST_F(App, EndsWithZeroOnExit) {
    start();
    PostMessageA(main_, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(App, EndsWithZeroWhenTheWindowIsClosedFromItsCaption) {
    start();
    PostMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(App, ClosingTheDialogLeavesTheMainWindowOpenUntilExit) {
    installFont("sans.ttf", singleFont(kBasicLatin, "Sans"));
    start();
    PostMessageA(dialog_, WM_CLOSE, 0, 0);  // the dialog's own cancel
    ASSERT_TRUE(driver::waitFor([&] { return !IsWindow(dialog_); }, 5000));

    // Moving the window now addresses a dialog that is gone: no harm done.
    SetWindowPos(main_, nullptr, 30, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Sleep(200);
    EXPECT_TRUE(app_->running());
    EXPECT_TRUE(IsWindowVisible(main_));

    PostMessageA(main_, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(exitCode(), 0u);
}

TEST_F(App, IgnoresUnknownCommands) {
    start();
    EXPECT_EQ(SendMessageA(main_, WM_COMMAND, 4242, 0), 0);
    EXPECT_EQ(SendMessageA(dialog_, WM_COMMAND, 4242, 0), 0);
    EXPECT_TRUE(app_->running());
    EXPECT_TRUE(IsWindow(dialog_));
}

TEST_F(App, EndsWithMinusOneBeforeAnyWindowWhenATableRecordIsCutOff) {
    // Three records and no OS/2 among the first two; the file ends inside the
    // third record.
    const Bytes font =
        FontWriter().table("cmap", Bytes(8, 1)).table("head", Bytes(8, 2)).table("post", Bytes(8, 3)).build();
    installFont("cut.ttf", truncated(font, 12 + 16 * 2 + 10));
    startOnly();

    bool windowShown = false;
    driver::waitFor(
        [&] {
            HWND main = app_->findWindow([](HWND w) { return driver::className(w) == "Vantrel"; }, 0);
            windowShown = windowShown || (main && IsWindowVisible(main));
            return !app_->running();
        },
        driver::kExitTimeoutMs);
    EXPECT_EQ(exitCode(), static_cast<DWORD>(-1));
    EXPECT_FALSE(windowShown);
    // Standard output is in text mode: the line ends as Windows ends lines.
    EXPECT_EQ(output(),
              "OS/2 not found"
              "Read failed on table #2\r\n");
}

TEST_F(App, WritesTheReadersDiagnosticsToStandardOutput) {
    // The name record comes before the cut: only the OS/2 scan reaches it.
    const Bytes cut =
        FontWriter().table("name", nameTable({{"Cut"}})).table("cmap", Bytes(8, 1)).table("post", Bytes(8, 3)).build();
    installFont("a-cut.ttf", truncated(cut, 12 + 16 * 2 + 10));
    installFont("b-noname.ttf", FontWriter().table("OS/2", os2Table({kBasicLatin, 0, 0, 0})).build());
    start();
    PostMessageA(main_, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(exitCode(), 0u);

    // The directory search decides which file comes first.
    const std::string noOs2 = "OS/2 not found";
    const std::string noName = windowsDirectory() + "\\fonts\\b-noname.ttf: ** No name table found **\r\n";
    const auto text = output();
    EXPECT_TRUE(text == noOs2 + noName || text == noName + noOs2) << text;
}

}  // namespace
