#include "json_util.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "json_builder.h"

namespace {

TEST(JsonMember, MissingKeyOrNonObjectReadsNull) {
    const value doc = {{"a", 1}, {"b", {{"c", "x"}}}};
    struct Case {
        const char* name;
        value v;
        const char* key;
        value expected;
    };
    const Case cases[] = {
        {"present", doc, "a", 1},           {"nested object", doc, "b", {{"c", "x"}}},
        {"missing key", doc, "z", nullptr}, {"array", value::array({1, 2}), "a", nullptr},
        {"string", "a", "a", nullptr},      {"null", nullptr, "a", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(json::member(c.v, c.key), c.expected);
    }
    // Chained access through a missing level stays null.
    EXPECT_TRUE(json::member(json::member(doc, "zz"), "c").is_null());
    EXPECT_EQ(json::member(json::member(doc, "b"), "c"), "x");
}

TEST(JsonNumbers, ConversionRules) {
    struct Case {
        const char* name;
        value v;
        int64_t asInt64;
        int32_t asInt;
        uint32_t asUInt;
    };
    const int64_t kMax = std::numeric_limits<int64_t>::max();
    const int64_t kMin = std::numeric_limits<int64_t>::min();
    const Case cases[] = {
        {"true", true, 1, 1, 1},
        {"false", false, 0, 0, 0},
        {"integer", 42, 42, 42, 42},
        {"negative", -7, -7, -7, 0xFFFFFFF9u},
        {"float truncates", 3.9, 3, 3, 3},
        {"negative float truncates toward zero", -3.9, -3, -3, 0xFFFFFFFDu},
        {"huge float clamps", 1e300, kMax, -1, 0xFFFFFFFFu},
        {"huge negative float clamps", -1e300, kMin, 0, 0},
        {"unsigned beyond int64", std::numeric_limits<uint64_t>::max(), -1, -1, 0xFFFFFFFFu},
        {"hex text", "0x3C", 60, 60, 60},
        {"hex text upper", "0X1F", 31, 31, 31},
        {"octal text", "017", 15, 15, 15},
        {"decimal text", "123", 123, 123, 123},
        {"negative text", "-1", -1, -1, 0xFFFFFFFFu},
        {"full unsigned text", "0xFFFFFFFF", 0xFFFFFFFFll, -1, 0xFFFFFFFFu},
        {"leading digits", "12abc", 12, 12, 12},
        {"no digits", "abc", 0, 0, 0},
        {"empty text", "", 0, 0, 0},
        {"null", nullptr, 0, 0, 0},
        {"array", value::array({5}), 0, 0, 0},
        {"object", value::object(), 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(json::toInt64(c.v), c.asInt64);
        EXPECT_EQ(json::toInt(c.v), c.asInt);
        EXPECT_EQ(json::toUInt(c.v), c.asUInt);
    }
}

TEST(JsonText, ConversionRules) {
    struct Case {
        const char* name;
        value v;
        std::string expected;
    };
    const Case cases[] = {
        {"string as it stands", "smtp.example.org", "smtp.example.org"},
        {"string with quotes", "a \"b\"", "a \"b\""},
        {"true", true, "true"},
        {"false", false, "false"},
        {"integer", 587, "587"},
        {"negative", -2, "-2"},
        {"float", 1.5, "1.5"},
        {"null", nullptr, "null"},
        {"array", value::array({1, "x"}), "[1,\"x\"]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(json::toText(c.v), c.expected);
    }
}

TEST(JsonParse, NeverThrowsAndLeavesOutputOnFailure) {
    struct Case {
        const char* name;
        std::string text;
        bool ok;
    };
    const Case cases[] = {
        {"object", R"({"method":"Login","params":{"username":"admin"}})", true},
        {"array", "[1,2,3]", true},
        {"scalar", "17", true},
        {"surrounding blanks", " \n{ } \n", true},
        {"empty", "", false},
        {"truncated", R"({"a":)", false},
        {"trailing garbage", "{} x", false},
        {"single quotes", "{'a':1}", false},
        {"comment", "{} // no", false},
        {"invalid UTF-8 in a string", "[\"\xC3\x28\"]", false},
        {"brackets inside a string do not nest", "[\"" + std::string(5000, '[') + "\"]", true},
        {"escaped quote keeps the string open", R"(["\"[[[", 1])", true},
        {"nested within the limit", std::string(200, '[') + std::string(200, ']'), true},
        {"nested beyond the limit", std::string(100000, '[') + std::string(100000, ']'), false},
        {"nested objects beyond the limit",
         [] {
             std::string s;
             for (int i = 0; i < 1000; ++i) s += "{\"a\":";
             s += "1";
             for (int i = 0; i < 1000; ++i) s += "}";
             return s;
         }(),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        value out = "untouched";
        EXPECT_EQ(json::parse(c.text, out), c.ok);
        if (!c.ok) {
            EXPECT_EQ(out, "untouched");
        }
    }
}

TEST(JsonParse, KeepsMemberOrderAndUtf8) {
    value out;
    ASSERT_TRUE(json::parse(R"({"z":1,"a":2,"name":"Gr\u00fc\u00dfe","raw":"€"})", out));
    EXPECT_EQ(json::dump(out), R"({"z":1,"a":2,"name":"Grüße","raw":"€"})");
}

// The reader builds objects itself; what it builds must be what the library's own reader
// builds, repeated keys included (the later value wins, in the earlier one's place).
TEST(JsonParse, BuildsWhatTheLibraryReaderBuilds) {
    std::string many = "{";
    for (int i = 0; i < 40; ++i)
        many += "\"k" + std::to_string(i % 25) + "\":" + std::to_string(i) + ",";
    many += "\"end\":[{\"x\":1,\"x\":2},[],{}]}";
    const std::string cases[] = {
        R"({"a":1,"b":2,"a":3})",
        R"({"a":{"b":1},"a":[1,2]})",
        R"([{"a":null,"b":true},{"a":1.5e300,"c":-7,"d":18446744073709551615}])",
        many,
    };
    for (const auto& text : cases) {
        SCOPED_TRACE(text);
        value mine;
        ASSERT_TRUE(json::parse(text, mine));
        EXPECT_EQ(json::dump(mine), value::parse(text).dump());
    }
}

TEST(JsonParse, RefusesDocumentsPastTheValueLimit) {
    struct Case {
        const char* name;
        size_t members;
        bool ok;
    };
    // The root object counts as one value, each member as another.
    const Case cases[] = {
        {"at the limit", json::kMaxValues - 1, true},
        {"one past the limit", json::kMaxValues, false},
        {"far past the limit", 10 * json::kMaxValues, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = "{";
        for (size_t i = 0; i < c.members; ++i) {
            if (i > 0) text += ',';
            text += "\"m" + std::to_string(i) + "\":0";
        }
        text += "}";
        value out = "untouched";
        EXPECT_EQ(json::parse(text, out), c.ok);
        if (c.ok) {
            EXPECT_EQ(out.size(), c.members);
            EXPECT_EQ(out.back(), 0);
            EXPECT_EQ(json::member(out, "m" + std::to_string(c.members - 1)), 0);
        } else {
            EXPECT_EQ(out, "untouched");
        }
    }
    // Elements of arrays count the same way.
    std::string list = "[0";
    for (size_t i = 1; i < json::kMaxValues; ++i) list += ",0";
    list += "]";
    value out;
    EXPECT_FALSE(json::parse(list, out));
    list.resize(list.size() - 3);  // one element less
    list += "]";
    EXPECT_TRUE(json::parse(list, out));
    EXPECT_EQ(out.size(), json::kMaxValues - 1);
    list.insert(list.size() - 1, ",x");
    EXPECT_FALSE(json::parse(list, out));
}

TEST(JsonDump, InvalidUtf8IsReplacedNotThrown) {
    // Controller model strings may hold any bytes.
    value v = {{"model", std::string("ST\xff\xfe"
                                     "1000")},
               {"ok", "plain"}};
    std::string text = json::dump(v);
    EXPECT_EQ(text,
              "{\"model\":\"ST\xEF\xBF\xBD\xEF\xBF\xBD"
              "1000\",\"ok\":\"plain\"}");
    value back;
    EXPECT_TRUE(json::parse(text, back));

    std::string pretty = json::dump(v, 4);
    EXPECT_NE(pretty.find("\n    \"ok\": \"plain\""), std::string::npos) << pretty;
}

}  // namespace
