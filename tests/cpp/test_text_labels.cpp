// Label resolution against the standard's encodings.json, read at run time: every label, in
// any letter case and with ASCII white space around it, names its encoding.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string_view>
#include <string>
#include <utility>
#include <vector>

#include "text/EncodingLabel.h"

namespace qiv::text {
namespace {

// The quoted strings of text, in order.
std::vector<std::string> quoted_strings(std::string_view text) {
    std::vector<std::string> out;
    for (std::size_t open = text.find('"'); open != std::string_view::npos; open = text.find('"', open)) {
        const std::size_t close = text.find('"', open + 1);
        out.emplace_back(text.substr(open + 1, close - open - 1));
        open = close + 1;
    }
    return out;
}

// (label, encoding name) for every label in the file: each encoding object lists its labels,
// then its name.
std::vector<std::pair<std::string, std::string>> standard_labels() {
    std::ifstream file(std::string(QIV_SOURCE_DIR) + "/data/whatwg-encoding/encodings.json");
    const std::string json((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::pair<std::string, std::string>> labels;
    for (std::size_t at = json.find("\"labels\""); at != std::string::npos; at = json.find("\"labels\"", at)) {
        const std::size_t open = json.find('[', at), close = json.find(']', open);
        const std::size_t name_key = json.find("\"name\"", close);
        const std::size_t name_end = json.find('\n', name_key);
        const std::string name = quoted_strings(std::string_view(json).substr(name_key, name_end - name_key)).at(1);
        for (const std::string& label : quoted_strings(std::string_view(json).substr(open, close - open))) {
            labels.emplace_back(label, name);
        }
        at = close;
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
