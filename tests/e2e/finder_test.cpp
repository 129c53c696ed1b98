// meldrove-finder.exe run as a user runs it, under Wine on a virtual display:
// fonts made here in the fonts folder of a Wine prefix of its own, a text
// typed with a line break, a language picked, and the list read back from the
// other process and held to meldrove-query.exe's answer to the same question.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "finder/win32/resource.h"
#include "finder_driver.h"
#include "font_writer.h"
#include "tools/app_driver.h"

namespace {

using namespace testfonts;
using ::testing::ElementsAre;

constexpr int kColumns = 7;  // Name, Style, File, Format, Covers, Missing, Declared agrees
constexpr int kNameColumn = 0, kCoversColumn = 4, kMissingColumn = 5;
constexpr std::uint32_t kBasicLatin = 1u << 0, kCyrillic = 1u << 9;

std::string fontsFolder() {
    char directory[MAX_PATH] = {};
    GetWindowsDirectoryA(directory, MAX_PATH);
    return std::string(directory) + "\\fonts";
}

std::string tempPath(const std::string& name) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void emptyFontsFolder() {
    CreateDirectoryA(fontsFolder().c_str(), nullptr);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((fontsFolder() + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileA((fontsFolder() + "\\" + entry.cFileName).c_str());
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

std::string utf16be(const std::wstring& text) {
    std::string bytes;
    for (const auto unit : text) {
        bytes += static_cast<char>(unit >> 8);
        bytes += static_cast<char>(unit & 0xFF);
    }
    return bytes;
}

// A font whose character map (3,10) maps `groups`, with a Macintosh name and,
// when given, a Windows one.
void installFont(const std::string& file, std::uint32_t range1, const std::string& macName,
                 const std::wstring& windowsName, const std::vector<CmapGroup>& groups) {
    std::vector<NameEntry> names = {{.text = macName}};
    if (!windowsName.empty())
        names.push_back({.text = utf16be(windowsName), .platformID = 3, .encodingID = 1, .languageID = 0x409});
    const auto bytes =
        FontWriter()
            .table("OS/2", os2Table({range1, 0, 0, 0}))
            .table("cmap", cmapTable({{.platformID = 3, .encodingID = 10, .subtable = cmapFormat12(groups)}}))
            .table("name", nameTable(names))
            .build();
    std::ofstream out(fontsFolder() + "\\" + file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out) << file;
}

// Runs meldrove-query.exe with `arguments` and gives its standard output.
std::string runQuery(const std::wstring& arguments) {
    const auto outputPath = tempPath("finder-e2e-query.txt");
    HANDLE output = driver::createOutputFile(outputPath);
    if (output == INVALID_HANDLE_VALUE) return {};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    const auto exe = finder_driver::wide(driver::hostPathToWindows(MELDROVE_QUERY_EXE));
    auto commandLine = L"\"" + exe + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    CloseHandle(output);
    if (!started) return {};
    WaitForSingleObject(process.hProcess, driver::kWindowTimeoutMs);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return readFile(outputPath);
}

std::vector<std::string> linesOf(const std::string& text, const std::string& end = "\n") {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const auto next = text.find(end, at);
        if (next == std::string::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, next - at));
        at = next + end.size();
    }
    return lines;
}

// The value of the top-level "name" of one of the tool's JSON lines (it
// follows "windows_name"), for names without escapes.
std::string jsonName(const std::string& line) {
    const auto key = line.find("\"name\":\"", line.find("\"windows_name\":"));
    if (key == std::string::npos) return {};
    const auto start = key + 8;
    return line.substr(start, line.find('"', start) - start);
}

// One field of CSV text: the fields of each record, quotes undone.
std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records(1);
    std::string field;
    bool quoted = false, fieldStarted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && !fieldStarted) {
            quoted = fieldStarted = true;
        } else if (c == ',') {
            records.back().push_back(field);
            field.clear();
            fieldStarted = false;
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            records.back().push_back(field);
            field.clear();
            fieldStarted = false;
            records.emplace_back();
            ++i;
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (records.back().empty()) records.pop_back();
    return records;
}

class Finder : public ::testing::Test {
protected:
    void SetUp() override {
        emptyFontsFolder();
        // Latin and Russian whole, under a Windows name of its own.
        installFont("alpha.ttf", kBasicLatin | kCyrillic, "Alpha Mac", L"Alpha Sans",
                    {{0x20, 0x7E, 1}, {0x400, 0x45F, 100}});
        // Latin and Cyrillic without Ж and ж: a near miss by three.
        installFont("gamma.ttf", kBasicLatin | kCyrillic, "Gamma Mono", L"",
                    {{0x20, 0x7E, 1}, {0x400, 0x415, 100}, {0x417, 0x435, 130}, {0x437, 0x45F, 160}});
        // Latin alone: far from Russian.
        installFont("beta.ttf", kBasicLatin, "Beta Serif Bold", L"Beta Serif Bold", {{0x20, 0x7E, 1}});
        // Cyrillic and Latin but without the H typed: a near miss by one.
        installFont("delta.ttf", kCyrillic, "Delta Book", L"Delta Book",
                    {{0x20, 0x47, 1}, {0x49, 0x7E, 60}, {0x400, 0x45F, 100}});
        app_ = std::make_unique<driver::AppProcess>(driver::hostPathToWindows(MELDROVE_FINDER_EXE),
                                                    tempPath("finder-e2e-output.txt"));
        ASSERT_TRUE(app_->started());
        main_ = finder_driver::mainWindow(*app_);
        ASSERT_NE(main_, nullptr);
        ASSERT_TRUE(finder_driver::waitForFonts(main_));
        results_ = GetDlgItem(main_, IDC_RESULTS);
    }
    void TearDown() override {
        if (app_ && main_) PostMessageW(main_, WM_COMMAND, IDM_EXIT, 0);
        DWORD code = 0;
        if (app_) {
            EXPECT_TRUE(app_->waitForExit(driver::kExitTimeoutMs, code));
        }
        app_.reset();
        emptyFontsFolder();
    }

    // The question of every test: a text over two lines, Russian, near
    // misses up to 3.
    void ask() {
        finder_driver::type(GetDlgItem(main_, IDC_TEXT), L"Hi\r\u0416");
        finder_driver::type(GetDlgItem(main_, IDC_LANGUAGE), L"ru");
        finder_driver::retype(GetDlgItem(main_, IDC_NEAR), L"3");
    }
    std::vector<std::vector<std::wstring>> rows() const { return finder_driver::listViewRows(results_, kColumns); }
    std::string status() const {
        return finder_driver::utf8(finder_driver::statusText(GetDlgItem(main_, IDC_STATUS), 0));
    }

    std::string queryJson() const {
        const auto text = tempPath("finder-e2e-text.txt");
        std::ofstream(text, std::ios::binary) << "Hi\r\n\xD0\x96";
        return runQuery(L"--chars-file \"" + finder_driver::wide(text) +
                        L"\" --lang ru --match covered --near 3 --json");
    }

    std::unique_ptr<driver::AppProcess> app_;
    HWND main_ = nullptr;
    HWND results_ = nullptr;
};

TEST_F(Finder, StartsWithEveryFontAndNothingAsked) {
    EXPECT_EQ(status(), "4 of 4 fonts for nothing asked");
    const auto shown = rows();
    ASSERT_EQ(shown.size(), 4u);
    // Sorted by name; the Windows name where there is one.
    std::vector<std::wstring> names;
    for (const auto& row : shown) names.push_back(row[kNameColumn]);
    EXPECT_THAT(names, ElementsAre(L"Alpha Sans", L"Beta Serif Bold", L"Delta Book", L"Gamma Mono"));
    EXPECT_EQ(shown[1][1], L"Bold");
    EXPECT_EQ(shown[1][2], L"beta.ttf");
    EXPECT_EQ(finder_driver::utf8(finder_driver::statusText(GetDlgItem(main_, IDC_STATUS), 1)), "Problems: 0");
}

TEST_F(Finder, AnswersAsTheToolDoes) {
    ask();
    EXPECT_EQ(status(), "3 of 4 fonts for 3 characters, Russian; covered, near misses up to 3");
    const auto shown = rows();
    const auto json = linesOf(queryJson());
    ASSERT_FALSE(json.empty()) << "meldrove-query.exe gave no answer";
    std::set<std::string> toolNames, finderNames;
    for (const auto& line : json) toolNames.insert(jsonName(line));
    for (const auto& row : shown) finderNames.insert(finder_driver::utf8(row[kNameColumn]));
    EXPECT_EQ(finderNames, toolNames);
    EXPECT_EQ(finderNames, (std::set<std::string>{"Alpha Sans", "Delta Book", "Gamma Mono"}));
    ASSERT_EQ(shown.size(), 3u);
    // Sorted by name. Gamma misses the Ж typed, and Ж and ж of Russian.
    EXPECT_EQ(shown[2][kNameColumn], L"Gamma Mono");
    EXPECT_EQ(shown[2][kMissingColumn], L"3");
    EXPECT_EQ(shown[1][kMissingColumn], L"1");
    EXPECT_EQ(shown[0][kMissingColumn], L"0");
    // What the tool counts: the text's code points and Russian's together.
    for (const auto& line : json) {
        if (jsonName(line) != "Alpha Sans") continue;
        const auto total = line.find("\"total\":", line.find("\"languages\""));
        ASSERT_NE(total, std::string::npos);
        const auto russian = std::stoul(line.substr(total + 8));
        EXPECT_EQ(finder_driver::utf8(shown[0][kCoversColumn]),
                  std::to_string(russian + 3) + "/" + std::to_string(russian + 3));
    }
}

TEST_F(Finder, ExportsWhatTheToolWrites) {
    ask();
    const auto jsonPath = tempPath("finder-e2e.jsonl"), csvPath = tempPath("finder-e2e.csv");
    ASSERT_TRUE(finder_driver::exportRows(main_, finder_driver::wide(jsonPath), true));
    ASSERT_TRUE(finder_driver::exportRows(main_, finder_driver::wide(csvPath), false));
    auto exported = linesOf(readFile(jsonPath));
    auto tool = linesOf(queryJson());
    std::sort(exported.begin(), exported.end());
    std::sort(tool.begin(), tool.end());
    ASSERT_EQ(tool.size(), 3u);
    EXPECT_EQ(exported, tool);

    const auto csv = parseCsv(readFile(csvPath));
    ASSERT_EQ(csv.size(), 4u);
    EXPECT_EQ(csv[0][0], "Name");
    const auto shown = rows();
    ASSERT_EQ(shown.size(), 3u);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        ASSERT_EQ(csv[i + 1].size(), 11u);
        EXPECT_EQ(csv[i + 1][0], finder_driver::utf8(shown[i][kNameColumn]));
        EXPECT_EQ(csv[i + 1][6] + "/" + csv[i + 1][7], finder_driver::utf8(shown[i][kCoversColumn]));
    }
    DeleteFileA(jsonPath.c_str());
    DeleteFileA(csvPath.c_str());
}

TEST_F(Finder, SortsByAColumnClickedAndCopiesRows) {
    ask();
    const auto firstNames = [&] {
        std::vector<std::wstring> names;
        for (const auto& row : rows()) names.push_back(row[kNameColumn]);
        return names;
    };
    // Sorted by name: a click on Name reverses it.
    finder_driver::clickColumn(results_, kNameColumn);
    EXPECT_THAT(firstNames(), ElementsAre(L"Gamma Mono", L"Delta Book", L"Alpha Sans"));
    // View > Sort by, as a second and third click on the Missing header would.
    SendMessageW(main_, WM_COMMAND, IDM_SORT_FIRST + kMissingColumn, 0);  // 0, 1, 3 missing: ascending
    EXPECT_THAT(firstNames(), ElementsAre(L"Alpha Sans", L"Delta Book", L"Gamma Mono"));
    SendMessageW(main_, WM_COMMAND, IDM_SORT_FIRST + kMissingColumn, 0);
    EXPECT_THAT(firstNames(), ElementsAre(L"Gamma Mono", L"Delta Book", L"Alpha Sans"));
    const auto shown = rows();

    finder_driver::clickRow(results_, 0);
    SendMessageW(main_, WM_COMMAND, IDM_COPY, 0);
    std::wstring expected;
    for (int column = 0; column < kColumns; ++column)
        expected += (column ? L"\t" : L"") + shown[0][static_cast<std::size_t>(column)];
    EXPECT_EQ(finder_driver::clipboardText(), expected + L"\r\n");
}

TEST_F(Finder, BlocksAndTheMatchModeChangeTheAnswer) {
    HWND blocks = GetDlgItem(main_, IDC_BLOCKS);
    const auto lines = finder_driver::listViewRows(blocks, 1);
    const auto at = std::find(lines.begin(), lines.end(), std::vector<std::wstring>{L"Cyrillic"});
    ASSERT_NE(at, lines.end());
    const int cyrillic = static_cast<int>(at - lines.begin());
    finder_driver::setChecked(blocks, cyrillic, true);  // U+0400-04FF: no font here maps all of it
    EXPECT_EQ(status(), "0 of 4 fonts for Cyrillic; covered");
    EXPECT_TRUE(rows().empty());
    finder_driver::pickComboLine(GetDlgItem(main_, IDC_MATCH), 1);  // declared: bit 9 set
    EXPECT_EQ(status(), "3 of 4 fonts for Cyrillic; declared");
    std::set<std::wstring> names;
    for (const auto& row : rows()) {
        names.insert(row[kNameColumn]);
        EXPECT_EQ(row[6], L"no");  // the bit set without the block mapped whole
    }
    EXPECT_EQ(names, (std::set<std::wstring>{L"Alpha Sans", L"Delta Book", L"Gamma Mono"}));
    finder_driver::setChecked(blocks, cyrillic, false);
    EXPECT_EQ(status(), "4 of 4 fonts for nothing asked");
}

TEST_F(Finder, ALanguagePickedInTheListAndAnyLanguageAgain) {
    HWND list = GetDlgItem(main_, IDC_LANGUAGE_LIST);
    finder_driver::type(GetDlgItem(main_, IDC_LANGUAGE), L"russian (ukr");
    ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2);  // "(any language)" and Russian (Ukraine)
    finder_driver::pickListLine(list, 1);
    EXPECT_EQ(status(), "2 of 4 fonts for Russian (Ukraine); covered");
    finder_driver::pickListLine(list, 0);
    EXPECT_EQ(status(), "4 of 4 fonts for nothing asked");
}

TEST_F(Finder, TabLeavesTheTextBoxForTheLanguage) {
    HWND text = GetDlgItem(main_, IDC_TEXT);
    ASSERT_TRUE(driver::waitFor([&] { return finder_driver::focusOf(main_) == text; }, 5000));
    PostMessageW(text, WM_KEYDOWN, VK_TAB, 1);
    EXPECT_TRUE(
        driver::waitFor([&] { return finder_driver::focusOf(main_) == GetDlgItem(main_, IDC_LANGUAGE); }, 5000));
    EXPECT_EQ(GetWindowTextLengthW(text), 0);  // no tab typed
}

TEST_F(Finder, AFolderAddedIsReadWithItsSubfolders) {
    const auto folder = tempPath("finder-e2e-added"), below = folder + "\\deeper";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA(below.c_str(), nullptr);
    const auto bytes = FontWriter()
                           .table("OS/2", os2Table({kBasicLatin, 0, 0, 0}))
                           .table("cmap", cmapTable({{.subtable = cmapFormat12({{0x20, 0x7E, 1}})}}))
                           .table("name", nameTable({{.text = "Deep Down"}}))
                           .build();
    const auto file = below + "\\deep.otf";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(finder_driver::addFolder(main_, finder_driver::wide(folder)));
    EXPECT_TRUE(driver::waitFor([&] { return status() == "5 of 5 fonts for nothing asked"; }, 20000)) << status();
    bool found = false;
    for (const auto& row : rows()) found = found || (row[kNameColumn] == L"Deep Down" && row[3] == L"otf");
    EXPECT_TRUE(found);
    DeleteFileA(file.c_str());
    RemoveDirectoryA(below.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(Finder, OpensWhereItWasClosed) {
    SetWindowPos(main_, nullptr, 37, 41, 820, 610, SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(driver::waitFor([&] { return driver::windowRect(main_).left == 37; }, 5000));
    const RECT placed = driver::windowRect(main_);
    PostMessageW(main_, WM_COMMAND, IDM_EXIT, 0);
    DWORD code = 0;
    ASSERT_TRUE(app_->waitForExit(driver::kExitTimeoutMs, code));
    app_ = std::make_unique<driver::AppProcess>(driver::hostPathToWindows(MELDROVE_FINDER_EXE),
                                                tempPath("finder-e2e-output.txt"));
    main_ = finder_driver::mainWindow(*app_);
    ASSERT_NE(main_, nullptr);
    const RECT again = driver::windowRect(main_);
    EXPECT_EQ(again.left, placed.left);
    EXPECT_EQ(again.top, placed.top);
    EXPECT_EQ(again.right - again.left, placed.right - placed.left);
    EXPECT_EQ(again.bottom - again.top, placed.bottom - placed.top);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Meldrove\\Finder");
}

}  // namespace
