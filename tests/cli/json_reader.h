#pragma once

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace evm::test {

// A strict reader of one JSON document, so the tests can check evmctl's
// output parses and then look into it; no dependency beyond the standard
// library.
struct Json {
  enum class Type { Null, Bool, Number, String, Array, Object };
  Type type = Type::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> members;

  const Json& operator[](const std::string& key) const {
    static const Json kMissing;  // immutable: a read of an absent member
    const auto it = members.find(key);
    return it == members.end() ? kMissing : it->second;
  }
  const Json& operator[](size_t i) const { return items.at(i); }
  bool Has(const std::string& key) const { return members.count(key) != 0; }
};

class JsonReader {
 public:
  // nullopt unless `text` is exactly one JSON value (whitespace around it).
  static std::optional<Json> Parse(std::string_view text) {
    JsonReader r(text);
    Json value;
    if (!r.Value(value, 0)) return std::nullopt;
    r.Space();
    if (r.pos_ != text.size()) return std::nullopt;
    return value;
  }

 private:
  explicit JsonReader(std::string_view text) : s_(text) {}

  void Space() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t')) {
      ++pos_;
    }
  }
  bool Eat(char c) {
    Space();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view w) {
    if (s_.substr(pos_, w.size()) != w) return false;
    pos_ += w.size();
    return true;
  }

  bool Value(Json& v, int depth) {
    if (depth > 64) return false;
    Space();
    if (pos_ >= s_.size()) return false;
    const char c = s_[pos_];
    if (c == '{') return Object(v, depth);
    if (c == '[') return Array(v, depth);
    if (c == '"') {
      v.type = Json::Type::String;
      return String(v.text);
    }
    if (Word("true")) {
      v.type = Json::Type::Bool;
      v.boolean = true;
      return true;
    }
    if (Word("false")) {
      v.type = Json::Type::Bool;
      return true;
    }
    if (Word("null")) return true;
    return Number(v);
  }

  bool Object(Json& v, int depth) {
    v.type = Json::Type::Object;
    ++pos_;
    if (Eat('}')) return true;
    do {
      Space();
      std::string key;
      if (pos_ >= s_.size() || s_[pos_] != '"' || !String(key)) return false;
      if (!Eat(':')) return false;
      Json member;
      if (!Value(member, depth + 1)) return false;
      if (!v.members.emplace(key, std::move(member)).second) return false;  // duplicate key
    } while (Eat(','));
    return Eat('}');
  }

  bool Array(Json& v, int depth) {
    v.type = Json::Type::Array;
    ++pos_;
    if (Eat(']')) return true;
    do {
      Json item;
      if (!Value(item, depth + 1)) return false;
      v.items.push_back(std::move(item));
    } while (Eat(','));
    return Eat(']');
  }

  bool String(std::string& out) {
    ++pos_;  // the opening quote
    while (pos_ < s_.size()) {
      const char c = s_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) return false;
      const char e = s_[pos_++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          if (pos_ + 4 > s_.size()) return false;
          unsigned code = 0;
          for (int i = 0; i < 4; ++i) {
            const char h = s_[pos_++];
            if (!std::isxdigit(static_cast<unsigned char>(h))) return false;
            code = code * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(h))
                                                         ? h - '0'
                                                         : std::tolower(h) - 'a' + 10);
          }
          if (code >= 0x80) return false;  // evmctl escapes control characters only
          out += static_cast<char>(code);
          break;
        }
        default: return false;
      }
    }
    return false;
  }

  // The JSON number grammar: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
  bool Number(Json& v) {
    const size_t start = pos_;
    auto digits = [&] {
      const size_t from = pos_;
      while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
      return pos_ > from;
    };
    if (pos_ < s_.size() && s_[pos_] == '-') ++pos_;
    if (pos_ < s_.size() && s_[pos_] == '0') {
      ++pos_;
    } else if (!digits()) {
      return false;
    }
    if (pos_ < s_.size() && s_[pos_] == '.') {
      ++pos_;
      if (!digits()) return false;
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (!digits()) return false;
    }
    v.type = Json::Type::Number;
    v.number = std::strtod(std::string(s_.substr(start, pos_ - start)).c_str(), nullptr);
    return true;
  }

  std::string_view s_;
  size_t pos_ = 0;
};

}  // namespace evm::test
