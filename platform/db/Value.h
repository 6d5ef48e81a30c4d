// parlix::db values, errors and date helpers.
//
// Value      one field value: Null, 64-bit integer, double or UTF-8 text. Typed
//            getters turn Null into 0 / "" / false (Lock: Null counts as free);
//            ask isNull() to tell them apart. Booleans are stored as 0/1.
// DbError    every database failure; number() carries an ADO-like error number
//            so callers can log it as the programs' error records expect.
//   OpenError         open failed: kind() MissingFile, WrongKey (wrong key or not
//                     a database), Locked, Other.
//   BusyError         the file stayed locked longer than the busy time-out.
//   RowConflictError  optimistic update/delete found the row changed, claimed or
//                     deleted by another program since it was read:
//                     "row is being processed elsewhere". number() is
//                     0x80040E21 (changed/claimed) or 0x80040E38 (gone).
// Dates      stored as text "YYYY-MM-DD HH:MM:SS" in local time; these strings
//            compare correctly as text.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace parlix::db {

class Value {
public:
    enum class Type { Null, Integer, Real, Text };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : v_(static_cast<std::int64_t>(b ? 1 : 0)) {}
    Value(int i) : v_(static_cast<std::int64_t>(i)) {}
    Value(long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(long long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(unsigned i) : v_(static_cast<std::int64_t>(i)) {}
    Value(unsigned long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(unsigned long long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(double d) : v_(d) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(std::string_view s) : v_(std::string(s)) {}
    Value(const char* s) : v_(std::string(s ? s : "")) {}
    template <class T>
    Value(const std::optional<T>& o) {
        if (o) *this = Value(*o);
    }

    Type type() const { return static_cast<Type>(v_.index()); }
    bool isNull() const { return v_.index() == 0; }

    std::int64_t asInt() const;   // Null -> 0; text parsed leniently (leading number)
    double asDouble() const;      // Null -> 0.0
    std::string asText() const;   // Null -> ""; numbers in plain decimal form
    bool asBool() const;          // Null -> false; non-zero / "true" / "yes" -> true

    // Exact equality (type and value); used for optimistic checks.
    bool operator==(const Value& o) const { return v_ == o.v_; }

private:
    std::variant<std::monostate, std::int64_t, double, std::string> v_;
};

class DbError : public std::runtime_error {
public:
    explicit DbError(const std::string& what, long number = 0, int sqliteCode = 0)
        : std::runtime_error(what), number_(number), sqliteCode_(sqliteCode) {}
    long number() const { return number_; }
    int sqliteCode() const { return sqliteCode_; }

private:
    long number_;
    int sqliteCode_;
};

class OpenError : public DbError {
public:
    enum class Kind { MissingFile, WrongKey, Locked, Other };
    OpenError(Kind kind, const std::string& what, int sqliteCode = 0)
        : DbError(what, 0, sqliteCode), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

class BusyError : public DbError {
public:
    using DbError::DbError;
};

class RowConflictError : public DbError {
public:
    static constexpr long kChanged = static_cast<long>(static_cast<std::int32_t>(0x80040E21u));
    static constexpr long kGone = static_cast<long>(static_cast<std::int32_t>(0x80040E38u));
    explicit RowConflictError(bool gone)
        : DbError("row is being processed elsewhere", gone ? kGone : kChanged), gone_(gone) {}
    bool rowGone() const { return gone_; }

private:
    bool gone_;
};

using TimePoint = std::chrono::system_clock::time_point;

// "YYYY-MM-DD HH:MM:SS" in local time (seconds truncated).
std::string formatDateTime(TimePoint t);
// Parses "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DD" (midnight) as local time;
// nullopt for anything else or an impossible date.
std::optional<TimePoint> parseDateTime(std::string_view text);
// Bounds of the calendar day that holds t: "YYYY-MM-DD 00:00:00" / "... 23:59:59".
std::string dayStart(TimePoint t);
std::string dayEnd(TimePoint t);

}  // namespace parlix::db
