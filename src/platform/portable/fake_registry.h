// In-memory stand-in for the registry, for the native tests.
//
// It answers like the real registry as Wine shows it: names are matched without
// regard to ASCII case; a path may not begin with a backslash (161) while
// repeated backslashes inside it count as one; missing keys and values give 2;
// a handle without KEY_SET_VALUE refuses writes and deletes of values with 5
// (before it looks for the value), one without KEY_QUERY_VALUE refuses reads
// with 5; a key with sub-keys cannot be deleted (5); handles to a deleted key
// give 1018; a non-volatile key cannot be made below a volatile one (1021);
// a too small buffer gives 234 and the end of an enumeration 259. A REG_SZ,
// REG_EXPAND_SZ or REG_MULTI_SZ written without its terminator gets the NUL that
// directly follows the data counted in, as the system does. Values enumerate in
// the order they were first written (Windows' usual order; Wine sorts them).
//
// ConnectRegistry reaches this same registry for `local_computer_name` (any
// case, with or without a leading "\\") and fails with 53 for every other
// machine, as Wine does. Unlike Wine, which hands back the predefined root for
// a local connection, it returns a handle of its own so that connections can be
// counted.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace velko::platform {

class FakeRegistryApi final : public RegistryApi {
 public:
  FakeRegistryApi();
  ~FakeRegistryApi() override;
  FakeRegistryApi(const FakeRegistryApi&) = delete;
  FakeRegistryApi& operator=(const FakeRegistryApi&) = delete;

  std::u16string local_computer_name = u"VELKOHOST";

  // Failure injection: the call numbered `fail_at_call` (counting from 1 every
  // call but CloseKey) returns `fail_code` and does nothing else. 0: never.
  int fail_at_call = 0;
  int32_t fail_code = 0;

  // Observations.
  struct Call {
    std::string function;
    std::u16string text;  // machine, key path, value name or sub-key name
    RegKey base = nullptr;
    bool through_connection = false;  // `base` is a handle from ConnectRegistry
    uint32_t options = 0;
    uint32_t rights = 0;
  };
  std::vector<Call> log;    // every call, CloseKey included, in order
  int calls = 0;            // calls that count for injection
  int open_keys = 0;        // opened or created and not yet closed
  int open_connections = 0; // connected and not yet closed
  int bad_closes = 0;       // CloseKey of a handle that is not open

  int32_t ConnectRegistry(const std::u16string& machine, RegKey root, RegKey* result) override;
  int32_t OpenKey(RegKey base, const std::u16string& path, uint32_t options, uint32_t rights,
                  RegKey* result) override;
  int32_t CreateKey(RegKey base, const std::u16string& path, uint32_t options, uint32_t rights,
                    RegKey* result) override;
  int32_t QueryValue(RegKey key, const std::u16string& name, uint32_t* type, uint8_t* data,
                     uint32_t* size) override;
  int32_t SetValue(RegKey key, const std::u16string& name, uint32_t type, const uint8_t* data,
                   uint32_t size) override;
  int32_t DeleteValue(RegKey key, const std::u16string& name) override;
  int32_t DeleteKey(RegKey key, const std::u16string& sub_key) override;
  int32_t QueryInfoKey(RegKey key, uint32_t* max_value_name_chars, uint32_t* max_value_data_bytes) override;
  int32_t EnumValue(RegKey key, uint32_t index, char16_t* name, uint32_t* name_chars, uint32_t* type,
                    uint8_t* data, uint32_t* data_bytes) override;
  void CloseKey(RegKey key) noexcept override;

 private:
  struct Node;
  struct Handle;
  struct Target;

  // Logs the call and applies the injected failure; 0 to go on.
  int32_t Enter(const char* function, RegKey base, const std::u16string& text, uint32_t options = 0,
                uint32_t rights = 0);
  int32_t Resolve(RegKey key, Target& target) const;
  // OpenKey and CreateKey: the same steps, creating missing keys or not.
  int32_t OpenOrCreate(const char* call, RegKey base, const std::u16string& path, uint32_t options, uint32_t rights,
                       bool create, RegKey* result);
  int32_t Walk(const std::shared_ptr<Node>& from, const std::u16string& path, bool create, uint32_t options,
               std::shared_ptr<Node>& found);
  RegKey NewHandle(std::shared_ptr<Node> node, uint32_t rights, bool connection);

  std::map<int32_t, std::shared_ptr<Node>> roots_;
  std::map<RegKey, std::unique_ptr<Handle>> handles_;
};

}  // namespace velko::platform
