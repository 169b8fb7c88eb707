// Stream implementations: generic helpers, memory and POSIX file streams.
#include <tavkit/platform/base/Streams.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include <tavkit/platform/base/Exceptions.h>

namespace tavkit {

std::int64_t TStream::GetSize() {
  std::int64_t position = GetPosition();
  std::int64_t size = Seek(0, TSeekOrigin::soEnd);
  SetPosition(position);
  return size;
}

void TStream::SetSize(std::int64_t) {
  throw EStreamError("Stream size cannot be changed");
}

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

std::uint8_t TStream::ReadByte() {
  std::uint8_t value = 0;
  ReadBuffer(&value, 1);
  return value;
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::int64_t>(count, 65536)));
  std::int64_t left = count;
  while (left > 0) {
    std::int64_t n = std::min<std::int64_t>(left, static_cast<std::int64_t>(buffer.size()));
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    left -= n;
  }
  return count;
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
  if (count <= 0 || FPosition >= FData.size()) return 0;
  std::size_t n = std::min(static_cast<std::size_t>(count), FData.size() - FPosition);
  std::memcpy(buffer, FData.data() + FPosition, n);
  FPosition += n;
  return static_cast<std::int64_t>(n);
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  std::size_t n = static_cast<std::size_t>(count);
  if (FPosition + n > FData.size()) FData.resize(FPosition + n);
  std::memcpy(FData.data() + FPosition, buffer, n);
  FPosition += n;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = static_cast<std::int64_t>(FPosition);
  if (origin == TSeekOrigin::soEnd) base = static_cast<std::int64_t>(FData.size());
  std::int64_t target = base + offset;
  if (target < 0) throw EStreamError("Stream seek error");
  FPosition = static_cast<std::size_t>(target);
  return target;
}

void TMemoryStream::SetSize(std::int64_t size) {
  if (size < 0) throw EStreamError("Stream size cannot be negative");
  FData.resize(static_cast<std::size_t>(size));
  FPosition = std::min(FPosition, FData.size());
}

void TMemoryStream::Clear() {
  FData.clear();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  std::int64_t size = source.GetSize();
  FData.assign(static_cast<std::size_t>(size), 0);
  source.ReadBuffer(FData.data(), size);
  FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& dest) const {
  dest.WriteBuffer(FData.data(), static_cast<std::int64_t>(FData.size()));
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  FData = ReadFileBytes(fileName);
  FPosition = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
  WriteFileAtomically(fileName, FData.data(), FData.size());
}

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : FFileName(fileName) {
  int flags = O_CLOEXEC;
  bool creating = mode == fmCreate || mode == fmCreateNew;
  if (mode == fmCreate)
    flags |= O_RDWR | O_CREAT | O_TRUNC;
  else if (mode == fmCreateNew)
    flags |= O_RDWR | O_CREAT | O_EXCL;
  else if ((mode & 3) == fmOpenWrite)
    flags |= O_WRONLY;
  else if ((mode & 3) == fmOpenReadWrite)
    flags |= O_RDWR;
  else
    flags |= O_RDONLY;
  FHandle = ::open(fileName.c_str(), flags, 0644);
  if (FHandle >= 0) return;
  std::string reason = std::strerror(errno);
  if (creating) throw EFCreateError("Cannot create file \"" + fileName + "\": " + reason);
  throw EFOpenError("Cannot open file \"" + fileName + "\": " + reason);
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  std::int64_t done = 0;
  while (done < count) {
    ssize_t n = ::read(FHandle, bytes + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  std::int64_t done = 0;
  while (done < count) {
    ssize_t n = ::write(FHandle, bytes + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
               : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                  : SEEK_END;
  off_t result = ::lseek(FHandle, static_cast<off_t>(offset), whence);
  if (result < 0) throw EStreamError("Stream seek error");
  return result;
}

void TFileStream::SetSize(std::int64_t size) {
  if (::ftruncate(FHandle, static_cast<off_t>(size)) != 0)
    throw EStreamError("Cannot change the size of \"" + FFileName + "\"");
}

TDescriptor::~TDescriptor() {
  if (FHandle >= 0) ::close(FHandle);
}

int TDescriptor::Close() {
  const int result = ::close(FHandle);
  FHandle = -1;
  return result;
}

namespace {

std::string Quoted(const std::string& fileName) {
  return "\"" + fileName + "\"";
}

// The file a name stands for: the target when it is a symbolic link, so
// that a replaced file stays where the link points.
std::string ReplacedFile(const std::string& fileName) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_symlink(fs::symlink_status(fileName, error))) return fileName;
  const fs::path target = fs::weakly_canonical(fileName, error);
  return error ? fileName : target.string();
}

// A name beside the file that no other file has yet.
std::string TemporaryNameBeside(const std::string& fileName) {
  static thread_local std::mt19937_64 engine(std::random_device{}());
  return fileName + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(engine() % 1000000000);
}

}  // namespace

int WriteAllBytes(int handle, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(handle, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName, std::int64_t limit,
                                        const std::string& limitName) {
  TDescriptor file(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.Get() < 0) throw EFOpenError("Cannot open file " + Quoted(fileName) + ": " + std::strerror(errno));
  struct stat status {};
  if (::fstat(file.Get(), &status) == 0 && S_ISDIR(status.st_mode))
    throw EFOpenError("Cannot open file " + Quoted(fileName) + ": " + std::strerror(EISDIR));
  std::vector<std::uint8_t> bytes;
  // A regular file tells its size, and a file over the limit is refused
  // before it is read; others are checked as they come.
  if (S_ISREG(status.st_mode) && status.st_size <= limit)
    bytes.reserve(static_cast<std::size_t>(status.st_size));
  std::uint8_t chunk[65536];
  for (;;) {
    const ssize_t n = ::read(file.Get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError("Cannot read file " + Quoted(fileName) + ": " + std::strerror(errno));
    if (n == 0) break;
    if (static_cast<std::int64_t>(bytes.size()) + n > limit ||
        (S_ISREG(status.st_mode) && status.st_size > limit))
      throw ETooLargeAs<EReadError>(limitName, limit,
                                    "Cannot read file " + Quoted(fileName) + ": it is larger than " +
                                        std::to_string(limit) + " bytes");
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  return bytes;
}

void WriteFileAtomically(const std::string& fileName, const void* data, std::size_t size, int mode) {
  const std::string target = ReplacedFile(fileName);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode))
    throw EFCreateError("Cannot create file " + Quoted(fileName) + ": " + std::strerror(EISDIR));
  // The mode says so even to a user whom access() lets write anything.
  if (exists && ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0))
    throw EFCreateError("Cannot create file " + Quoted(fileName) + ": the file is read-only");
  // A pipe or a device (-o /dev/stdout) cannot be replaced, only written.
  const bool special = exists && !S_ISREG(existing.st_mode);
  std::string temporary;
  int handle = -1;
  if (special) {
    handle = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
  } else {
    for (int attempt = 0; attempt < 100 && handle < 0; ++attempt) {
      temporary = TemporaryNameBeside(target);
      handle = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
      if (handle < 0 && errno != EEXIST) break;
    }
  }
  if (handle < 0) throw EFCreateError("Cannot create file " + Quoted(fileName) + ": " + std::strerror(errno));
  TDescriptor file(handle);
  const auto failure = [&](int cause) {
    if (!special) ::unlink(temporary.c_str());
    return EWriteError("Cannot write file " + Quoted(fileName) + ": " + std::strerror(cause));
  };
  if (!special && (mode >= 0 || exists))
    ::fchmod(file.Get(), static_cast<mode_t>(mode >= 0 ? mode : existing.st_mode & 07777));
  if (const int cause = WriteAllBytes(file.Get(), data, size)) throw failure(cause);
  if (special) {
    if (file.Close() != 0) throw failure(errno);
    return;
  }
  // Replacing a file, the new bytes reach the disk before the name moves
  // to them, so that a crash cannot leave an empty file where a good one
  // was; a new file has nothing to lose and is spared the wait.
  if (exists && ::fsync(file.Get()) != 0) throw failure(errno);
  if (file.Close() != 0) throw failure(errno);
  if (::rename(temporary.c_str(), target.c_str()) != 0) throw failure(errno);
  if (!exists) return;
  // The new name reaches the disk with its folder.
  const std::string folder = std::filesystem::path(target).parent_path().string();
  TDescriptor directory(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.Get() >= 0) ::fsync(directory.Get());
}

bool WriteNewFile(const std::string& fileName, const void* data, std::size_t size) {
  const int handle = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (handle < 0 && errno == EEXIST) return false;
  if (handle < 0) throw EFCreateError("Cannot create file " + Quoted(fileName) + ": " + std::strerror(errno));
  TDescriptor file(handle);
  int cause = WriteAllBytes(file.Get(), data, size);
  if (file.Close() != 0 && cause == 0) cause = errno;
  if (cause == 0) return true;
  ::unlink(fileName.c_str());
  throw EWriteError("Cannot write file " + Quoted(fileName) + ": " + std::strerror(cause));
}

}  // namespace tavkit
