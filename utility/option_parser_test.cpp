#include "option_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int g_flag = 0;

const LongOption kTable[] = {
    {"query", kNoArgument, nullptr, 'Q'},    {"transform", kRequiredArgument, nullptr, 'T'},
    {"transfer", kNoArgument, nullptr, 'X'}, {"abcd", kNoArgument, nullptr, '1'},
    {"ab", kNoArgument, nullptr, '2'},       {"opt", kOptionalArgument, nullptr, 'o'},
    {"flag", kNoArgument, &g_flag, 'F'},     {nullptr, 0, nullptr, 0},
};

constexpr const char* kAny = "<any>";  // the argument is not checked

struct Step {
    int result;
    const char* arg;  // null: no argument; kAny: not checked
    int index;        // g_optIndex afterwards
};

struct Case {
    std::vector<std::string> args;  // after the program name
    const char* shortopts;
    std::vector<Step> steps;
    const LongOption* table = kTable;
};

// Runs the parser over `args` as a fresh process would, checking each step.
void check(const Case& c) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "prog");
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    resetOptionParser();
    for (size_t i = 0; i < c.steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        const Step& s = c.steps[i];
        EXPECT_EQ(getoptLong(static_cast<int>(args.size()), argv.data(), c.shortopts, c.table),
                  s.result);
        if (s.arg == nullptr) {
            EXPECT_EQ(g_optArg, nullptr);
        } else if (s.arg != kAny) {
            EXPECT_STREQ(g_optArg, s.arg);
        }
        EXPECT_EQ(g_optIndex, s.index);
    }
}

std::string describe(const Case& c) {
    std::string text = c.shortopts;
    text += ":";
    for (const std::string& a : c.args) text += " [" + a + "]";
    return text;
}

TEST(OptionParser, Rules) {
    const Case cases[] = {
        // Short options, their arguments and clusters.
        {{"-a", "-b", "x"}, "ab:", {{'a', nullptr, 2}, {'b', "x", 4}, {-1, kAny, 4}}},
        {{"-abx"}, "ab:", {{'a', nullptr, 1}, {'b', "x", 2}, {-1, kAny, 2}}},
        {{"-ab", "x", "y"}, "ab:", {{'a', nullptr, 1}, {'b', "x", 3}, {-1, kAny, 3}}},
        {{"-b"}, "ab:", {{':', kAny, 2}, {-1, kAny, 2}}},
        {{"-ab"}, "ab:", {{'a', nullptr, 1}, {':', kAny, 2}}},
        {{"-z", "-a"}, "ab:", {{'?', kAny, 2}, {'a', nullptr, 3}}},
        {{"-za"}, "ab:", {{'?', kAny, 1}, {'a', nullptr, 2}}},
        {{"-:"}, "a:b", {{'?', kAny, 2}}},
        {{"-b", "-a"}, "ab:", {{'b', "-a", 3}}},  // a required argument may begin with '-'
        // Where parsing stops: never permuted.
        {{"file", "-a"}, "a", {{-1, kAny, 1}, {-1, kAny, 1}}},
        {{"-a", "file", "-a"}, "a", {{'a', nullptr, 2}, {-1, kAny, 2}}},
        {{"-", "-a"}, "a", {{-1, kAny, 1}}},
        {{"--", "-a"}, "a", {{-1, kAny, 2}, {'a', nullptr, 3}}},
        {{}, "a", {{-1, kAny, 1}}},
        // Long options: exact names, prefixes (the first row wins, an exact length at once).
        {{"--query"}, "", {{'Q', kAny, 2}, {-1, kAny, 2}}},
        {{"--q"}, "", {{'Q', kAny, 2}}},
        {{"--trans", "x"}, "", {{'T', "x", 3}}},  // "transform" comes before "transfer"
        {{"--transfer"}, "", {{'X', kAny, 2}}},
        {{"--ab"}, "", {{'2', kAny, 2}}},
        {{"--abc"}, "", {{'1', kAny, 2}}},
        {{"--transform=a=b"}, "", {{'T', "a=b", 2}}},
        {{"--transform="}, "", {{'T', "", 2}}},
        {{"--transform"}, "", {{':', kAny, 2}}},
        {{"--nope"}, "", {{'?', kAny, 2}}},
        {{"--=x"}, "", {{-1, kAny, 2}}},
        {{"--queryx"}, "", {{'?', kAny, 2}}},
        {{"--query"}, "", {{'?', kAny, 2}}, nullptr},  // no table
        // has_arg 0 ignores an inline argument and keeps the earlier one.
        {{"-b", "v", "--query=zzz"}, "b:", {{'b', "v", 3}, {'Q', "v", 4}}},
        // has_arg 2 takes the next argument too, and does without one.
        {{"--opt", "x"}, "", {{'o', "x", 3}}},
        {{"--opt=y"}, "", {{'o', "y", 2}}},
        {{"--opt"}, "", {{'o', nullptr, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(describe(c));
        check(c);
    }
}

TEST(OptionParser, FlagRowStoresItsValue) {
    g_flag = 0;
    check({{"--flag", "--query"}, "", {{0, kAny, 2}, {'Q', kAny, 3}}});
    EXPECT_EQ(g_flag, 'F');
}

// The entry reads "-Q", a command goes on reading the same cluster with its own options.
TEST(OptionParser, ClusterCarriesIntoTheNextOptionString) {
    std::string prog = "prog", cluster = "-2Qap", detail = "4", tail = "-e";
    char* argv[] = {prog.data(), cluster.data(), detail.data(), tail.data(), nullptr};
    resetOptionParser();
    EXPECT_EQ(getoptLong(4, argv, "0123Q", nullptr), '2');
    EXPECT_EQ(getoptLong(4, argv, "0123Q", nullptr), 'Q');
    EXPECT_EQ(g_optIndex, 1);
    EXPECT_EQ(getoptLong(4, argv, "ceap:", nullptr), 'a');
    EXPECT_EQ(getoptLong(4, argv, "ceap:", nullptr), 'p');
    EXPECT_STREQ(g_optArg, "4");
    EXPECT_EQ(getoptLong(4, argv, "ceap:", nullptr), 'e');
    EXPECT_EQ(getoptLong(4, argv, "ceap:", nullptr), -1);
    EXPECT_EQ(g_optIndex, 4);
}

TEST(OptionParser, ResetForgetsACluster) {
    std::string prog = "prog", cluster = "-ab", next = "-c";
    char* argv[] = {prog.data(), cluster.data(), next.data(), nullptr};
    resetOptionParser();
    EXPECT_EQ(getoptLong(3, argv, "abc", nullptr), 'a');
    g_optReset = 1;
    g_optIndex = 2;
    EXPECT_EQ(getoptLong(3, argv, "abc", nullptr), 'c');
}

}  // namespace
