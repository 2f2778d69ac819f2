#include "platform/portable/fake_registry.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace velko::platform {
namespace {

constexpr uint32_t kMaxValueNameChars = 16383;

char16_t FoldCase(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return FoldCase(x) == FoldCase(y); });
}

bool IsStringType(uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

char16_t UnitAt(const uint8_t* data, size_t index) {
  char16_t unit;
  std::memcpy(&unit, data + index * sizeof unit, sizeof unit);
  return unit;
}

}  // namespace

struct FakeRegistryApi::Node {
  std::u16string name;
  Node* parent = nullptr;
  bool is_volatile = false;
  bool deleted = false;
  struct Value {
    std::u16string name;
    uint32_t type;
    std::vector<uint8_t> data;
  };
  std::vector<Value> values;  // in the order of their first writing
  std::vector<std::shared_ptr<Node>> children;

  Value* FindValue(const std::u16string& value_name) {
    for (Value& v : values)
      if (SameName(v.name, value_name)) return &v;
    return nullptr;
  }
  std::shared_ptr<Node> FindChild(std::u16string_view child_name) const {
    for (const auto& c : children)
      if (SameName(c->name, child_name)) return c;
    return nullptr;
  }
};

struct FakeRegistryApi::Handle {
  std::shared_ptr<Node> node;
  uint32_t rights;
  bool connection;
};

struct FakeRegistryApi::Target {
  std::shared_ptr<Node> node;
  uint32_t rights = 0;
};

FakeRegistryApi::FakeRegistryApi() {
  for (int32_t root : {kHKeyClassesRoot, kHKeyCurrentUser, kHKeyLocalMachine, kHKeyUsers})
    roots_[root] = std::make_shared<Node>();
}

FakeRegistryApi::~FakeRegistryApi() = default;

int32_t FakeRegistryApi::Enter(const char* function, RegKey base, const std::u16string& text, uint32_t options,
                               uint32_t rights) {
  auto it = handles_.find(base);
  log.push_back({function, text, base, it != handles_.end() && it->second->connection, options, rights});
  return ++calls == fail_at_call ? fail_code : kErrorSuccess;
}

int32_t FakeRegistryApi::Resolve(RegKey key, Target& target) const {
  const auto value = reinterpret_cast<intptr_t>(key);
  if (value >= INT32_MIN && value <= INT32_MAX) {
    if (auto root = roots_.find(static_cast<int32_t>(value)); root != roots_.end()) {
      target = {root->second, kKeyAllAccess};
      return kErrorSuccess;
    }
  }
  auto it = handles_.find(key);
  if (it == handles_.end()) return kErrorInvalidHandle;
  target = {it->second->node, it->second->rights};
  return target.node->deleted ? kErrorKeyDeleted : kErrorSuccess;
}

int32_t FakeRegistryApi::Walk(const std::shared_ptr<Node>& from, const std::u16string& path, bool create,
                              uint32_t options, std::shared_ptr<Node>& found) {
  if (!path.empty() && path[0] == u'\\') return kErrorBadPathName;
  // Check the whole path before making anything, so a refused create leaves no keys behind.
  std::vector<std::u16string_view> parts;
  for (size_t start = 0; start < path.size();) {
    size_t end = path.find(u'\\', start);
    if (end == std::u16string::npos) end = path.size();
    if (end > start) parts.push_back(std::u16string_view(path).substr(start, end - start));
    start = end + 1;
  }
  std::shared_ptr<Node> node = from;
  size_t i = 0;
  for (; i < parts.size(); ++i) {
    std::shared_ptr<Node> child = node->FindChild(parts[i]);
    if (!child) break;
    node = child;
  }
  if (i < parts.size()) {
    if (!create) return kErrorFileNotFound;
    const bool make_volatile = options & kRegOptionVolatile;
    if (node->is_volatile && !make_volatile) return kErrorChildMustBeVolatile;
    for (; i < parts.size(); ++i) {
      auto child = std::make_shared<Node>();
      child->name = std::u16string(parts[i]);
      child->parent = node.get();
      child->is_volatile = make_volatile;
      node->children.push_back(child);
      node = child;
    }
  }
  found = node;
  return kErrorSuccess;
}

RegKey FakeRegistryApi::NewHandle(std::shared_ptr<Node> node, uint32_t rights, bool connection) {
  auto handle = std::make_unique<Handle>(Handle{std::move(node), rights, connection});
  RegKey key = reinterpret_cast<RegKey>(handle.get());
  handles_[key] = std::move(handle);
  ++(connection ? open_connections : open_keys);
  return key;
}

int32_t FakeRegistryApi::ConnectRegistry(const std::u16string& machine, RegKey root, RegKey* result) {
  if (int32_t rc = Enter("ConnectRegistry", root, machine)) return rc;
  std::u16string_view name = machine;
  if (name.substr(0, 2) == u"\\\\") name.remove_prefix(2);
  if (!name.empty() && !SameName(name, local_computer_name)) return kErrorBadNetPath;
  const auto value = reinterpret_cast<intptr_t>(root);
  auto it = roots_.find(static_cast<int32_t>(value));
  if (value < INT32_MIN || value > INT32_MAX || it == roots_.end()) return kErrorInvalidHandle;
  *result = NewHandle(it->second, kKeyAllAccess, true);
  return kErrorSuccess;
}

int32_t FakeRegistryApi::OpenKey(RegKey base, const std::u16string& path, uint32_t options, uint32_t rights,
                                 RegKey* result) {
  return OpenOrCreate("OpenKey", base, path, options, rights, false, result);
}

int32_t FakeRegistryApi::CreateKey(RegKey base, const std::u16string& path, uint32_t options, uint32_t rights,
                                   RegKey* result) {
  return OpenOrCreate("CreateKey", base, path, options, rights, true, result);
}

int32_t FakeRegistryApi::OpenOrCreate(const char* call, RegKey base, const std::u16string& path, uint32_t options,
                                      uint32_t rights, bool create, RegKey* result) {
  if (int32_t rc = Enter(call, base, path, options, rights)) return rc;
  Target target;
  std::shared_ptr<Node> node;
  if (int32_t rc = Resolve(base, target)) return rc;
  if (int32_t rc = Walk(target.node, path, create, options, node)) return rc;
  *result = NewHandle(node, rights, false);
  return kErrorSuccess;
}

int32_t FakeRegistryApi::QueryValue(RegKey key, const std::u16string& name, uint32_t* type, uint8_t* data,
                                    uint32_t* size) {
  if (int32_t rc = Enter("QueryValue", key, name)) return rc;
  Target target;
  if (int32_t rc = Resolve(key, target)) return rc;
  if (!(target.rights & kKeyQueryValue)) return kErrorAccessDenied;
  const Node::Value* value = target.node->FindValue(name);
  if (!value) return kErrorFileNotFound;
  const auto length = static_cast<uint32_t>(value->data.size());
  if (data) {
    if (!size) return kErrorInvalidParameter;
    if (*size < length) {
      *size = length;
      return kErrorMoreData;
    }
    std::copy(value->data.begin(), value->data.end(), data);
  }
  if (type) *type = value->type;
  if (size) *size = length;
  return kErrorSuccess;
}

int32_t FakeRegistryApi::SetValue(RegKey key, const std::u16string& name, uint32_t type, const uint8_t* data,
                                  uint32_t size) {
  if (int32_t rc = Enter("SetValue", key, name)) return rc;
  Target target;
  if (int32_t rc = Resolve(key, target)) return rc;
  if (!(target.rights & kKeySetValue)) return kErrorAccessDenied;
  if (name.size() > kMaxValueNameChars || (!data && size)) return kErrorInvalidParameter;
  // A string whose terminator was left out of the count: the system takes the
  // NUL that directly follows it into the value.
  if (IsStringType(type) && size >= sizeof(char16_t)) {
    const size_t units = size / sizeof(char16_t);
    if (UnitAt(data, units - 1) != 0 && UnitAt(data, units) == 0) size += sizeof(char16_t);
  }
  std::vector<uint8_t> bytes(data, data + size);
  if (Node::Value* existing = target.node->FindValue(name)) {
    existing->type = type;
    existing->data = std::move(bytes);
  } else {
    target.node->values.push_back({name, type, std::move(bytes)});
  }
  return kErrorSuccess;
}

int32_t FakeRegistryApi::DeleteValue(RegKey key, const std::u16string& name) {
  if (int32_t rc = Enter("DeleteValue", key, name)) return rc;
  Target target;
  if (int32_t rc = Resolve(key, target)) return rc;
  if (!(target.rights & kKeySetValue)) return kErrorAccessDenied;
  auto& values = target.node->values;
  auto it = std::find_if(values.begin(), values.end(), [&](const Node::Value& v) { return SameName(v.name, name); });
  if (it == values.end()) return kErrorFileNotFound;
  values.erase(it);
  return kErrorSuccess;
}

int32_t FakeRegistryApi::DeleteKey(RegKey key, const std::u16string& sub_key) {
  if (int32_t rc = Enter("DeleteKey", key, sub_key)) return rc;
  Target target;
  std::shared_ptr<Node> node;
  if (int32_t rc = Resolve(key, target)) return rc;
  if (int32_t rc = Walk(target.node, sub_key, false, 0, node)) return rc;
  // An empty sub-key names the key itself; roots and keys with sub-keys stay.
  if (!node->parent || !node->children.empty()) return kErrorAccessDenied;
  auto& siblings = node->parent->children;
  siblings.erase(std::find(siblings.begin(), siblings.end(), node));
  node->deleted = true;
  node->parent = nullptr;
  return kErrorSuccess;
}

int32_t FakeRegistryApi::QueryInfoKey(RegKey key, uint32_t* max_value_name_chars, uint32_t* max_value_data_bytes) {
  if (int32_t rc = Enter("QueryInfoKey", key, {})) return rc;
  Target target;
  if (int32_t rc = Resolve(key, target)) return rc;
  uint32_t name_chars = 0;
  uint32_t data_bytes = 0;
  for (const Node::Value& v : target.node->values) {
    name_chars = std::max(name_chars, static_cast<uint32_t>(v.name.size()));
    data_bytes = std::max(data_bytes, static_cast<uint32_t>(v.data.size()));
  }
  *max_value_name_chars = name_chars;
  *max_value_data_bytes = data_bytes;
  return kErrorSuccess;
}

int32_t FakeRegistryApi::EnumValue(RegKey key, uint32_t index, char16_t* name, uint32_t* name_chars, uint32_t* type,
                                   uint8_t* data, uint32_t* data_bytes) {
  if (int32_t rc = Enter("EnumValue", key, {})) return rc;
  Target target;
  if (int32_t rc = Resolve(key, target)) return rc;
  if (!(target.rights & kKeyQueryValue)) return kErrorAccessDenied;
  const auto& values = target.node->values;
  if (index >= values.size()) return kErrorNoMoreItems;
  const Node::Value& value = values[index];
  const auto length = static_cast<uint32_t>(value.data.size());
  if (*name_chars <= value.name.size()) return kErrorMoreData;
  if (data && (!data_bytes || *data_bytes < length)) return kErrorMoreData;
  std::copy(value.name.begin(), value.name.end(), name);
  name[value.name.size()] = u'\0';
  *name_chars = static_cast<uint32_t>(value.name.size());
  if (type) *type = value.type;
  if (data) std::copy(value.data.begin(), value.data.end(), data);
  if (data_bytes) *data_bytes = length;
  return kErrorSuccess;
}

void FakeRegistryApi::CloseKey(RegKey key) noexcept {
  auto it = handles_.find(key);
  log.push_back({"CloseKey", {}, key, it != handles_.end() && it->second->connection, 0, 0});
  Target root;
  if (it == handles_.end()) {
    // Closing a predefined root is allowed and does nothing, as on Windows.
    if (Resolve(key, root) != kErrorSuccess) ++bad_closes;
    return;
  }
  --(it->second->connection ? open_connections : open_keys);
  handles_.erase(it);
}

RegistryApi& DefaultRegistryApi() {
  static FakeRegistryApi api;
  return api;
}

void TaskMemFree(void* block) noexcept { std::free(block); }

}  // namespace velko::platform
