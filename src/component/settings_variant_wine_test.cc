// GetAllSettings' table and the settings errors as a host receives them.
#include "component/settings_variant.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>

#include "platform/text.h"

namespace velko {
namespace {

std::u16string ElementAt(SAFEARRAY* array, LONG row, LONG column) {
  LONG index[2] = {row, column};
  BSTR element = nullptr;
  EXPECT_EQ(::SafeArrayGetElement(array, index, &element), S_OK) << row << "," << column;
  std::u16string text(reinterpret_cast<const char16_t*>(element), ::SysStringLen(element));
  ::SysFreeString(element);
  return text;
}

TEST(SettingsToVariant, NoRowsIsEmpty) {
  VARIANT v;
  V_VT(&v) = VT_I4;  // an [out] arrives uninitialised; whatever is there is overwritten
  EXPECT_EQ(SettingsToVariant({}, &v), S_OK);
  EXPECT_EQ(V_VT(&v), VT_EMPTY);
  EXPECT_EQ(SettingsToVariant({}, nullptr), E_POINTER);
}

TEST(SettingsToVariant, RowsBecomeAZeroBasedNByTwoArrayOfStringsInOrder) {
  for (size_t n : {1u, 3u, 500u}) {
    SettingsTable table;
    for (size_t i = 0; i < n; ++i) table.push_back({u"name" + FromUtf8(std::to_string(i)), u"text" + FromUtf8(std::to_string(i))});
    table[0] = {u"", std::u16string(u"a\0b", 3)};  // the default value's empty name; a NUL inside the text
    VARIANT v;
    ASSERT_EQ(SettingsToVariant(table, &v), S_OK);
    ASSERT_EQ(V_VT(&v), VT_ARRAY | VT_BSTR);
    SAFEARRAY* array = V_ARRAY(&v);
    ASSERT_EQ(::SafeArrayGetDim(array), 2u);
    LONG bound = -1;
    struct Bound {
      UINT dimension;
      HRESULT(STDAPICALLTYPE* get)(SAFEARRAY*, UINT, LONG*);
      LONG expected;
    } bounds[] = {{1, ::SafeArrayGetLBound, 0}, {1, ::SafeArrayGetUBound, static_cast<LONG>(n) - 1},
                  {2, ::SafeArrayGetLBound, 0}, {2, ::SafeArrayGetUBound, 1}};
    for (const Bound& b : bounds) {
      ASSERT_EQ(b.get(array, b.dimension, &bound), S_OK);
      EXPECT_EQ(bound, b.expected) << "dimension " << b.dimension << " of " << n;
    }
    for (size_t i = 0; i < n; ++i) {
      EXPECT_EQ(ElementAt(array, static_cast<LONG>(i), 0), table[i][0]) << i;
      EXPECT_EQ(ElementAt(array, static_cast<LONG>(i), 1), table[i][1]) << i;
    }
    EXPECT_EQ(::VariantClear(&v), S_OK);
  }
}

TEST(SettingsErrorToHresult, GivesTheSystemCodeAsAutomationErrorAndTheTextAsDescription) {
  struct Case {
    int32_t number;
    HRESULT expected;
  } cases[] = {{2, static_cast<HRESULT>(0x800A0002)}, {53, static_cast<HRESULT>(0x800A0035)},
               {1021, static_cast<HRESULT>(0x800A03FD)}};
  for (const Case& c : cases) {
    const std::u16string text = u"Error connecting to remote registry " + FromUtf8(std::to_string(c.number));
    EXPECT_EQ(SettingsErrorToHresult(Error(c.number, text), IID_IDispatch), c.expected);
    IErrorInfo* info = nullptr;
    ASSERT_EQ(::GetErrorInfo(0, &info), S_OK);
    BSTR description = nullptr;
    ASSERT_EQ(info->GetDescription(&description), S_OK);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(description), ::SysStringLen(description)), text);
    ::SysFreeString(description);
    info->Release();
  }
}

}  // namespace
}  // namespace velko
