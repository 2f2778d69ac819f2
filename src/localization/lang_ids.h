// LangIDs: the user locale identifiers that the component tells apart, those
// with a dialog face of their own. The values are Windows LCIDs, the same
// numbers that name the language libraries.
#pragma once

#include <cstdint>

namespace velko::lang_ids {

inline constexpr uint32_t kChineseTaiwan = 0x0404;        // 1028
inline constexpr uint32_t kJapanese = 0x0411;             // 1041
inline constexpr uint32_t kKorean = 0x0412;               // 1042
inline constexpr uint32_t kChinesePRC = 0x0804;           // 2052

}  // namespace velko::lang_ids
