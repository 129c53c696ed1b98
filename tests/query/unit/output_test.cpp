// The tool's standard output: lines buffered into large writes, whole, in
// order, in one encoding each, and never lost when the process exits.
#include "query/output.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

using query::Output;
using query::TextEncoding;

// An Output whose sink keeps each write it is given.
struct Recorded {
    struct Write {
        std::string bytes;
        TextEncoding encoding;
    };
    std::vector<Write> writes;
    Output out{[this](std::string_view bytes, TextEncoding encoding) {
        writes.push_back({std::string(bytes), encoding});
        return query::WriteOutcome::written;
    }};
};

TEST(TextOutput, ThousandLinesGoOutInAFewLargeWrites) {
    Recorded recorded;
    std::string expected;
    for (int i = 0; i < 1000; ++i) {
        const auto line =
            "Noto Sans Condensed Extra Bold Italic " + std::to_string(i) + "   (NotoSansCondensed-ExtraBoldItalic.ttf)";
        recorded.out.line(line, TextEncoding::utf8);
        expected += line + "\n";
    }
    ASSERT_GT(expected.size(), Output::kCapacity);
    EXPECT_EQ(recorded.writes.size(), 1u) << "wrote before its buffer was full";
    recorded.out.flush();
    EXPECT_EQ(recorded.writes.size(), 2u);
    std::string written;
    for (const auto& write : recorded.writes) written += write.bytes;
    EXPECT_EQ(written, expected);
}

TEST(TextOutput, FlushesWholeWritesInOneEncodingEachAndNothingEmpty) {
    Recorded recorded;
    const std::string euros = [] {
        std::string text;
        while (text.size() < Output::kCapacity - 1) text += "\u20AC";
        return text;
    }();
    recorded.out.write("ab", TextEncoding::utf8);
    // Split after "ab", a console would convert half a euro sign at the end
    // of one buffer and the rest at the start of the next.
    recorded.out.write(euros, TextEncoding::utf8);
    recorded.out.line("Caf\xE9", TextEncoding::ansi);
    recorded.out.flush();
    recorded.out.flush();
    ASSERT_EQ(recorded.writes.size(), 3u);
    EXPECT_EQ(recorded.writes[0].bytes, "ab");
    EXPECT_EQ(recorded.writes[1].bytes, euros);
    EXPECT_EQ(recorded.writes[1].encoding, TextEncoding::utf8);
    EXPECT_EQ(recorded.writes[2].bytes, "Caf\xE9\n");
    EXPECT_EQ(recorded.writes[2].encoding, TextEncoding::ansi);
}

TEST(TextOutput, FailedSinkIsReportedAndNotCalledAgain) {
    for (const auto outcome : {query::WriteOutcome::failed, query::WriteOutcome::closed}) {
        int calls = 0;
        Output out([&](std::string_view, TextEncoding) {
            ++calls;
            return outcome;
        });
        out.line("lost", TextEncoding::bytes);
        EXPECT_FALSE(out.failed());
        out.flush();
        out.line("also lost", TextEncoding::bytes);
        out.flush();
        EXPECT_TRUE(out.failed());
        EXPECT_EQ(out.outcome(), outcome);
        EXPECT_EQ(calls, 1);
    }
}

// A pipe whose reader has gone is told apart from a disk that is full.
TEST(TextOutput, AFileSinkTellsAClosedPipeFromAFailedWrite) {
#ifndef _WIN32
    std::FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(query::fileSink(full)("x", TextEncoding::bytes), query::WriteOutcome::failed);
    std::fclose(full);

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    const auto previous = std::signal(SIGPIPE, SIG_IGN);  // as when a shell ignores it: the write fails with EPIPE
    std::FILE* pipeFile = fdopen(ends[1], "wb");
    EXPECT_EQ(query::fileSink(pipeFile)("x", TextEncoding::bytes), query::WriteOutcome::closed);
    std::fclose(pipeFile);
    std::signal(SIGPIPE, previous);
#endif
    std::FILE* temporary = std::tmpfile();
    ASSERT_NE(temporary, nullptr);
    EXPECT_EQ(query::fileSink(temporary)("x", TextEncoding::bytes), query::WriteOutcome::written);
    std::fclose(temporary);
}

// What standardOutput() printed before the engine's std::exit from deep
// inside reaches the file standard output goes to, "\n" ending each line on
// every system, so that a script reads the same bytes everywhere.
TEST(TextOutputDeathTest, StandardOutputIsFlushedByStdExit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto path = std::filesystem::current_path() / "query_text_exit_output.txt";
    EXPECT_EXIT(
        {
            if (!std::freopen(path.string().c_str(), "wb", stdout)) std::exit(1);
            query::standardOutput().write("printed\n", TextEncoding::bytes);
            query::standardOutput().line("before the exit", TextEncoding::utf8);
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), "");
    std::ifstream file(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    file.close();
    std::filesystem::remove(path);
    EXPECT_EQ(text, "printed\nbefore the exit\n");
}

#ifdef _WIN32
TEST(TextConsole, Utf8BecomesUtf16WithSurrogatePairs) {
    EXPECT_EQ(query::consoleText("Caf\u00E9 \u20AC \U0001F600", TextEncoding::utf8),
              std::wstring(L"Caf\u00E9 \u20AC \xD83D\xDE00"));
    EXPECT_EQ(query::consoleText("Sans", TextEncoding::ansi), L"Sans");
}

TEST(TextArguments, ComeFromTheWideCommandLineNotArgv) {
    const auto arguments = query::utf8Arguments(0, nullptr);
    ASSERT_FALSE(arguments.empty());
    EXPECT_NE(arguments[0].find("query_unit_tests"), std::string::npos) << arguments[0];
}
#endif

}  // namespace
