// Shared by the settings tests, native and under Wine: a private key per test,
// raw access to it through the platform interface, a decorator that counts what
// is left open, and error assertions.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "settings/reg_settings.h"
#include "system/api_support.h"

namespace velko {

// The private helpers of CRegSettings, for their own tests.
class CRegSettingsPeer {
 public:
  static std::u16string BuildKeyPath(const CRegSettings& s, const std::u16string& section) {
    return s.BuildKeyPath(section);
  }
  static std::u16string GetErrorText(const CRegSettings& s, int32_t code) { return s.GetErrorText(code); }
  static std::u16string StringFromPointer(const char16_t* p, bool release) {
    return CRegSettings::StringFromPointer(p, release);
  }
  static std::u16string TrimAtNull(std::u16string_view t) { return CRegSettings::TrimAtNull(t); }
  static std::u16string StripAtNull(std::u16string_view t) { return CRegSettings::StripAtNull(t); }
};

namespace testing {

// Provided by the native and the Wine test files.
std::u16string LocalComputerName();     // the name a local ConnectRegistry accepts
void GiveErrorCodesTexts();             // natively: texts for the codes the tests meet

// The system's one-line text of `code`, from the shared lookup in the same run.
inline std::u16string SystemText(int32_t code) { return GetErrorText(code); }

template <typename F>
void ExpectError(F&& operation, int32_t number, const std::u16string& text, const char* what) {
  try {
    operation();
    ADD_FAILURE() << what << ": no error, expected " << number;
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), number) << what;
    EXPECT_EQ(ToUtf8(e.description()), ToUtf8(text)) << what;
  }
}

// Forwards to another RegistryApi, counts the handles that are open, and can
// cut the rights of every open and create down to KEY_READ, which makes the
// registry itself refuse the writes that follow with 5.
class CountingRegistry final : public platform::RegistryApi {
 public:
  explicit CountingRegistry(platform::RegistryApi& real) : real_(real) {}
  bool read_only = false;
  int open = 0;

  int32_t ConnectRegistry(const std::u16string& m, platform::RegKey root, platform::RegKey* out) override {
    return Count(real_.ConnectRegistry(m, root, out));
  }
  int32_t OpenKey(platform::RegKey b, const std::u16string& p, uint32_t o, uint32_t r, platform::RegKey* out) override {
    return Count(real_.OpenKey(b, p, o, read_only ? platform::kKeyRead : r, out));
  }
  int32_t CreateKey(platform::RegKey b, const std::u16string& p, uint32_t o, uint32_t r,
                    platform::RegKey* out) override {
    return Count(real_.CreateKey(b, p, o, read_only ? platform::kKeyRead : r, out));
  }
  int32_t QueryValue(platform::RegKey k, const std::u16string& n, uint32_t* t, uint8_t* d, uint32_t* s) override {
    return real_.QueryValue(k, n, t, d, s);
  }
  int32_t SetValue(platform::RegKey k, const std::u16string& n, uint32_t t, const uint8_t* d, uint32_t s) override {
    return real_.SetValue(k, n, t, d, s);
  }
  int32_t DeleteValue(platform::RegKey k, const std::u16string& n) override { return real_.DeleteValue(k, n); }
  int32_t DeleteKey(platform::RegKey k, const std::u16string& s) override { return real_.DeleteKey(k, s); }
  int32_t QueryInfoKey(platform::RegKey k, uint32_t* n, uint32_t* d) override { return real_.QueryInfoKey(k, n, d); }
  int32_t EnumValue(platform::RegKey k, uint32_t i, char16_t* n, uint32_t* nc, uint32_t* t, uint8_t* d,
                    uint32_t* db) override {
    return real_.EnumValue(k, i, n, nc, t, d, db);
  }
  void CloseKey(platform::RegKey k) noexcept override {
    --open;
    real_.CloseKey(k);
  }

 private:
  int32_t Count(int32_t rc) {
    if (rc == platform::kErrorSuccess) ++open;
    return rc;
  }
  platform::RegistryApi& real_;
};

struct RawValue {
  uint32_t type;
  std::vector<uint8_t> bytes;
  bool operator==(const RawValue&) const = default;
};

inline std::vector<uint8_t> Utf16Bytes(std::u16string_view text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) bytes.insert(bytes.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
  return bytes;
}

// A key of its own below <root>\Software\VELKOTest\<run>\ for one test, made at
// construction and deleted, with every sub-key the test named, at the end.
class TestKey {
 public:
  TestKey(int32_t root, const std::u16string& name)
      : api_(platform::DefaultRegistryApi()), root_(platform::PredefinedKey(root)), path_(RunPath() + u"\\" + name) {
    platform::ScopedRegKey key(api_);
    EXPECT_EQ(api_.CreateKey(root_, path_, 0, platform::kKeyAllAccess, key.put()), 0) << ToUtf8(path_);
  }
  ~TestKey() {
    // Deepest first, since deleting is not recursive.
    std::sort(sections_.begin(), sections_.end(), [](const auto& a, const auto& b) {
      return std::count(a.begin(), a.end(), u'\\') > std::count(b.begin(), b.end(), u'\\');
    });
    for (const auto& s : sections_) (void)api_.DeleteKey(root_, path_ + u"\\" + s);
    EXPECT_EQ(api_.DeleteKey(root_, path_), 0) << "a sub-key was left behind below " << ToUtf8(path_);
  }
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;

  // "Software\VELKOTest\<bits>-<random>", one per test program run, so that
  // the x86 and x64 programs and parallel runs share no key.
  static const std::u16string& RunPath();
  const std::u16string& path() const { return path_; }

  // Notes `section` (and each key above it) for deletion and returns it.
  std::u16string Section(const std::u16string& section) {
    std::u16string prefix;
    for (size_t start = 0; start <= section.size();) {
      size_t end = std::min(section.find(u'\\', start), section.size());
      if (end > start) {
        prefix += (prefix.empty() ? u"" : u"\\") + section.substr(start, end - start);
        sections_.push_back(prefix);
      }
      start = end + 1;
    }
    return section;
  }

  // Writes a value with the raw interface; `bytes` is followed by `tail` in
  // memory (what the system may read past a string's count).
  void Put(const std::u16string& section, const std::u16string& name, uint32_t type, std::vector<uint8_t> bytes,
           std::vector<uint8_t> tail = {0, 0}) {
    const auto size = static_cast<uint32_t>(bytes.size());
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    platform::ScopedRegKey key(api_);
    ASSERT_EQ(api_.CreateKey(root_, Join(Section(section)), 0, platform::kKeyAllAccess, key.put()), 0);
    ASSERT_EQ(api_.SetValue(key.get(), name, type, bytes.data(), size), 0);
  }
  std::optional<RawValue> Get(const std::u16string& section, const std::u16string& name) {
    platform::ScopedRegKey key(api_);
    if (api_.OpenKey(root_, Join(section), 0, platform::kKeyRead, key.put()) != 0) return std::nullopt;
    uint32_t type = 0;
    uint32_t size = 0;
    if (api_.QueryValue(key.get(), name, &type, nullptr, &size) != 0) return std::nullopt;
    RawValue raw{type, std::vector<uint8_t>(size)};
    if (size && api_.QueryValue(key.get(), name, nullptr, raw.bytes.data(), &size) != 0) return std::nullopt;
    return raw;
  }
  bool Exists(const std::u16string& section) {
    platform::ScopedRegKey key(api_);
    return api_.OpenKey(root_, Join(section), 0, platform::kKeyRead, key.put()) == 0;
  }

 private:
  std::u16string Join(const std::u16string& section) const {
    return section.empty() ? path_ : path_ + u"\\" + section;
  }
  platform::RegistryApi& api_;
  platform::RegKey root_;
  std::u16string path_;
  std::vector<std::u16string> sections_;
};

}  // namespace testing
}  // namespace velko
