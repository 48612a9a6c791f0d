// The system's exception classes below the UI. Every failure the program
// raises is an Exception (a TObject, so scripts can catch it by class) with a
// message text in Windows-1251.
#pragma once

#include <exception>
#include <string>

#include "object.h"

class Exception : public TObject, public std::exception {
  PX_CLASS(Exception, TObject)
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}

  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// A value of one class cannot be assigned to or converted into another.
class EConvertError : public Exception {
  PX_CLASS(EConvertError, Exception)
 public:
  using Exception::Exception;
};

// An index outside a list.
class EListError : public Exception {
  PX_CLASS(EListError, Exception)
 public:
  using Exception::Exception;
  // "List index out of bounds (N)"
  static EListError IndexOutOfBounds(long long index);
};

// Failures of the generic value's conversions.
class EVariantError : public Exception {
  PX_CLASS(EVariantError, Exception)
 public:
  using Exception::Exception;
};

class EVariantTypeCastError : public EVariantError {
  PX_CLASS(EVariantTypeCastError, EVariantError)
 public:
  using EVariantError::EVariantError;
};

class EVariantOverflowError : public EVariantError {
  PX_CLASS(EVariantOverflowError, EVariantError)
 public:
  using EVariantError::EVariantError;
};
