// What a failure says, kept apart from the language it is said in: a pattern in
// English with named holes ("truncated at byte offset {offset}: need {need}
// bytes, {left} left") and what goes into each hole. A value (a number, a file
// name, the system's own words) goes in as it is; a hole may also hold another
// message, said in the same language. The English pattern is also the key under
// which a catalogue keeps the pattern's other languages, so the code that finds
// a failure only ever writes English, and a front end says it in its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly {

class Message {
 public:
  Message() = default;
  // A pattern, its holes filled by `Set`.
  explicit Message(std::string pattern) : text_(std::move(pattern)) {}

  // A value said as it is, in every language.
  static Message Value(std::string text) {
    Message m(std::move(text));
    m.value_ = true;
    return m;
  }
  static Message Value(long long n) { return Value(std::to_string(n)); }

  Message& Set(std::string name, Message m) & {
    args_.emplace_back(std::move(name), std::move(m));
    return *this;
  }
  Message&& Set(std::string name, Message m) && { return std::move(Set(std::move(name), std::move(m))); }
  Message& Set(std::string name, std::string value) & { return Set(std::move(name), Value(std::move(value))); }
  Message&& Set(std::string name, std::string value) && {
    return std::move(Set(std::move(name), Value(std::move(value))));
  }
  Message& Set(std::string name, long long n) & { return Set(std::move(name), Value(n)); }
  Message&& Set(std::string name, long long n) && { return std::move(Set(std::move(name), Value(n))); }

  bool empty() const { return text_.empty(); }
  bool IsValue() const { return value_; }
  // The pattern (or the value).
  const std::string& Pattern() const { return text_; }
  const std::vector<std::pair<std::string, Message>>& Args() const { return args_; }

  // Said with `patternOf(pattern)` for each pattern (the English one where it
  // gives an empty view), the holes filled.
  template <typename PatternOf>
  std::string Say(const PatternOf& patternOf) const {
    if (value_) return text_;
    std::string_view p = patternOf(text_);
    if (p.empty()) p = text_;
    std::string out;
    for (std::size_t i = 0; i < p.size();) {
      const std::size_t open = p.find('{', i);
      if (open == std::string_view::npos) {
        out.append(p.substr(i));
        break;
      }
      const std::size_t close = p.find('}', open);
      if (close == std::string_view::npos) {
        out.append(p.substr(i));
        break;
      }
      out.append(p.substr(i, open - i));
      const std::string_view name = p.substr(open + 1, close - open - 1);
      const Message* arg = Find(name);
      if (arg) {
        out += arg->Say(patternOf);
      } else {
        out.append(p.substr(open, close - open + 1));  // a hole nobody filled shows as it is
      }
      i = close + 1;
    }
    return out;
  }
  std::string English() const {
    return Say([](const std::string&) { return std::string_view(); });
  }

 private:
  const Message* Find(std::string_view name) const {
    for (const auto& [n, m] : args_) {
      if (n == name) return &m;
    }
    return nullptr;
  }

  std::string text_;
  std::vector<std::pair<std::string, Message>> args_;
  bool value_ = false;
};

}  // namespace tessaly
