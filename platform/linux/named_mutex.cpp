#include "platform/linux/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "app/utf.h"

namespace standin {

MutexObject::~MutexObject() {
    if (fd_ >= 0) ::close(fd_);
}

NamedMutexes::NamedMutexes(std::filesystem::path globalDir, std::filesystem::path sessionDir)
    : globalDir_(std::move(globalDir)), sessionDir_(std::move(sessionDir)) {}

NamedMutexes NamedMutexes::FromEnvironment() {
    const char* base = std::getenv("FWUPDATE_KERNEL_OBJECTS");
    std::filesystem::path root = base && *base ? base : "/tmp/norvik-kernel-objects";
    return NamedMutexes(root / "global", root / ("session-" + std::to_string(::getuid())));
}

namespace {

// A file name that keeps every character of the object name distinct (names are case
// sensitive and may hold any character but the backslash).
std::string FileNameFor(std::wstring_view name) {
    std::string out = "m_";
    static const char* hex = "0123456789ABCDEF";
    for (unsigned char c : WideToUtf8(name)) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '_' || c == '-') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out;
}

bool EnsureDirectory(const std::filesystem::path& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    ::chmod(dir.c_str(), 01777);  // Shared by every user, like the machine's namespace.
    return std::filesystem::is_directory(dir, ec);
}

class FileLock {
  public:
    explicit FileLock(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
        if (fd_ >= 0) ::flock(fd_, LOCK_EX);
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }

  private:
    int fd_;
};

}  // namespace

std::filesystem::path NamedMutexes::PathOf(std::wstring_view name) {
    constexpr std::wstring_view kGlobal = L"Global\\";
    constexpr std::wstring_view kLocal = L"Local\\";
    std::filesystem::path dir = sessionDir_;
    if (name.starts_with(kGlobal)) {
        dir = globalDir_;
        name.remove_prefix(kGlobal.size());
    } else if (name.starts_with(kLocal)) {
        name.remove_prefix(kLocal.size());
    }
    return dir / FileNameFor(name);
}

bool NamedMutexes::Exists(std::wstring_view name) {
    std::filesystem::path path = PathOf(name);
    FileLock guard(path.parent_path() / ".guard");
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

std::shared_ptr<MutexObject> NamedMutexes::Open(std::wstring_view name, bool* existed) {
    std::filesystem::path path = PathOf(name);
    std::filesystem::path dir = path.parent_path();
    if (!EnsureDirectory(dir)) return nullptr;

    // Creating and testing a name is one step for all processes: the guard serialises it.
    FileLock guard(dir / ".guard");
    if (!guard.ok()) return nullptr;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    ::fchmod(fd, 0666);
    // Nobody else holds a handle exactly when an exclusive lock is free.
    *existed = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::flock(fd, LOCK_SH);
    return std::make_shared<MutexObject>(fd);
}

}  // namespace standin
