// The profile calls in portable C++ over real INI files: the native build uses
// it in place of GetPrivateProfileStringW / WritePrivateProfileStringW, and the
// Windows tests link it too and compare it with the system, call for call and
// byte for byte (the reference there is Wine's implementation).
//
// What it keeps of the system's behaviour:
//  - Encoding: a file that begins with a byte-order mark is UTF-16LE, UTF-16BE
//    or UTF-8; any other file is ANSI, read and written as code page 1252
//    (characters outside it are written as '?'). A rewrite keeps the encoding
//    and the mark; a new file is ANSI.
//  - Parsing: lines end at CR or at LF; white space (space, TAB, LF, VT, FF, CR,
//    U+001A) round a line, a section name, a key name and a value is dropped;
//    blank lines are dropped. "[name]" opens a section, the last "]" of the line
//    closing the name; a line with "=" is a key and its value; any other line
//    (comments included) is a key without a value. A key without a name right
//    after another one is dropped. Lines before the first section belong to a
//    section with the empty name.
//  - Names compare case-insensitively in ASCII; the first section of a name
//    and, inside it, the first key of a name win.
//  - Reading a value: the section and key given are trimmed of white space; the
//    default loses its trailing spaces (one space of an all-space default
//    stays); a value or default wrapped in a matching pair of ' or " loses the
//    pair. The result is cut to size - 1 characters.
//  - Name lists (a null key: the section's keys; a null section: all sections)
//    give each name followed by a NUL, then one more NUL. Keys without a value,
//    keys that begin with ';' and sections with the empty name are not listed;
//    the section of a key list is matched as given, untrimmed. A list that does
//    not fit in the buffer, or fits exactly, is cut to size - 2 characters and
//    ends in two NULs; the result is then size - 2. A key list that comes out
//    empty, or begins with an empty name, gives the default (untrimmed) instead.
//  - Writing: the section and key are found as for reading or added at the end
//    (their names and the value losing leading white space); a null value
//    deletes the first key of that name, a null key the first section of that
//    name (these two compare the names as given, untrimmed); the file is
//    rewritten only when something changed, as "[name]" and "key=value" lines
//    ended by CR LF, without blank lines and without a header for a section
//    with the empty name. A null section fails with code 2 when a key is given
//    and deletes nothing otherwise; all three of section, key and value null
//    only reads the file and returns 0.
//  - Last-error codes: 2 for a missing file (reads still give the default and
//    writes create the file), 3 for a missing folder, 5 for a folder given as
//    the file or a file that cannot be written, 87 for a file that holds only a
//    UTF-8 mark, otherwise 0 after a read; after a successful write 0 for a new
//    file and 183 for a rewritten one.
//  - A null file name stands for "win.ini", here in the current folder.
#pragma once

#include "platform/profile.h"

namespace velko::platform {

class ProfileFileApi final : public ProfileApi {
 public:
  ProfileCall GetString(const char16_t* section, const char16_t* key, const char16_t* default_value,
                        char16_t* buffer, uint32_t size, const char16_t* file_name) override;
  ProfileCall WriteString(const char16_t* section, const char16_t* key, const char16_t* value,
                          const char16_t* file_name) override;
};

}  // namespace velko::platform
