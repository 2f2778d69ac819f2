// ProductInfo: the thread's record of the host product, written by the setters
// of every CProductInfo of the thread and read by the About box. The picture
// (ProductIcon) is a COM reference and is kept beside this record by the
// component layer; the About box does not show it.
#pragma once

#include <string>

namespace velko {

struct ProductInfo {
  std::u16string ProductName;
  std::u16string ProductVersion;
  std::u16string Copyright;
  std::u16string WebsiteHREF;
  std::u16string ProductCompanyName;
  std::u16string ProductCompanyAddress;
  std::u16string EULAPath;
};

}  // namespace velko
