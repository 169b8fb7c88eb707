// Stream implementations: generic helpers, memory and POSIX file streams.
#include <tavkit/platform/base/Streams.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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
  TFileStream file(fileName, fmCreate);
  SaveToStream(file);
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

std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead);
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[65536];
  for (;;) {
    std::int64_t n = file.Read(chunk, sizeof chunk);
    if (n <= 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  return bytes;
}

}  // namespace tavkit
