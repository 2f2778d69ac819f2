// What compiled clients of version 1.0 rely on, read from the built DLL: the
// slots of the interface in its embedded type library, and DllInstall's command
// lines. A VB6 or C++ client calls by slot and DISPID; a reorder of the IDL moves
// header, class and library together, and only this table stays where it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <tuple>

#include "tests/com/com_host.h"

namespace velko::testing {
namespace {

constexpr auto G = INVOKE_PROPERTYGET, P = INVOKE_PROPERTYPUT, R = INVOKE_PROPERTYPUTREF, M = INVOKE_FUNC;
// _CProductInfo's own slots in order, after IDispatch's seven.
constexpr struct { const wchar_t* name; INVOKEKIND kind; MEMBERID id; } kSlots[] = {
    {L"ProductName", G, 1}, {L"ProductName", P, 1}, {L"ProductVersion", G, 2}, {L"ProductVersion", P, 2},
    {L"Copyright", G, 3}, {L"Copyright", P, 3}, {L"WebsiteHREF", G, 4}, {L"WebsiteHREF", P, 4},
    {L"ProductIcon", G, 5}, {L"ProductIcon", R, 5}, {L"ProductCompanyName", G, 6}, {L"ProductCompanyName", P, 6},
    {L"ProductCompanyAddress", G, 7}, {L"ProductCompanyAddress", P, 7}, {L"AddURL", M, 8}, {L"ClearURLS", M, 9},
    {L"EULAPath", G, 10}, {L"EULAPath", P, 10}, {L"ShowAboutBox", M, 11}};

TEST(Contract, TheEmbeddedTypeLibraryKeepsEverySlotsNameKindDispidAndOffset) {
  ComPtr<ITypeLib> lib;
  ASSERT_EQ(::LoadTypeLibEx((ProductFolder() + L"\\VELKO.dll").c_str(), REGKIND_NONE, lib.put()), S_OK);
  TLIBATTR* library = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&library), S_OK);
  EXPECT_EQ(std::tuple(library->guid, library->lcid, library->wMajorVerNum, library->wMinorVerNum,
                       library->wLibFlags & (LIBFLAG_FRESTRICTED | LIBFLAG_FCONTROL | LIBFLAG_FHIDDEN)),
            std::tuple(LIBID_VELKO, LCID{0}, WORD{1}, WORD{0}, 0));
  lib->ReleaseTLibAttr(library);
  ComPtr<ITypeInfo> dispatch, vtable;
  HREFTYPE ref = 0;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(IID__CProductInfo, dispatch.put()), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &ref), S_OK);  // the dual interface's vtable view
  ASSERT_EQ(dispatch->GetRefTypeInfo(ref, vtable.put()), S_OK);
  TYPEATTR* type = nullptr;
  ASSERT_EQ(vtable->GetTypeAttr(&type), S_OK);
  EXPECT_EQ(std::tuple(type->wTypeFlags, type->cFuncs, type->cbSizeVft),
            std::tuple(WORD{TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION |
                            TYPEFLAG_FDISPATCHABLE},
                       WORD{std::size(kSlots)}, WORD((7 + std::size(kSlots)) * sizeof(void*))));
  vtable->ReleaseTypeAttr(type);
  for (UINT slot = 0; slot < std::size(kSlots); ++slot) {
    FUNCDESC* f = nullptr;
    ASSERT_EQ(vtable->GetFuncDesc(slot, &f), S_OK);
    Bstr name;
    vtable->GetDocumentation(f->memid, name.put(), nullptr, nullptr, nullptr);
    EXPECT_EQ(std::tuple(name.str(), f->invkind, f->memid, f->oVft, f->wFuncFlags),
              std::tuple(std::wstring(kSlots[slot].name), kSlots[slot].kind, kSlots[slot].id,
                         SHORT((7 + slot) * sizeof(void*)), WORD{0}))
        << "slot " << slot;
    vtable->ReleaseFuncDesc(f);
  }
}

// regsvr32 /i without a string sends "", a caller may send null: both mean the
// machine, "user" the user; anything else is refused. Install writes only its
// hive, uninstall takes it away again. Both hives are private keys of this test.
TEST(Contract, DllInstallTakesTheMachineWithoutACommandLineAndTheUserWithUser) {
  const std::wstring root = L"Software\\VELKO tests\\" + std::to_wstring(::GetCurrentProcessId());
  UniqueHKey machine, user;
  for (auto [hive, name] : {std::pair(&machine, L"\\machine"), std::pair(&user, L"\\user")})
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (root + name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                hive->put(), nullptr), ERROR_SUCCESS);
  ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine.get()), ::RegOverridePredefKey(HKEY_CURRENT_USER, user.get());
  const auto registered = [&] {
    std::wstring hives;
    for (auto [hive, name] : {std::pair(machine.get(), L"machine "), std::pair(user.get(), L"user ")})
      if (UniqueHKey key; ::RegOpenKeyExW(hive, L"Software\\Classes\\CLSID\\{4F52FD55-CEEA-43B0-BEB8-45CF905BE7C3}"
                                          L"\\InprocServer32", 0, KEY_READ, key.put()) == ERROR_SUCCESS) hives += name;
    return hives;
  };
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"", L"machine "}, {nullptr, L"machine "}, {L"user", L"user "}, {L"machine", nullptr}};
  for (const auto& [line, hive] : cases) {
    SCOPED_TRACE(line ? line : L"(null)");
    EXPECT_EQ(CallExport("DllInstall", TRUE, line), hive ? S_OK : E_INVALIDARG);
    EXPECT_EQ(registered(), hive ? hive : L"");
    EXPECT_EQ(CallExport("DllInstall", FALSE, line), hive ? S_OK : E_INVALIDARG);
    EXPECT_EQ(registered(), L"");
  }
  ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr), ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, root.c_str());
}

}  // namespace
}  // namespace velko::testing
