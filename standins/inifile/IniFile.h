#pragma once
// Ini files shared by several processes: readers never lock (writers replace
// the file atomically), writers serialise on a lock file and re-read first.
// Write ini files only through writeValue: it removes temporary files that
// killed writers left, which would break a writer bypassing the lock.
#include <string>
#include <vector>

namespace ztini {

enum class Status { Ok, NotFound, IoError, BadArgument };

// Reads [section] key from an ini file. NotFound when file, section or key is missing.
Status readValue(const std::string& path, const std::string& section, const std::string& key, std::string* value);
// Sets [section] key=value keeping every other section, key, comment and line ending as it was;
// creates file/section/key when missing. Atomic and safe against concurrent writers in other processes.
// BadArgument for names or values that would not read back the same (line breaks, '=' or ']' in
// names, blanks around them).
Status writeValue(const std::string& path, const std::string& section, const std::string& key,
                  const std::string& value);
// Key names of [section] in file order; NotFound when the file or section is missing.
Status keyNames(const std::string& path, const std::string& section, std::vector<std::string>* names);

}  // namespace ztini
