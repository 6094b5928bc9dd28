// Label resolution against the standard's encodings.json, read at run time: every label, in
// any letter case and with ASCII white space around it, names its encoding.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "text/EncodingLabel.h"

namespace qiv::text {
namespace {

// (label, encoding name) for every label in the file.
std::vector<std::pair<std::string, std::string>> standard_labels() {
    std::ifstream file(std::string(QIV_SOURCE_DIR) + "/data/whatwg-encoding/encodings.json");
    const std::string json((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // Each encoding object lists its labels, then its name.
    const std::regex encoding(R"re("labels":\s*\[([^\]]*)\],\s*"name":\s*"([^"]+)")re");
    const std::regex quoted(R"re("([^"]*)")re");
    std::vector<std::pair<std::string, std::string>> labels;
    for (std::sregex_iterator it(json.begin(), json.end(), encoding), end; it != end; ++it) {
        const std::string list = (*it)[1];
        for (std::sregex_iterator label(list.begin(), list.end(), quoted); label != end; ++label) {
            labels.emplace_back((*label)[1], (*it)[2]);
        }
    }
    return labels;
}

std::string uppercase(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

std::string alternate_case(std::string s) {
    for (std::size_t i = 0; i < s.size(); i += 2) {
        if (s[i] >= 'a' && s[i] <= 'z') s[i] = static_cast<char>(s[i] - 'a' + 'A');
    }
    return s;
}

TEST(EncodingLabel, EveryLabelOfTheStandardNamesItsEncoding) {
    const auto labels = standard_labels();
    ASSERT_GE(labels.size(), 200u);  // the file was found and read
    for (const auto& [label, name] : labels) {
        for (const std::string& variant : {label, uppercase(label), alternate_case(label), " " + label,
                                           "\t\n\f\r " + uppercase(label) + " \r\f\n\t"}) {
            const auto encoding = encoding_for_label(variant);
            ASSERT_TRUE(encoding.has_value()) << '"' << variant << '"';
            EXPECT_EQ(encoding_name(*encoding), name) << '"' << variant << '"';
        }
    }
}

TEST(EncodingLabel, EveryEncodingNameLowercasedIsOneOfItsLabels) {
    for (const auto& [label, name] : standard_labels()) {
        const auto encoding = encoding_for_label(name);
        ASSERT_TRUE(encoding.has_value()) << name;
        EXPECT_EQ(encoding_name(*encoding), name);
    }
}

TEST(EncodingLabel, AnythingElseIsNoLabel) {
    for (const char* text : {"", " ", "utf-9", "utf_8", "utf 8", "u tf-8", "utf-8;", "\"utf-8\"", "\vutf-8",
                             "utf-8\v", "\xC2\xA0utf-8", "latin1x", "x-user-defined-",
                             "cseucpkdfmtjapanesex", "unicode-1-1-utf-8-and-more-than-any-label-is-long",
                             "\xEF\xBC\xB5tf-8"}) {
        EXPECT_FALSE(encoding_for_label(text).has_value()) << '"' << text << '"';
    }
    EXPECT_FALSE(encoding_for_label(std::string_view("utf-8\0", 6)).has_value());
    // The longest label still fits once its surrounding white space is gone.
    EXPECT_TRUE(encoding_for_label("\t\t\t\t   cseucpkdfmtjapanese    \n\n").has_value());
}

}  // namespace
}  // namespace qiv::text
