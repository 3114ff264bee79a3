#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace evm::cli {

// Builds one JSON document; commas and nesting are kept track of, so a
// command only says what comes next. Non-finite numbers become null, as JSON
// has no spelling for them.
class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view key);
  JsonWriter& String(std::string_view text);
  JsonWriter& Number(double value);
  JsonWriter& Integer(int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  // The document and a line break.
  std::string Text() const { return text_ + "\n"; }

 private:
  void BeforeValue();

  std::string text_;
  // One entry per open object or array: whether it holds a member yet.
  std::vector<bool> hasMember_;
  bool afterKey_ = false;
};

std::string JsonQuoted(std::string_view text);

}  // namespace evm::cli
