// Randomised checks of the string helpers against plain reference readings of
// their rules, over an alphabet that is dense in the characters they look for.
// Fixed seed and bounded count; under the native build this runs with ASan/UBSan.
#include <gtest/gtest.h>

#include <random>

#include "platform/error.h"
#include "platform/text.h"

namespace velko {
namespace {

constexpr int kCases = 20000;
constexpr char16_t kAlphabet[] = {u'%', u'1', u'a', u' ', u'\0', u'|', u'\r', u'\n', 0xD800, 0xDC00, 0x65E5};

std::u16string RandomText(std::mt19937& rng, size_t max_length) {
  std::uniform_int_distribution<size_t> length(0, max_length);
  std::uniform_int_distribution<size_t> pick(0, std::size(kAlphabet) - 1);
  std::u16string s(length(rng), u'\0');
  for (auto& c : s) c = kAlphabet[pick(rng)];
  return s;
}

// Every "%1" found scanning left to right from the first character, with the
// scan resuming after each match in the original text.
std::u16string ReferenceReplace(const std::u16string& text, const std::u16string& with) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    if (i + 1 < text.size() && text[i] == u'%' && text[i + 1] == u'1') {
      out += with;
      i += 2;
    } else {
      out += text[i++];
    }
  }
  return out;
}

TEST(TextFuzz, ReplaceAllMatchesTheLeftToRightReading) {
  std::mt19937 rng(20261206);
  for (int i = 0; i < kCases; ++i) {
    const std::u16string text = RandomText(rng, 24), with = RandomText(rng, 6);
    ASSERT_EQ(ReplaceAll(text, u"%1", with), ReferenceReplace(text, with)) << "case " << i;
  }
}

TEST(TextFuzz, StripAndTrimMatchTheirRules) {
  std::mt19937 rng(7);
  for (int i = 0; i < kCases; ++i) {
    const std::u16string text = RandomText(rng, 24);
    std::u16string strip = text.substr(0, text.find(u'\0'));
    ASSERT_EQ(StripAtNull(text), strip) << "case " << i;
    while (!strip.empty() && strip.back() == u' ') strip.pop_back();
    ASSERT_EQ(TrimAtNull(text), strip) << "case " << i;
  }
}

TEST(TextFuzz, Utf8RoundTripsWellFormedText) {
  std::mt19937 rng(11);
  for (int i = 0; i < kCases; ++i) {
    std::u16string text = RandomText(rng, 16);
    // Pair every surrogate so the text is well formed, then it must survive.
    for (size_t k = 0; k < text.size(); ++k) {
      if (text[k] == 0xD800) text.insert(text.begin() + ++k, char16_t(0xDC00));
      else if (text[k] == 0xDC00) text[k] = 0x65E5;
    }
    ASSERT_EQ(FromUtf8(ToUtf8(text)), text) << "case " << i;
  }
}

}  // namespace
}  // namespace velko
