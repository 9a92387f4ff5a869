#include "IniFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFile.h"
#include "IniText.h"

namespace ztini {

namespace {

// Configuration files are small; anything larger is not ours to parse.
const size_t kMaxIniSize = 4u << 20;

Status load(const std::string& path, std::string* content)
{
    if (path.empty())
        return Status::BadArgument;
    if (!ztfile::readAll(path, content))
        return errno == ENOENT || errno == ENOTDIR ? Status::NotFound : Status::IoError;
    return content->size() > kMaxIniSize ? Status::IoError : Status::Ok;
}

// A symlinked ini file is edited where it lives instead of being replaced by a copy.
std::string resolveLink(const std::string& path)
{
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char* real = realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string result(real);
    free(real);
    return result;
}

// Writers killed between creating and renaming their temporary file leave it
// behind; under the lock no other writer can be using one.
void removeStaleTemporaries(const std::string& path)
{
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string prefix = ztfile::temporaryPrefix(path);
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0)
            unlink((folder + "/" + name).c_str());
    }
    closedir(dir);
}

}  // namespace

Status readValue(const std::string& path, const std::string& section, const std::string& key, std::string* value)
{
    if (!value || key.empty())
        return Status::BadArgument;
    std::string content;
    Status status = load(path, &content);
    if (status != Status::Ok)
        return status;
    return IniText(content).find(section, key, value) ? Status::Ok : Status::NotFound;
}

Status writeValue(const std::string& path, const std::string& section, const std::string& key,
                  const std::string& value)
{
    if (path.empty() || !validSection(section) || !validKey(key) || !validValue(value))
        return Status::BadArgument;
    std::string target = resolveLink(path);
    ztfile::LockGuard lock(target);
    if (!lock.ok())
        return Status::IoError;
    removeStaleTemporaries(target);

    std::string content;
    Status status = load(target, &content);
    if (status == Status::IoError || status == Status::BadArgument)
        return status;
    mode_t mode = 0644;
    struct stat info;
    if (status == Status::Ok && stat(target.c_str(), &info) == 0)
        mode = info.st_mode & 07777;

    IniText text(content);
    std::string current;
    if (text.find(section, key, &current) && current == value)
        return Status::Ok;
    text.set(section, key, value);
    return ztfile::writeAtomically(target, text.content(), mode) ? Status::Ok : Status::IoError;
}

Status keyNames(const std::string& path, const std::string& section, std::vector<std::string>* names)
{
    if (!names)
        return Status::BadArgument;
    std::string content;
    Status status = load(path, &content);
    if (status != Status::Ok)
        return status;
    IniText text(content);
    if (!section.empty() && !text.hasSection(section))
        return Status::NotFound;
    *names = text.keys(section);
    return Status::Ok;
}

}  // namespace ztini
