// API_INI: one value at a time from and to INI-format files, through the
// system's profile calls, which own the format.
//
// Every argument may be absent (std::nullopt), which is not the same as empty:
// an absent argument reaches the system as a null pointer, an empty one as "".
// A failure is thrown as velko::Error whose number is the system error code and
// whose description is GetErrorText of that code.
#pragma once

#include <optional>
#include <string>


namespace velko {

using IniString = std::optional<std::u16string>;

// Writes key=value under [section], creating the file, the section and the key
// as needed and replacing an existing value. An absent key deletes the whole
// section; an absent value deletes the key. Throws when the system reports
// failure with a last-error code; a failure without a code passes silently.
void WriteINIValue(const IniString& section, const IniString& key, const IniString& value,
                   const IniString& file_name);

// The value of key under [section], or `default_value` when the key is not
// there. An absent key gives the names of the section's keys and an absent
// section the names of all sections, each followed by one NUL, as the system
// lays them out. At most 4,095 characters come back. Throws when the system
// copies nothing and reports a last-error code (a missing file reports 2); with
// nothing copied and no code, the result is "".
std::u16string ReadINIValue(const IniString& section, const IniString& key, const IniString& default_value,
                            const IniString& file_name);

}  // namespace velko
