// Byte streams: the abstract TStream with position and size, an in-memory
// stream and a file stream. ReadBuffer/WriteBuffer raise on short transfers;
// Read/Write report how much they moved.
//
// ```cpp
// TMemoryStream memory;
// memory.WriteString("GIF89a");
// memory.SaveToFile("header.bin");
// TFileStream file("header.bin", fmOpenRead);  // EFOpenError when it cannot be opened
// char signature[3];
// file.ReadBuffer(signature, 3);              // EReadError when fewer bytes are there
// std::vector<std::uint8_t> all = ReadFileBytes("header.bin");
// WriteFileAtomically("copy.bin", all.data(), all.size());  // all or nothing
// ```
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Objects.h>

namespace tavkit {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
 public:
  // Moves up to count bytes; returns how many were moved.
  virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
  virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
  // Returns the new position.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

  std::int64_t GetPosition() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  virtual std::int64_t GetSize();
  virtual void SetSize(std::int64_t size);

  // Reads exactly count bytes or raises EReadError ("Stream read error").
  void ReadBuffer(void* buffer, std::int64_t count);
  // Writes exactly count bytes or raises EWriteError ("Stream write error").
  void WriteBuffer(const void* buffer, std::int64_t count);
  void WriteString(const std::string& text) {
    WriteBuffer(text.data(), static_cast<std::int64_t>(text.size()));
  }
  std::uint8_t ReadByte();
  void WriteByte(std::uint8_t value) { WriteBuffer(&value, 1); }
  // Copies count bytes from source (all of it from its start when count is 0).
  std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> bytes) : FData(std::move(bytes)) {}

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t GetSize() override { return static_cast<std::int64_t>(FData.size()); }
  void SetSize(std::int64_t size) override;

  const std::uint8_t* Memory() const { return FData.data(); }
  std::uint8_t* Memory() { return FData.data(); }
  const std::vector<std::uint8_t>& Bytes() const { return FData; }
  std::string ToString() const { return std::string(FData.begin(), FData.end()); }
  void Clear();
  void LoadFromStream(TStream& source);
  void SaveToStream(TStream& dest) const;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

 private:
  std::vector<std::uint8_t> FData;
  std::size_t FPosition = 0;
};

// File open modes. fmCreate makes a new file or truncates an existing one;
// fmCreateNew fails when the file already exists, so nothing is overwritten.
enum TFileMode : unsigned {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmCreate = 0xFF00,
  fmCreateNew = 0xFE00,
};

class TFileStream : public TStream {
 public:
  // Raises EFCreateError or EFOpenError naming the file when it cannot be had.
  TFileStream(const std::string& fileName, unsigned mode);
  ~TFileStream() override;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t size) override;
  const std::string& FileName() const { return FFileName; }

 private:
  std::string FFileName;
  int FHandle = -1;
};

// Reads a whole file into memory: a regular file, or a pipe or a device,
// which is read to its end without seeking. Raises EFOpenError naming the
// file and the cause when it cannot be opened or is a folder, EReadError
// when reading fails, and ETooLargeAs<EReadError> naming limitName as soon
// as more than limit bytes have come (/dev/zero never ends).
std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName,
                                        std::int64_t limit = MaxReadFileSize,
                                        const std::string& limitName = "MaxReadFileSize");

// Makes the bytes the whole content of the file, all or nothing: they are
// written to a new file beside it, which replaces the file only once every
// byte is on disk, so a full disk or a crash leaves the old file as it was
// and no partial new one. A file that is a symbolic link has its target
// replaced. The file gets the permissions given (mode, such as 0600), or by
// default keeps its own, a new one 0644. Raises EFCreateError or
// EWriteError naming the file and the cause ("No space left on device"),
// and EFCreateError for an existing file that is read-only.
void WriteFileAtomically(const std::string& fileName, const void* data, std::size_t size,
                         int mode = -1);

// A file descriptor that closes itself.
class TDescriptor {
 public:
  explicit TDescriptor(int handle) : FHandle(handle) {}
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  ~TDescriptor();
  int Get() const { return FHandle; }
  // Closes now, answering the error close reports (a network file system
  // may report a failed write only here).
  int Close();

 private:
  int FHandle;
};

// Writes every byte to an open descriptor, going on after interruptions.
// Answers 0, or the cause of the failure (errno; ENOSPC when the system
// took no byte).
int WriteAllBytes(int handle, const void* data, std::size_t size);

// Creates the file with the bytes as its content, only when no file (or
// link) of that name exists: answers false then, and touches nothing. A
// file that cannot be written completely is removed again. Raises
// EFCreateError or EWriteError naming the file and the cause.
bool WriteNewFile(const std::string& fileName, const void* data, std::size_t size);

}  // namespace tavkit
