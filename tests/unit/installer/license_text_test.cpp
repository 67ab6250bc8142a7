// The licence agreement's shape: its exact length, CR LF line ends, and the headings a
// reader and the product's owner expect, in order.
#include "installer/license_text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace norvel {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0, end;
  while ((end = text.find("\r\n", start)) != std::string::npos) {
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

TEST(LicenseTextTest, HasTheExactSizeAndLineEnds) {
  const std::string text = kLicenseAgreement;
  EXPECT_EQ(1999u, text.size());
  std::vector<std::string> lines = Lines(text);
  EXPECT_EQ(49u, lines.size());
  EXPECT_EQ("\r\n\r\n", text.substr(text.size() - 4));
  for (const std::string& line : lines) {
    EXPECT_EQ(std::string::npos, line.find_first_of("\r\n\t")) << line;
    // The box does not wrap: every line is readable without scrolling sideways.
    EXPECT_LE(line.size(), 72u) << line;
  }
}

TEST(LicenseTextTest, OpensWithTitleProductAndDisclaimerThenTheSections) {
  std::vector<std::string> lines = Lines(kLicenseAgreement);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ("END USER LICENSE AGREEMENT", lines[0]);
  EXPECT_NE(std::string::npos, lines[1].find("Norvel"));
  EXPECT_NE(std::string::npos, lines[1].find("1.0"));
  EXPECT_EQ("", lines[2]);
  size_t i = 3;
  for (; i < lines.size() && !lines[i].empty(); ++i) {
    for (char c : lines[i]) EXPECT_FALSE(std::islower(static_cast<unsigned char>(c))) << lines[i];
  }
  EXPECT_GT(i, 3u) << "no disclaimer paragraph";

  const std::vector<std::string> headings = {"LICENSE",
                                             "REFUND POLICY",
                                             "SUPPORT AND SUBSCRIPTION SERVICES NOT INCLUDED",
                                             "TERMINATION",
                                             "LIMITED WARRANTY",
                                             "LIMITATION OF LIABILITY",
                                             "CONTACT INFORMATION"};
  for (const std::string& heading : headings) {
    while (i < lines.size() && lines[i] != heading) ++i;
    ASSERT_LT(i, lines.size()) << "missing or out of order: " << heading;
    EXPECT_EQ("", lines[i - 1]) << heading << " follows a blank line";
    EXPECT_FALSE(lines[i + 1].empty()) << heading << " has a body";
  }
}

}  // namespace
}  // namespace norvel
