// VbError: the one error type of Veldrane.
//
// Every layer (the VBScript engine, the database layer, the flow-chart model,
// the run driver) reports a failure as a VbError carrying the platform's
// error number, its description and the name of the component that raised it.
// Callers that must react to a particular failure test the number (91 missing
// object, 94 invalid use of Null, 3021 no current record, ...), never the text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace veldrane {

class VbError : public std::runtime_error {
 public:
  // An error with an explicit number and description. An empty description
  // takes the standard English text for the number, when there is one.
  VbError(int32_t number, std::string description = {}, std::string source = {});

  // The error number as the platform numbers it (5, 6, 9, 13, 91, 3021, ...).
  int32_t number() const { return number_; }
  // The description, as shown to users and written to logs.
  const std::string& description() const { return description_; }
  // The component that raised it ("Veldrane", "SQLite", "Microsoft VBScript runtime error", ...).
  const std::string& source() const { return source_; }
  void set_source(std::string source) { source_ = std::move(source); }

  // The standard English description of a platform error number, or an empty
  // string when the number has none.
  static std::string StandardDescription(int32_t number);

  // Named factories for the numbers the system tests or raises by value.
  static VbError InvalidCall(std::string detail = {});        // 5
  static VbError Overflow();                                  // 6
  static VbError SubscriptOutOfRange();                       // 9
  static VbError DivisionByZero();                            // 11
  static VbError TypeMismatch(std::string detail = {});       // 13
  static VbError ObjectNotSet();                              // 91
  static VbError InvalidUseOfNull();                          // 94
  static VbError ObjectRequired();                            // 424
  static VbError NotSupported(std::string_view member = {});  // 438
  static VbError WrongArgumentCount();                        // 450
  static VbError NotACollection();                            // 451
  static VbError DuplicateKey();                              // 457
  static VbError NoCurrentRecord();                           // 3021

 private:
  int32_t number_;
  std::string description_;
  std::string source_;
};

// Error numbers used by value across the code base.
namespace vberr {
inline constexpr int32_t kInvalidCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kDivisionByZero = 11;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kObjectRequired = 424;
inline constexpr int32_t kNotSupported = 438;
inline constexpr int32_t kWrongArgumentCount = 450;
inline constexpr int32_t kNotACollection = 451;
inline constexpr int32_t kDuplicateKey = 457;
inline constexpr int32_t kNoCurrentRecord = 3021;
inline constexpr int32_t kArgumentsWrongType = 3001;
inline constexpr int32_t kFileNotOpened = 3002;
inline constexpr int32_t kNotAllowedInContext = 3219;
inline constexpr int32_t kUpdateNotSupported = 3251;
inline constexpr int32_t kItemNotFound = 3265;
inline constexpr int32_t kObjectClosed = 3704;
inline constexpr int32_t kObjectOpen = 3705;
inline constexpr int32_t kProviderNotFound = 3706;
inline constexpr int32_t kConnectionUnusable = 3709;
inline constexpr int32_t kProviderCommandError = -2147217900;
inline constexpr int32_t kProviderIntegrityViolation = -2147217873;
}  // namespace vberr

}  // namespace veldrane
