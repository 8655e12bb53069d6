#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdio.h>

#include "MemoryStores.h"
#include "TraceCommand.h"
#include "TraceWriter.h"

namespace pelmora {
namespace {

std::vector<std::string> readLines(std::FILE* in) {
    std::vector<std::string> lines;
    std::string line;
    for (int c = std::fgetc(in); c != EOF; c = std::fgetc(in)) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    EXPECT_TRUE(line.empty()) << "the last line lacks its newline";
    return lines;
}

std::vector<std::string> traceLines(const ProgramOptions& options, testing::MemoryStores& stores) {
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(runTrace(options, stores, out), 0);
    std::rewind(out);
    std::vector<std::string> lines = readLines(out);
    std::fclose(out);
    return lines;
}

ProgramOptions smallTrace() {
    ProgramOptions options;
    options.mode = ProgramMode::Trace;
    options.frames = 1;
    options.width = 200;
    options.height = 100;
    options.seed = 1U;
    options.draw = true;
    return options;
}

testing::MemoryStores storesWithTwoLabelledSpheres() {
    testing::MemoryStores stores;
    stores.module("pelmora").saved["numberOfThings"] = std::int64_t{2};
    stores.module("pelmora").saved["labelsEnabled"] = true;
    return stores;
}

// Runs the installed program as a user would, with a fresh config folder.
std::vector<std::string> programLines(const std::string& arguments) {
    const std::string command = "XDG_CONFIG_HOME=/nonexistent/pelmora-test " PELMORA_BINARY " " + arguments;
    std::FILE* out = ::popen(command.c_str(), "r");
    std::vector<std::string> lines = readLines(out);
    EXPECT_EQ(::pclose(out), 0) << command;
    return lines;
}

TEST(TraceNumbers, ShortestRoundTripAtTheValuesOwnPrecision) {
    EXPECT_EQ(TraceWriter::number(0.1F), "0.1");
    EXPECT_EQ(TraceWriter::number(static_cast<double>(0.1F)), "0.10000000149011612");
    EXPECT_EQ(TraceWriter::number(0.03), "0.03");
    EXPECT_EQ(TraceWriter::number(400.0), "400");
    EXPECT_EQ(TraceWriter::number(-0.0F), "-0");
    EXPECT_EQ(TraceWriter::number(std::numeric_limits<float>::quiet_NaN()), "\"NaN\"");
    EXPECT_EQ(TraceWriter::number(std::numeric_limits<double>::infinity()), "\"Infinity\"");
    EXPECT_EQ(TraceWriter::number(-std::numeric_limits<float>::infinity()), "\"-Infinity\"");
    EXPECT_EQ(TraceWriter::number(1e-45F), "1e-45");
}

TEST(TraceNumbers, TextIsEscapedForJson) {
    EXPECT_EQ(TraceWriter::quoted("+2"), "\"+2\"");
    EXPECT_EQ(TraceWriter::quoted("a\"b\\c\n"), "\"a\\\"b\\\\c\\u000a\"");
}

// The format is a contract that users compare runs with: any change to it
// shows up here.
TEST(TraceFormat, GoldenLinesForASeededRun) {
    const auto lines =
        programLines("trace --frames 1 --size 200x100 --seed 1 --draw -numberOfThings 2 -labelsEnabled YES");
    ASSERT_EQ(lines.size(), 2U);
    std::ifstream golden(PELMORA_TEST_DATA "/trace-seed1.jsonl");
    ASSERT_TRUE(golden) << "missing golden file";
    std::string expected;
    for (const std::string& line : lines) {
        std::getline(golden, expected);
        EXPECT_EQ(line, expected);
    }
}

TEST(TraceFormat, LinesHoldTheStateAfterCreationAndEachFrame) {
    testing::MemoryStores stores = storesWithTwoLabelledSpheres();
    ProgramOptions options = smallTrace();
    options.frames = 3;
    options.draw = false;
    const auto lines = traceLines(options, stores);
    ASSERT_EQ(lines.size(), 4U);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        EXPECT_EQ(lines[k].rfind("{\"frame\":" + std::to_string(k) + ",\"bounds\":[0,0,200,100],\"spheres\":[{", 0),
                  0U);
        EXPECT_EQ(lines[k].find("\"draw\""), std::string::npos);
    }
    EXPECT_TRUE(stores.module("pelmora").writes.empty());  // a trace saves nothing
}

TEST(TraceFormat, UnseededRunsRepeatThemselves) {
    // Without --seed the generator stays in its starting state.
    const auto first = programLines("trace --frames 5 --size 300x200");
    ASSERT_EQ(first.size(), 6U);
    EXPECT_EQ(programLines("trace --frames 5 --size 300x200"), first);
}

TEST(TraceFormat, AFullDiskIsAnError) {
    std::FILE* full = std::fopen("/dev/full", "w");
    if (full == nullptr) {
        GTEST_SKIP() << "no /dev/full here";
    }
    testing::MemoryStores stores;
    ProgramOptions options = smallTrace();
    options.frames = 200;
    EXPECT_EQ(runTrace(options, stores, full), 1);
    std::fclose(full);
}

}  // namespace
}  // namespace pelmora
