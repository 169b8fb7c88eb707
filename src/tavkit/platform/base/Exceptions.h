// The exception classes of the host framework. Every failure of the library is
// one of these (or a subclass of the library's own), carrying its message text.
//
// ```cpp
// TWvCGI cgi(nullptr);
// try {
//   cgi.Send("<HTML></HTML>");
// } catch (const EInOutError& error) {        // standard output is gone
//   std::cerr << error.Message() << " (" << error.ErrorCode << ")\n";
// } catch (const Exception& error) {          // anything else the library refuses
//   std::cerr << error.what() << "\n";
// }
// ```
#pragma once

#include <exception>
#include <string>

namespace tavkit {

// The framework's general exception: a message and nothing else.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}
  const char* what() const noexcept override { return FMessage.c_str(); }
  const std::string& Message() const { return FMessage; }

 private:
  std::string FMessage;
};

// An index outside a list, string list or collection.
class EListError : public Exception {
 public:
  using Exception::Exception;
};

// A failed read or write of a file or of standard input/output; ErrorCode is
// the operating system's error number (0 when there is none).
class EInOutError : public Exception {
 public:
  EInOutError(std::string message, int errorCode = 0)
      : Exception(std::move(message)), ErrorCode(errorCode) {}
  int ErrorCode;
};

// A picture whose data cannot be understood; base of the GIF codec's errors.
class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};

// An allocation refused, or a size beyond what the library accepts.
class EOutOfMemory : public Exception {
 public:
  using Exception::Exception;
};

// Streams: reading past the end, writing to a read-only stream, files that
// cannot be opened or created.
class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// A text that cannot be converted to the value asked for.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// Misuse of a thread, such as a thread waiting for itself to end.
class EThread : public Exception {
 public:
  using Exception::Exception;
};

// The silent exception: it ends an operation that the user cancelled (a
// progress handler saying "stop") and is not reported as an error.
class EAbort : public Exception {
 public:
  using Exception::Exception;
};

// Raises EListError with the framework's text for a bad index.
[[noreturn]] void ListIndexError(long index);

}  // namespace tavkit
