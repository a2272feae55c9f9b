#include "measure/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace kv4410::measure {

namespace {

constexpr mode_t kNewFileMode = 0644;

std::string failure(const char* what, const std::filesystem::path& path, int error) {
  return std::string(what) + " '" + path.string() + "': " + std::strerror(error);
}

// Writes everything, going on after short writes and interrupted calls; false with errno set.
bool writeAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t n = ::write(fd, contents.data(), contents.size());
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    contents.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

std::optional<std::string> writeFileAtomically(const std::filesystem::path& path,
                                               std::string_view contents) {
  mode_t mode = kNewFileMode;
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) {
    mode = old.st_mode & 07777;
  }

  // The temporary name sits beside the target, so the rename stays within one file system.
  const std::filesystem::path folder =
      path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  const std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  std::vector<char> temporary(pattern.begin(), pattern.end());
  temporary.push_back('\0');
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    return failure("cannot write", path, errno);
  }
  const auto abandon = [&](const char* what) {
    const int error = errno;
    ::close(fd);
    ::unlink(temporary.data());
    return failure(what, path, error);
  };
  if (!writeAll(fd, contents)) {
    return abandon("cannot write");
  }
  if (::fchmod(fd, mode) != 0) {
    return abandon("cannot set the permissions of");
  }
  // On the disk before the rename: a crash then leaves the old file or the new one, whole.
  if (::fsync(fd) != 0) {
    return abandon("cannot write");
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temporary.data());
    return failure("cannot write", path, error);
  }
  if (::rename(temporary.data(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.data());
    return failure("cannot replace", path, error);
  }
  return std::nullopt;
}

}  // namespace kv4410::measure
