#include "finder/win32/finder_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
// <windows.h> defines near and far away, which name a query's near misses.
#undef near
#undef far

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "coverage/character_properties.h"
#include "coverage/coverage_rows.h"
#include "coverage/languages.h"
#include "finder/model/export.h"
#include "finder/model/rows.h"
#include "finder/model/sources.h"
#include "finder/model/unicode_names.h"
#include "finder/win32/resource.h"
#include "meldrove_version.h"

namespace finder::win32 {

namespace {

// Sent by the worker that read the catalog: lParam is a LoadResult it gives
// up to the window.
constexpr UINT kCatalogRead = WM_APP + 1;
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressDelayMs = 500;  // a read this quick needs no progress bar
constexpr std::size_t kMissingListed = 1000;
constexpr std::size_t kProblemsShown = 40;
constexpr int kPreviewPointSize = 20;
constexpr wchar_t kPlacementKey[] = L"Software\\Meldrove\\Finder";
constexpr wchar_t kPlacementValue[] = L"WindowPlacement";

struct LoadResult {
    finder::Sources sources;
    std::unique_ptr<inventory::FontCatalog> catalog;
};

struct LoadJob {
    HWND window = nullptr;
    finder::Sources sources;  // the folders added; the defaults are found by the worker
};

// What the window holds: its controls, the catalog, the question and the
// rows that answer it.
struct State {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HWND textLabel = nullptr, text = nullptr;
    HWND languageLabel = nullptr, language = nullptr, languageList = nullptr;
    HWND blocksLabel = nullptr, blocks = nullptr;
    HWND matchLabel = nullptr, match = nullptr, nearLabel = nullptr, nearEdit = nullptr, nearSpin = nullptr;
    HWND results = nullptr, preview = nullptr, missing = nullptr, status = nullptr, progress = nullptr;
    HFONT uiFont = nullptr;
    UINT dpi = USER_DEFAULT_SCREEN_DPI;

    finder::Sources sources;
    std::unique_ptr<inventory::FontCatalog> catalog;
    std::vector<std::string> problems;
    bool loading = false;
    bool readAgain = false;  // the sources changed while they were read

    finder::Query query;
    std::vector<finder::Row> rows;
    finder::Column sortColumn = finder::Column::name;
    bool ascending = true;
    std::vector<std::size_t> languageChoices;  // the languages the list shows, after its first line "(any)"
    std::optional<std::size_t> chosenLanguage;
    bool filling = false;  // controls being filled by the program: their notifications are not the user's

    std::optional<std::size_t> previewFace;  // in catalog->faces
    HFONT previewFont = nullptr;
    std::wstring previewFile;  // added as a private font resource
    std::wstring cell;         // the text of the list's cell last asked for
};

State* stateOf(HWND window) { return reinterpret_cast<State*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

// ---- Text -------------------------------------------------------------------------

std::wstring wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), length);
    return text;
}

std::string utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr, nullptr);
    return bytes;
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring utf16Of(char32_t c) {
    if (c < 0x10000) return std::wstring(1, static_cast<wchar_t>(c));
    const auto v = c - 0x10000;
    return {static_cast<wchar_t>(0xD800 + (v >> 10)), static_cast<wchar_t>(0xDC00 + (v & 0x3FF))};
}

// ---- Sizes ------------------------------------------------------------------------

UINT dpiOf(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    const UINT dpi = getDpi ? getDpi(window) : 0;
    return dpi ? dpi : USER_DEFAULT_SCREEN_DPI;
}

int scaled(const State& state, int pixels) {
    return MulDiv(pixels, static_cast<int>(state.dpi), USER_DEFAULT_SCREEN_DPI);
}

void makeUiFont(State& state) {
    if (state.uiFont) DeleteObject(state.uiFont);
    LOGFONTW font{};
    font.lfHeight = -MulDiv(9, static_cast<int>(state.dpi), 72);
    font.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(font.lfFaceName, L"Segoe UI", LF_FACESIZE);
    state.uiFont = CreateFontIndirectW(&font);
    EnumChildWindows(
        state.window,
        [](HWND control, LPARAM uiFont) {
            SendMessageW(control, WM_SETFONT, static_cast<WPARAM>(uiFont), TRUE);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(state.uiFont));
}

// ---- Placement --------------------------------------------------------------------

std::optional<WINDOWPLACEMENT> savedPlacement() {
    WINDOWPLACEMENT placement{};
    DWORD size = sizeof placement, type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kPlacementKey, kPlacementValue, RRF_RT_REG_BINARY, &type, &placement, &size) !=
            ERROR_SUCCESS ||
        size != sizeof placement || placement.length != sizeof placement) {
        return std::nullopt;
    }
    // A placement on a monitor that is gone would put the window out of sight.
    if (!MonitorFromRect(&placement.rcNormalPosition, MONITOR_DEFAULTTONULL)) return std::nullopt;
    return placement;
}

void savePlacement(HWND window) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement)) return;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kPlacementKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    RegSetValueExW(key, kPlacementValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&placement), sizeof placement);
    RegCloseKey(key);
}

// ---- Controls ---------------------------------------------------------------------

HWND child(State& state, const wchar_t* className, const wchar_t* text, DWORD style, int id, DWORD exStyle = 0) {
    return CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, state.window,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), state.instance, nullptr);
}

void addColumn(HWND list, int index, const std::wstring& title, int width) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(title.c_str());
    column.cx = width;
    column.iSubItem = index;
    ListView_InsertColumn(list, index, &column);
}

void addResultColumns(State& state) {
    constexpr std::array<int, finder::kColumnCount> kWidths = {220, 100, 150, 55, 80, 60, 100};
    for (std::size_t i = 0; i < finder::kColumnCount; ++i) {
        addColumn(state.results, static_cast<int>(i), wide(finder::columnTitle(static_cast<finder::Column>(i))),
                  scaled(state, kWidths[i]));
    }
}

void fillBlocks(State& state) {
    state.filling = true;
    addColumn(state.blocks, 0, L"Block", scaled(state, 200));
    const auto rows = coverage::coverageRows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto name = wide(rows[i].name);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = name.data();
        ListView_InsertItem(state.blocks, &item);
    }
    state.filling = false;
}

void fillLanguages(State& state) {
    state.filling = true;
    SendMessageW(state.languageList, WM_SETREDRAW, FALSE, 0);
    SendMessageW(state.languageList, LB_RESETCONTENT, 0, 0);
    SendMessageW(state.languageList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"(any language)"));
    int selected = 0;
    for (std::size_t i = 0; i < state.languageChoices.size(); ++i) {
        const auto& language = coverage::languages()[state.languageChoices[i]];
        const auto line = wide(std::string(language.name) + " (" + std::string(language.tag) + ")");
        SendMessageW(state.languageList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        if (state.chosenLanguage == state.languageChoices[i]) selected = static_cast<int>(i) + 1;
    }
    SendMessageW(state.languageList, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    SendMessageW(state.languageList, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(state.languageList, nullptr, TRUE);
    state.filling = false;
}

void createControls(State& state) {
    state.textLabel = child(state, L"STATIC", L"&Text to show:", SS_LEFT, IDC_TEXT_LABEL);
    state.text = child(state, L"EDIT", L"",
                       WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, IDC_TEXT);
    state.languageLabel = child(state, L"STATIC", L"&Language (tag or English name):", SS_LEFT, IDC_LANGUAGE_LABEL);
    state.language = child(state, L"EDIT", L"", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, IDC_LANGUAGE);
    state.languageList =
        child(state, L"LISTBOX", L"", WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
              IDC_LANGUAGE_LIST);
    state.blocksLabel = child(state, L"STATIC", L"&Blocks:", SS_LEFT, IDC_BLOCKS_LABEL);
    state.blocks =
        child(state, WC_LISTVIEWW, L"",
              WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS, IDC_BLOCKS);
    ListView_SetExtendedListViewStyle(state.blocks, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    state.matchLabel = child(state, L"STATIC", L"&Match:", SS_LEFT, IDC_MATCH_LABEL);
    state.match = child(state, WC_COMBOBOXW, L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, IDC_MATCH);
    for (const auto* mode : {L"covered", L"declared", L"both"})
        SendMessageW(state.match, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(mode));
    SendMessageW(state.match, CB_SETCURSEL, 0, 0);
    state.nearLabel = child(state, L"STATIC", L"&Near misses up to:", SS_LEFT, IDC_NEAR_LABEL);
    state.nearEdit = child(state, L"EDIT", L"0", WS_TABSTOP | WS_BORDER | ES_NUMBER, IDC_NEAR);
    state.nearSpin = child(state, UPDOWN_CLASSW, L"",
                           UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, IDC_NEAR_SPIN);
    SendMessageW(state.nearSpin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(state.nearEdit), 0);
    SendMessageW(state.nearSpin, UDM_SETRANGE32, 0, 100000);
    state.results = child(state, WC_LISTVIEWW, L"",
                          WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, IDC_RESULTS);
    ListView_SetExtendedListViewStyle(state.results, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    addResultColumns(state);
    state.preview = child(state, kPreviewClassName, L"", WS_BORDER, IDC_PREVIEW);
    state.missing =
        child(state, WC_LISTVIEWW, L"", WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS, IDC_MISSING);
    ListView_SetExtendedListViewStyle(state.missing, LVS_EX_FULLROWSELECT);
    addColumn(state.missing, 0, L"Code point", scaled(state, 80));
    addColumn(state.missing, 1, L"Character", scaled(state, 70));
    addColumn(state.missing, 2, L"Name (missing from the font)", scaled(state, 260));
    state.status = child(state, STATUSCLASSNAMEW, L"", SBARS_SIZEGRIP, IDC_STATUS);
    state.progress =
        CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | PBS_MARQUEE, 0, 0, 0, 0, state.status,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS)), state.instance, nullptr);
    fillBlocks(state);
    state.languageChoices = finder::languagesMatching("");
    fillLanguages(state);
    makeUiFont(state);
}

// ---- Layout -----------------------------------------------------------------------

void place(HWND control, int x, int y, int width, int height) {
    MoveWindow(control, x, y, std::max(width, 0), std::max(height, 0), TRUE);
}

void layOut(State& state) {
    RECT client{};
    GetClientRect(state.window, &client);
    SendMessageW(state.status, WM_SIZE, 0, 0);
    RECT statusRect{};
    GetWindowRect(state.status, &statusRect);
    const int statusHeight = statusRect.bottom - statusRect.top;
    const int width = client.right, height = client.bottom - statusHeight;
    const int margin = scaled(state, 8), label = scaled(state, 18), line = scaled(state, 23);
    const int left = scaled(state, 250);

    int y = margin;
    place(state.textLabel, margin, y, width - 2 * margin, label);
    y += label;
    place(state.text, margin, y, width - 2 * margin, scaled(state, 60));
    y += scaled(state, 60) + margin;
    const int top = y;

    // The left column: language, blocks, then match and near misses at its foot.
    place(state.languageLabel, margin, y, left, label);
    y += label;
    place(state.language, margin, y, left, line);
    y += line + scaled(state, 2);
    place(state.languageList, margin, y, left, scaled(state, 110));
    y += scaled(state, 110) + margin;
    place(state.blocksLabel, margin, y, left, label);
    y += label;
    const int foot = height - margin - 2 * (line + scaled(state, 4));
    place(state.blocks, margin, y, left, foot - y - margin);
    ListView_SetColumnWidth(state.blocks, 0, left - scaled(state, 24));
    const int half = left / 2;
    place(state.matchLabel, margin, foot + scaled(state, 3), half, label);
    place(state.match, margin + half, foot, left - half, scaled(state, 200));
    const int nearY = foot + line + scaled(state, 4);
    place(state.nearLabel, margin, nearY + scaled(state, 3), half, label);
    place(state.nearEdit, margin + half, nearY, left - half - scaled(state, 18), line);
    SendMessageW(state.nearSpin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(state.nearEdit), 0);

    // The right: the fonts, then the preview and what the font lacks.
    const int x = margin + left + margin, rightWidth = width - x - margin;
    const int listHeight = (height - top - margin) * 3 / 5;
    place(state.results, x, top, rightWidth, listHeight);
    const int lowerY = top + listHeight + margin, lowerHeight = height - lowerY - margin;
    place(state.preview, x, lowerY, rightWidth / 2, lowerHeight);
    place(state.missing, x + rightWidth / 2 + margin, lowerY, rightWidth - rightWidth / 2 - margin, lowerHeight);

    const int problemsWidth = scaled(state, 150);
    const int parts[] = {std::max(width - problemsWidth, 1), -1};
    SendMessageW(state.status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    RECT first{};
    SendMessageW(state.status, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&first));
    place(state.progress, first.right - scaled(state, 160), first.top + 2, scaled(state, 150),
          first.bottom - first.top - 4);
}

// ---- The answer -------------------------------------------------------------------

void setStatus(State& state, const std::string& text, int part = 0) {
    const auto line = wide(text);
    SendMessageW(state.status, SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(line.c_str()));
}

void showSortArrow(State& state) {
    HWND header = ListView_GetHeader(state.results);
    for (std::size_t i = 0; i < finder::kColumnCount; ++i) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, static_cast<int>(i), &item);
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (static_cast<finder::Column>(i) == state.sortColumn) item.fmt |= state.ascending ? HDF_SORTUP : HDF_SORTDOWN;
        Header_SetItem(header, static_cast<int>(i), &item);
    }
}

std::vector<std::size_t> selectedRows(const State& state) {
    std::vector<std::size_t> selected;
    for (int at = ListView_GetNextItem(state.results, -1, LVNI_SELECTED); at >= 0;
         at = ListView_GetNextItem(state.results, at, LVNI_SELECTED)) {
        selected.push_back(static_cast<std::size_t>(at));
    }
    return selected;
}

void dropPreviewFont(State& state) {
    if (state.previewFont) DeleteObject(state.previewFont);
    state.previewFont = nullptr;
    if (!state.previewFile.empty()) RemoveFontResourceExW(state.previewFile.c_str(), FR_PRIVATE, nullptr);
    state.previewFile.clear();
}

// The selected face's font for the preview: its file added for this process
// alone, and the font asked for by the face's full name, which also finds a
// member of a collection.
void loadPreviewFont(State& state, const finder::Row& row) {
    dropPreviewFont(state);
    const auto file = wide(row.directory.empty() ? row.file : row.directory + "\\" + row.file);
    if (AddFontResourceExW(file.c_str(), FR_PRIVATE, nullptr) > 0) state.previewFile = file;
    LOGFONTW font{};
    font.lfHeight = -MulDiv(kPreviewPointSize, static_cast<int>(state.dpi), 72);
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(font.lfFaceName, wide(row.name).c_str(), LF_FACESIZE);
    state.previewFont = CreateFontIndirectW(&font);
}

void fillMissing(State& state, const inventory::CatalogFace* face) {
    SendMessageW(state.missing, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(state.missing);
    if (face) {
        const auto missing = finder::missingCharacters(*face, state.query, kMissingListed);
        for (std::size_t i = 0; i < missing.size(); ++i) {
            const auto c = missing[i];
            auto label = wide(finder::codePointLabel(c));
            // A combining mark is shown on a dotted circle, as charts show it.
            auto shown = (coverage::isNonspacingMark(c) ? std::wstring(L"\u25CC") : std::wstring()) + utf16Of(c);
            auto name = wide(finder::characterName(c));
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(i);
            item.pszText = label.data();
            ListView_InsertItem(state.missing, &item);
            ListView_SetItemText(state.missing, static_cast<int>(i), 1, shown.data());
            ListView_SetItemText(state.missing, static_cast<int>(i), 2, name.data());
        }
    }
    SendMessageW(state.missing, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(state.missing, nullptr, TRUE);
}

void showSelection(State& state) {
    const int focused = ListView_GetNextItem(state.results, -1, LVNI_SELECTED);
    if (focused < 0 || static_cast<std::size_t>(focused) >= state.rows.size()) {
        state.previewFace.reset();
        dropPreviewFont(state);
        fillMissing(state, nullptr);
    } else {
        const auto& row = state.rows[static_cast<std::size_t>(focused)];
        if (state.previewFace != row.face) {
            state.previewFace = row.face;
            loadPreviewFont(state, row);
        }
        fillMissing(state, &state.catalog->faces[row.face]);
    }
    InvalidateRect(state.preview, nullptr, TRUE);
}

void readQuery(State& state) {
    const auto text = windowText(state.text);
    state.query.text.assign(text.begin(), text.end());
    state.query.languages.clear();
    if (state.chosenLanguage) state.query.languages.push_back(*state.chosenLanguage);
    state.query.blocks.clear();
    for (int i = 0, count = ListView_GetItemCount(state.blocks); i < count; ++i) {
        if (ListView_GetCheckState(state.blocks, i)) state.query.blocks.push_back(static_cast<std::size_t>(i));
    }
    constexpr coverage::MatchMode kModes[] = {coverage::MatchMode::covered, coverage::MatchMode::declared,
                                              coverage::MatchMode::both};
    const auto mode = SendMessageW(state.match, CB_GETCURSEL, 0, 0);
    state.query.match = mode >= 0 && mode < 3 ? kModes[mode] : coverage::MatchMode::covered;
    BOOL translated = FALSE;
    const UINT nearMisses = GetDlgItemInt(state.window, IDC_NEAR, &translated, FALSE);
    state.query.near = translated && nearMisses > 0 ? std::optional<std::uint32_t>(nearMisses) : std::nullopt;
}

// Measures every face against the controls' question and shows the rows,
// keeping the selected face selected when it is still among them.
void recompute(State& state) {
    if (state.filling) return;
    readQuery(state);
    if (!state.catalog) return;
    const auto keep = state.previewFace;
    state.rows = finder::answerQuery(*state.catalog, state.query);
    finder::sortRows(state.rows, state.sortColumn, state.ascending);
    state.filling = true;
    ListView_SetItemState(state.results, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(state.results, static_cast<int>(state.rows.size()), 0);
    for (std::size_t i = 0; keep && i < state.rows.size(); ++i) {
        if (state.rows[i].face != *keep) continue;
        ListView_SetItemState(state.results, static_cast<int>(i), LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(state.results, static_cast<int>(i), FALSE);
    }
    state.filling = false;
    InvalidateRect(state.results, nullptr, FALSE);
    setStatus(state, finder::statusText(state.rows.size(), state.catalog->faces.size(), state.query));
    showSelection(state);
}

// ---- Reading the fonts ------------------------------------------------------------

DWORD WINAPI readCatalog(void* parameter) {
    std::unique_ptr<LoadJob> job(static_cast<LoadJob*>(parameter));
    auto result = std::make_unique<LoadResult>();
    result->sources = finder::defaultSources();
    result->sources.added = job->sources.added;
    result->catalog =
        std::make_unique<inventory::FontCatalog>(inventory::buildCatalog(finder::catalogRequestOf(result->sources)));
    if (PostMessageW(job->window, kCatalogRead, 0, reinterpret_cast<LPARAM>(result.get()))) result.release();
    return 0;
}

void startReading(State& state) {
    if (state.loading) {
        state.readAgain = true;
        return;
    }
    auto job = std::make_unique<LoadJob>();
    job->window = state.window;
    job->sources = state.sources;
    HANDLE thread = CreateThread(nullptr, 0, readCatalog, job.get(), 0, nullptr);
    if (!thread) {
        setStatus(state, "The fonts could not be read: no thread could be started.");
        return;
    }
    job.release();
    CloseHandle(thread);
    state.loading = true;
    setStatus(state, "Reading the fonts...");
    SetTimer(state.window, kProgressTimer, kProgressDelayMs, nullptr);
}

void onCatalogRead(State& state, LoadResult* arrived) {
    std::unique_ptr<LoadResult> result(arrived);
    state.loading = false;
    KillTimer(state.window, kProgressTimer);
    SendMessageW(state.progress, PBM_SETMARQUEE, FALSE, 0);
    ShowWindow(state.progress, SW_HIDE);
    state.previewFace.reset();
    dropPreviewFont(state);
    // The folders added while the fonts were read stay, and are read next.
    auto added = std::move(state.sources.added);
    state.sources = std::move(result->sources);
    state.sources.added = std::move(added);
    state.catalog = std::move(result->catalog);
    state.problems = finder::problemNotes(*state.catalog, state.sources);
    setStatus(state, "Problems: " + std::to_string(state.problems.size()), 1);
    recompute(state);
    if (state.readAgain) {
        state.readAgain = false;
        startReading(state);
    }
}

void onProgressTimer(State& state) {
    KillTimer(state.window, kProgressTimer);
    if (!state.loading) return;
    ShowWindow(state.progress, SW_SHOW);
    SendMessageW(state.progress, PBM_SETMARQUEE, TRUE, 30);
}

// ---- Commands ---------------------------------------------------------------------

bool writeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    return CloseHandle(file) && ok;
}

bool exportRows(State& state, const std::wstring& path, bool jsonLines) {
    if (!state.catalog) return false;
    return writeFile(path, jsonLines ? finder::jsonLinesOf(*state.catalog, state.rows) : finder::csvOf(state.rows));
}

void onExport(State& state) {
    wchar_t path[MAX_PATH] = L"fonts.csv";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = state.window;
    dialog.lpstrFilter = L"CSV (*.csv)\0*.csv\0JSON Lines (*.jsonl)\0*.jsonl\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = L"csv";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog)) return;
    if (!exportRows(state, path, dialog.nFilterIndex == 2)) {
        MessageBoxW(state.window, (L"Could not write " + std::wstring(path)).c_str(), kWindowTitle, MB_ICONERROR);
    }
}

void addFolder(State& state, const std::wstring& folder) {
    state.sources.added.push_back(utf8(folder));
    startReading(state);
}

void onAddFolder(State& state) {
    BROWSEINFOW browse{};
    browse.hwndOwner = state.window;
    browse.lpszTitle = L"A folder of fonts to read with its subfolders";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (!chosen) return;
    wchar_t path[MAX_PATH] = L"";
    const bool got = SHGetPathFromIDListW(chosen, path);
    CoTaskMemFree(chosen);
    if (got) addFolder(state, path);
}

void putOnClipboard(HWND window, const std::wstring& text) {
    if (!OpenClipboard(window)) return;
    EmptyClipboard();
    const auto bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = GlobalLock(memory)) {
            CopyMemory(target, text.c_str(), bytes);
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

bool isEdit(HWND control) {
    wchar_t name[16] = L"";
    GetClassNameW(control, name, 16);
    return lstrcmpiW(name, L"Edit") == 0;
}

void onCopy(State& state) {
    HWND focus = GetFocus();
    if (focus != state.results && isEdit(focus)) {
        SendMessageW(focus, WM_COPY, 0, 0);
        return;
    }
    const auto text = finder::clipboardTextOf(state.rows, selectedRows(state));
    if (!text.empty()) putOnClipboard(state.window, wide(text));
}

void onSelectAll(State& state) {
    HWND focus = GetFocus();
    if (focus != state.results && isEdit(focus)) {
        SendMessageW(focus, EM_SETSEL, 0, -1);
        return;
    }
    ListView_SetItemState(state.results, -1, LVIS_SELECTED, LVIS_SELECTED);
}

void onProblems(State& state) {
    std::string text = state.problems.empty() ? "Every font was read." : "";
    for (std::size_t i = 0; i < state.problems.size() && i < kProblemsShown; ++i) text += state.problems[i] + "\n";
    if (state.problems.size() > kProblemsShown)
        text += "... and " + std::to_string(state.problems.size() - kProblemsShown) + " more";
    MessageBoxW(state.window, wide(text).c_str(), L"Problems", MB_ICONINFORMATION);
}

void onLanguageTyped(State& state) {
    const auto typed = utf8(windowText(state.language));
    state.languageChoices = finder::languagesMatching(typed);
    if (const auto named = coverage::findLanguage(typed)) state.chosenLanguage = named;
    fillLanguages(state);
    recompute(state);
}

void onLanguagePicked(State& state) {
    if (state.filling) return;
    const auto line = SendMessageW(state.languageList, LB_GETCURSEL, 0, 0);
    if (line == LB_ERR) return;
    state.chosenLanguage = line == 0
                               ? std::nullopt
                               : std::optional<std::size_t>(state.languageChoices[static_cast<std::size_t>(line - 1)]);
    recompute(state);
}

void onColumnClick(State& state, int column) {
    const auto clicked = static_cast<finder::Column>(column);
    state.ascending = clicked == state.sortColumn ? !state.ascending : true;
    state.sortColumn = clicked;
    showSortArrow(state);
    recompute(state);
}

void onCommand(State& state, int id, int code) {
    if (id >= IDM_SORT_FIRST && id < IDM_SORT_FIRST + static_cast<int>(finder::kColumnCount)) {
        return onColumnClick(state, id - IDM_SORT_FIRST);
    }
    switch (id) {
        case IDM_ADD_FOLDER:
            return onAddFolder(state);
        case IDM_EXPORT:
            return onExport(state);
        case IDM_REREAD:
            return startReading(state);
        case IDM_EXIT:
            DestroyWindow(state.window);
            return;
        case IDM_COPY:
            return onCopy(state);
        case IDM_SELECT_ALL:
            return onSelectAll(state);
        case IDM_PROBLEMS:
            return onProblems(state);
        case IDM_ABOUT:
            MessageBoxW(state.window, L"Meldrove Finder, version " MELDROVE_VERSION, kWindowTitle, MB_ICONINFORMATION);
            return;
        case IDC_TEXT:
        case IDC_NEAR:
            if (code == EN_CHANGE) recompute(state);
            return;
        case IDC_LANGUAGE:
            if (code == EN_CHANGE) onLanguageTyped(state);
            return;
        case IDC_LANGUAGE_LIST:
            if (code == LBN_SELCHANGE) onLanguagePicked(state);
            return;
        case IDC_MATCH:
            if (code == CBN_SELCHANGE) recompute(state);
            return;
    }
}

// ---- Notifications ----------------------------------------------------------------

void onResultText(State& state, NMLVDISPINFOW& info) {
    if (!(info.item.mask & LVIF_TEXT) || info.item.iItem < 0) return;
    const auto row = static_cast<std::size_t>(info.item.iItem);
    if (row >= state.rows.size() || info.item.iSubItem < 0 ||
        static_cast<std::size_t>(info.item.iSubItem) >= finder::kColumnCount) {
        return;
    }
    state.cell = wide(finder::cellText(state.rows[row], static_cast<finder::Column>(info.item.iSubItem)));
    if (info.item.pszText && info.item.cchTextMax > 0)
        lstrcpynW(info.item.pszText, state.cell.c_str(), info.item.cchTextMax);
}

LRESULT onNotify(State& state, NMHDR& header) {
    if (header.idFrom == IDC_RESULTS) {
        switch (header.code) {
            case LVN_GETDISPINFOW:
                onResultText(state, reinterpret_cast<NMLVDISPINFOW&>(header));
                return 0;
            case LVN_COLUMNCLICK:
                onColumnClick(state, reinterpret_cast<NMLISTVIEW&>(header).iSubItem);
                return 0;
            case LVN_ITEMCHANGED:
            case LVN_ODSTATECHANGED:
                if (!state.filling) showSelection(state);
                return 0;
        }
    } else if (header.idFrom == IDC_BLOCKS && header.code == LVN_ITEMCHANGED) {
        const auto& change = reinterpret_cast<NMLISTVIEW&>(header);
        if ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) recompute(state);
    } else if (header.idFrom == IDC_STATUS && header.code == NM_CLICK) {
        onProblems(state);
    }
    return 0;
}

// ---- The preview ------------------------------------------------------------------

void paintPreview(HWND preview) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(preview, &paint);
    RECT area{};
    GetClientRect(preview, &area);
    FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
    State* state = stateOf(GetParent(preview));
    if (state) {
        InflateRect(&area, -scaled(*state, 8), -scaled(*state, 6));
        SetBkMode(dc, TRANSPARENT);
        const bool chosen = state->previewFace && state->previewFont;
        const auto text =
            chosen ? windowText(state->text) : std::wstring(L"Choose a font in the list to see the text in it.");
        SetTextColor(dc, GetSysColor(chosen ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
        HGDIOBJ old = SelectObject(dc, chosen ? state->previewFont : state->uiFont);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
        SelectObject(dc, old);
    }
    EndPaint(preview, &paint);
}

LRESULT CALLBACK previewProc(HWND preview, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        paintPreview(preview);
        return 0;
    }
    if (message == WM_ERASEBKGND) return 1;
    return DefWindowProcW(preview, message, wParam, lParam);
}

// ---- The window -------------------------------------------------------------------

LRESULT onCopyData(State& state, const COPYDATASTRUCT& data) {
    const auto units = data.cbData / sizeof(wchar_t);
    if (units == 0 || !data.lpData) return 0;
    std::wstring path(static_cast<const wchar_t*>(data.lpData), units);
    path.resize(std::min(path.size(), path.find(L'\0')));
    if (path.empty()) return 0;
    switch (data.dwData) {
        case FINDER_COPYDATA_EXPORT_CSV:
            return exportRows(state, path, false) ? 1 : 0;
        case FINDER_COPYDATA_EXPORT_JSON_LINES:
            return exportRows(state, path, true) ? 1 : 0;
        case FINDER_COPYDATA_ADD_FOLDER:
            addFolder(state, path);
            return 1;
    }
    return 0;
}

void onDpiChanged(State& state, UINT dpi, const RECT& suggested) {
    state.dpi = dpi;
    makeUiFont(state);
    SetWindowPos(state.window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (state.previewFace && *state.previewFace < state.catalog->faces.size()) {
        state.previewFace.reset();
        showSelection(state);
    }
}

void onDestroy(State& state) {
    savePlacement(state.window);
    dropPreviewFont(state);
    if (state.uiFont) DeleteObject(state.uiFont);
    PostQuitMessage(0);
}

LRESULT CALLBACK mainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    State* state = stateOf(window);
    if (message == WM_NCCREATE) {
        auto* created = new State;
        created->instance = reinterpret_cast<CREATESTRUCTW*>(lParam)->hInstance;
        created->window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (!state) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_CREATE:
            state->dpi = dpiOf(window);
            createControls(*state);
            showSortArrow(*state);
            startReading(*state);
            return 0;
        case WM_SIZE:
            layOut(*state);
            return 0;
        case WM_GETMINMAXINFO:
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {scaled(*state, 640), scaled(*state, 420)};
            return 0;
        case WM_COMMAND:
            onCommand(*state, LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_NOTIFY:
            return onNotify(*state, *reinterpret_cast<NMHDR*>(lParam));
        case WM_TIMER:
            if (wParam == kProgressTimer) onProgressTimer(*state);
            return 0;
        case kCatalogRead:
            onCatalogRead(*state, reinterpret_cast<LoadResult*>(lParam));
            return 0;
        case WM_COPYDATA:
            return onCopyData(*state, *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_DPICHANGED:
            onDpiChanged(*state, HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_DESTROY:
            onDestroy(*state);
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            delete state;
            return DefWindowProcW(window, message, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool registerClasses(HINSTANCE instance) {
    WNDCLASSEXW main{};
    main.cbSize = sizeof main;
    main.lpfnWndProc = mainProc;
    main.hInstance = instance;
    main.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_FINDER));
    main.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_FINDER), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    main.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    main.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    main.lpszMenuName = MAKEINTRESOURCEW(IDR_FINDER_MENU);
    main.lpszClassName = kClassName;
    WNDCLASSEXW preview{};
    preview.cbSize = sizeof preview;
    preview.lpfnWndProc = previewProc;
    preview.hInstance = instance;
    preview.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    preview.lpszClassName = kPreviewClassName;
    return RegisterClassExW(&main) && RegisterClassExW(&preview);
}

HWND createMainWindow(HINSTANCE instance, int showCommand) {
    // WS_EX_CONTROLPARENT: Tab moves through the controls, as in a dialog.
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 1000, 680, nullptr, nullptr, instance, nullptr);
    if (!window) return nullptr;
    if (auto placement = savedPlacement()) {
        if (placement->showCmd != SW_SHOWMAXIMIZED) placement->showCmd = static_cast<UINT>(showCommand);
        SetWindowPlacement(window, &*placement);
    } else {
        ShowWindow(window, showCommand);
    }
    UpdateWindow(window);
    SetFocus(GetDlgItem(window, IDC_TEXT));
    return window;
}

}  // namespace finder::win32
