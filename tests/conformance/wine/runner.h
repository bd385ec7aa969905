// The frame of the conformance program: named rows run one after the other against a platform::Os, one
// line per row and a closing count. The shared tables (conformance_cases.h) check with GoogleTest
// assertions; the backend's own cases record mismatches in an Expect. Neither stops at the first.
#pragma once

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/os.h"

namespace conformance {

class Expect {
 public:
  template <typename A, typename B>
  void Eq(const A& actual, const B& expected, const char* what) {
    if (actual == expected) return;
    std::ostringstream text;
    text << what << ": got " << Show(actual) << ", want " << Show(expected);
    failures_.push_back(text.str());
  }
  void True(bool condition, const char* what) {
    if (!condition) failures_.push_back(what);
  }
  const std::vector<std::string>& Failures() const { return failures_; }

 private:
  template <typename T>
  static std::string Show(const T& value) {
    std::ostringstream text;
    if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>)
      text << static_cast<std::int64_t>(value) << " (0x" << std::hex << static_cast<std::uint64_t>(value)
           << ")";
    else if constexpr (std::is_convertible_v<T, std::string>)
      text << '"' << Escaped(std::string(value)) << '"';
    else
      text << value;
    return text.str();
  }
  static std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c == '\0')
        out += "\\0";
      else if (static_cast<unsigned char>(c) < 0x20)
        out += "\\x" + std::string(1, "0123456789abcdef"[(c >> 4) & 0xF]) + "0123456789abcdef"[c & 0xF];
      else
        out.push_back(c);
    }
    return out;
  }
  std::vector<std::string> failures_;
};

// What a case may use: the backend, and a scratch folder of its own (with a trailing backslash) that the
// runner makes empty before the case and removes afterwards.
struct Environment {
  platform::Os& os;
  std::string scratch;
};

struct BackendCase {
  std::string name;
  std::function<void(Environment&, Expect&)> run;
};

// One line of the program's report: a row's mismatches, given the backend and an empty scratch folder.
struct Row {
  std::string name;
  // Wine is known not to behave as Windows here: a failure is reported but not counted.
  bool wineDiffers = false;
  std::function<std::vector<std::string>(platform::Os&, const std::string& scratch)> run;
};

// Runs the rows whose name contains `filter` (all for an empty one), prints "ok <name>",
// "FAILED <name>: <mismatch>" or "known Wine difference <name>: <mismatch>" lines and
// "<n> passed, <n> failed". Returns the number that failed.
int RunRows(const std::vector<Row>& rows, platform::Os& os, const std::string& scratchRoot,
            const std::string& filter);

}  // namespace conformance
