// docs/api.md names exactly the methods of the method table, once each, and every example
// call in it is JSON naming the method it stands under.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "rpc_method.h"

namespace {

struct Doc {
    std::vector<std::string> methods;             // "### " headings, in order
    std::map<std::string, std::string> examples;  // method -> its ```json block
    std::vector<std::string> orphanExamples;      // blocks under no method heading
};

Doc ReadDoc() {
    Doc doc;
    std::ifstream in(API_DOC);
    std::string line, current, block;
    bool inJson = false;
    while (std::getline(in, line)) {
        if (inJson) {
            if (line == "```") {
                inJson = false;
                if (current.empty())
                    doc.orphanExamples.push_back(block);
                else
                    doc.examples[current] += block;
                block.clear();
            } else {
                block += line + "\n";
            }
        } else if (line == "```json") {
            inJson = true;
        } else if (line.rfind("### ", 0) == 0) {
            current = line.substr(4);
            doc.methods.push_back(current);
        } else if (line.rfind("## ", 0) == 0) {
            current.clear();
        }
    }
    return doc;
}

TEST(ApiDoc, NamesExactlyTheMethodsOfTheTable) {
    const Doc doc = ReadDoc();
    ASSERT_FALSE(doc.methods.empty()) << "no method headings in " << API_DOC;
    std::multiset<std::string> documented(doc.methods.begin(), doc.methods.end());
    std::multiset<std::string> table;
    for (size_t i = 0; i < rpcMethodCount; ++i) table.insert(rpcMethods[i].name);
    for (const auto& name : table) {
        EXPECT_EQ(documented.count(name), 1u)
            << name << " documented " << documented.count(name) << " times";
    }
    for (const auto& name : documented) EXPECT_EQ(table.count(name), 1u) << name << " is no method";
    EXPECT_EQ(doc.methods.size(), rpcMethodCount);
}

TEST(ApiDoc, ExamplesAreCallsOfTheirMethod) {
    const Doc doc = ReadDoc();
    EXPECT_TRUE(doc.orphanExamples.empty());
    ASSERT_FALSE(doc.examples.empty());
    for (const auto& [method, text] : doc.examples) {
        SCOPED_TRACE(method);
        const auto call = nlohmann::json::parse(text, nullptr, false);
        ASSERT_FALSE(call.is_discarded()) << text;
        ASSERT_TRUE(call.is_object());
        EXPECT_EQ(call.value("jsonrpc", ""), "2.0");
        EXPECT_EQ(call.value("method", ""), method);
        if (call.contains("params")) {
            EXPECT_TRUE(call["params"].is_object());
        }
    }
}

}  // namespace
