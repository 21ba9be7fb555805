// File operations of both back ends: creating, writing, seeking, flushing and
// closing with their errors reported, folders made as mkdir -p makes them
// (with the error of the making, not of a look afterwards), regular files
// opened for reading without ever waiting on a pipe, symbolic links followed,
// and whole-file writes through a side file. Test builds can make the Kth
// write, seek, flush or close fail (platform/filefaults.h).
#include <atomic>
#include <cerrno>
#include <cstring>
#include "platform/filefaults.h"
#include "platform/platform.h"
#include "text/utf.h"
#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orvane {

namespace {
std::atomic<unsigned> sideFileCounter{0};

int lastError(int fallback = EIO) { return errno ? errno : fallback; }

// One folder; 0 when it exists afterwards, else the error of its making.
int makeFolder(const std::u16string& path);

std::u16string folderOf(const std::u16string& path)
{
    const size_t cut = path.find_last_of(u"/\\");
    return cut == std::u16string::npos ? std::u16string() : path.substr(0, cut + 1);
}

#ifdef _WIN32
std::wstring wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
#else
std::string narrow(const std::u16string& s) { return utf16ToUtf8(s); }
#endif

// A side file of a unique name in the folder of `target`, created
// exclusively; its name is short, so it fits wherever the target fits.
int createSideFile(const std::u16string& target, std::u16string& side, FILE** file)
{
#ifdef _WIN32
    const unsigned process = GetCurrentProcessId();
#else
    const unsigned process = static_cast<unsigned>(getpid());
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".~%x.%x.part", process & 0xFFFFFu, sideFileCounter.fetch_add(1) & 0xFFFFFu);
        side = folderOf(target) + utf8ToUtf16(name);
        if (side.size() > maxPathUnits) return ENAMETOOLONG;
        const int error = createFile(side, true, file);
        if (error != EEXIST) return error;
    }
    return EEXIST;
}
}  // namespace

std::string errorText(int error) { return std::strerror(error); }

int writeFile(FILE* file, const void* data, size_t size)
{
    if (const int e = plannedFileFailure(FileOperation::write)) return e;
    errno = 0;
    if (size && std::fwrite(data, 1, size, file) != size) return lastError();
    return 0;
}

int seekFile(FILE* file, long offset)
{
    if (const int e = plannedFileFailure(FileOperation::seek)) return e;
    errno = 0;
    return std::fseek(file, offset, SEEK_SET) == 0 ? 0 : lastError();
}

int flushFile(FILE* file)
{
    if (const int e = plannedFileFailure(FileOperation::flush)) return e;
    errno = 0;
    return std::fflush(file) == 0 ? 0 : lastError();
}

int closeFile(FILE* file)
{
    const int planned = plannedFileFailure(FileOperation::close);
    errno = 0;
    const int closed = std::fclose(file) == 0 ? 0 : lastError();
    return planned ? planned : closed;
}

int createFolders(const std::u16string& path, std::u16string& failed)
{
    // Every prefix that ends before a separator, then the whole path.
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != u'/' && path[at] != u'\\') continue;
        const std::u16string folder = path.substr(0, at);
        if (folder.size() == 2 && folder[1] == u':') continue;  // a drive
        if (fileKind(folder) == FileKind::folder) continue;
        if (const int error = makeFolder(folder)) {
            failed = folder;
            return error;
        }
    }
    return 0;
}

bool createFolder(const std::u16string& path) { return makeFolder(path) == 0; }

#ifdef _WIN32
namespace {
int errorOfSystem(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED: return EACCES;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_DISK_FULL: return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_INVALID_NAME: return EINVAL;
    case ERROR_ALREADY_EXISTS: return EEXIST;
    default: return EIO;
    }
}

FileKind kindOfMode(unsigned short mode)
{
    if (mode & _S_IFDIR) return FileKind::folder;
    return mode & _S_IFREG ? FileKind::regular : FileKind::other;
}

int makeFolder(const std::u16string& path)
{
    const std::wstring p = wide(path);
    if (CreateDirectoryW(p.c_str(), nullptr)) return 0;
    const DWORD error = GetLastError();  // before anything else replaces it
    const DWORD attributes = GetFileAttributesW(p.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return attributes & FILE_ATTRIBUTE_DIRECTORY ? 0 : ENOTDIR;
    return errorOfSystem(error);
}
}  // namespace

FILE* openFile(const std::u16string& path, const char* mode)
{
    return _wfopen(wide(path).c_str(), std::wstring(mode, mode + std::strlen(mode)).c_str());
}

int openRegularFile(const std::u16string& path, FILE** file, FileKind& kind, uint64_t& size)
{
    *file = nullptr;
    size = 0;
    struct _stat64 st;
    errno = 0;
    if (_wstat64(wide(path).c_str(), &st) != 0) {
        kind = FileKind::none;
        return lastError(ENOENT);
    }
    kind = kindOfMode(st.st_mode);
    if (kind != FileKind::regular) return 0;
    FILE* f = _wfopen(wide(path).c_str(), L"rb");
    if (!f) return lastError();
    if (_fstat64(_fileno(f), &st) != 0 || (kind = kindOfMode(st.st_mode)) != FileKind::regular) {
        const int error = kind == FileKind::regular ? lastError() : 0;
        std::fclose(f);
        return error;
    }
    size = static_cast<uint64_t>(st.st_size);
    *file = f;
    return 0;
}

int createFile(const std::u16string& path, bool exclusive, FILE** file)
{
    *file = nullptr;
    const int flags = _O_WRONLY | _O_BINARY | _O_CREAT | (exclusive ? _O_EXCL : _O_TRUNC);
    const int fd = _wopen(wide(path).c_str(), flags, _S_IREAD | _S_IWRITE);
    if (fd < 0) return lastError();
    *file = _fdopen(fd, "wb");
    if (!*file) {
        const int error = lastError();
        _close(fd);
        return error;
    }
    return 0;
}

bool removeFile(const std::u16string& path) { return DeleteFileW(wide(path).c_str()) != FALSE; }

int replaceFile(const std::u16string& from, const std::u16string& to)
{
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return 0;
    return GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
}

FileKind fileKind(const std::u16string& path)
{
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::none;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FileKind::folder;
    return attributes & FILE_ATTRIBUTE_DEVICE ? FileKind::other : FileKind::regular;
}

std::u16string linkTarget(const std::u16string& path) { return path; }
#else
namespace {
FileKind kindOfMode(mode_t mode)
{
    if (S_ISDIR(mode)) return FileKind::folder;
    return S_ISREG(mode) ? FileKind::regular : FileKind::other;
}

int makeFolder(const std::u16string& path)
{
    const std::string p = narrow(path);
    if (mkdir(p.c_str(), 0777) == 0) return 0;
    const int error = errno;  // before the look below replaces it
    struct stat st;
    if (stat(p.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    return error ? error : EIO;
}
}  // namespace

FILE* openFile(const std::u16string& path, const char* mode) { return std::fopen(narrow(path).c_str(), mode); }

int openRegularFile(const std::u16string& path, FILE** file, FileKind& kind, uint64_t& size)
{
    *file = nullptr;
    size = 0;
    const std::string p = narrow(path);
    struct stat st;
    errno = 0;
    if (stat(p.c_str(), &st) != 0) {
        kind = FileKind::none;
        return lastError(ENOENT);
    }
    // A pipe, a device or a folder is never opened: opening one may wait, or do something.
    kind = kindOfMode(st.st_mode);
    if (kind != FileKind::regular) return 0;
    // Without waiting all the same, and checked again once open: the name may
    // have been given to a pipe in the meantime.
    const int fd = open(p.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return lastError();
    if (fstat(fd, &st) != 0 || (kind = kindOfMode(st.st_mode)) != FileKind::regular) {
        const int error = kind == FileKind::regular ? lastError() : 0;
        close(fd);
        return error;
    }
    *file = fdopen(fd, "rb");
    if (!*file) {
        const int error = lastError();
        close(fd);
        return error;
    }
    size = static_cast<uint64_t>(st.st_size);
    return 0;
}

int createFile(const std::u16string& path, bool exclusive, FILE** file)
{
    *file = nullptr;
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC);
    const int fd = open(narrow(path).c_str(), flags, 0666);
    if (fd < 0) return lastError();
    *file = fdopen(fd, "wb");
    if (!*file) {
        const int error = lastError();
        close(fd);
        return error;
    }
    return 0;
}

bool removeFile(const std::u16string& path) { return std::remove(narrow(path).c_str()) == 0; }

int replaceFile(const std::u16string& from, const std::u16string& to)
{
    errno = 0;
    return std::rename(narrow(from).c_str(), narrow(to).c_str()) == 0 ? 0 : lastError();
}

FileKind fileKind(const std::u16string& path)
{
    struct stat st;
    if (stat(narrow(path).c_str(), &st) != 0) return FileKind::none;
    if (S_ISDIR(st.st_mode)) return FileKind::folder;
    return S_ISREG(st.st_mode) ? FileKind::regular : FileKind::other;
}

std::u16string linkTarget(const std::u16string& path)
{
    std::string p = narrow(path);
    for (int hops = 0; hops < 40; ++hops) {
        char buf[PATH_MAX];
        const ssize_t n = readlink(p.c_str(), buf, sizeof buf - 1);
        if (n <= 0) break;
        const std::string target(buf, static_cast<size_t>(n));
        const size_t cut = p.find_last_of('/');
        p = target[0] == '/' || cut == std::string::npos ? target : p.substr(0, cut + 1) + target;
    }
    return utf8ToUtf16(p);
}
#endif

int writeWholeFile(const std::u16string& path, const std::string& bytes)
{
    if (path.empty()) return ENOENT;
    const std::u16string target = linkTarget(path);
    FILE* file = nullptr;
    const FileKind kind = fileKind(target);
    if (kind == FileKind::folder) return EISDIR;
    if (kind == FileKind::other) {
        // A device or a pipe cannot be replaced: the text goes straight in.
        if (const int e = createFile(target, false, &file)) return e;
        int error = writeFile(file, bytes.data(), bytes.size());
        const int closed = closeFile(file);
        return error ? error : closed;
    }
    std::u16string side;
    if (const int e = createSideFile(target, side, &file)) return e;
    int error = writeFile(file, bytes.data(), bytes.size());
    if (!error) error = flushFile(file);
    const int closed = closeFile(file);
    if (!error) error = closed;
    if (!error && target.size() > maxPathUnits) error = ENAMETOOLONG;
    if (!error) error = replaceFile(side, target);
    if (error) removeFile(side);
    return error;
}

}  // namespace orvane
