#pragma once
// A minimal JSON reader for the reference values stored beside the shared
// spectrometer files: objects, arrays, numbers, strings, true/false/null.

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace quorra::testing {

struct JsonValue {
  enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
  bool boolean = false;
  double number = 0.0;
  std::string text;
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  bool isNull() const { return kind == Kind::Null; }
  bool has(const std::string& key) const { return members.count(key) != 0 && !members.at(key).isNull(); }
  const JsonValue& operator[](const std::string& key) const {
    static const JsonValue null;
    const auto it = members.find(key);
    return it == members.end() ? null : it->second;
  }
};

class JsonParser {
 public:
  explicit JsonParser(std::string text) : text_(std::move(text)) {}

  JsonValue parse() {
    JsonValue value;
    skip();
    if (at('{')) {
      value.kind = JsonValue::Kind::Object;
      ++p_;
      skip();
      while (!at('}')) {
        const std::string key = parseString();
        skip();
        ++p_;  // ':'
        value.members[key] = parse();
        skip();
        if (at(',')) ++p_;
        skip();
      }
      ++p_;
    } else if (at('[')) {
      value.kind = JsonValue::Kind::Array;
      ++p_;
      skip();
      while (!at(']')) {
        value.items.push_back(parse());
        skip();
        if (at(',')) ++p_;
        skip();
      }
      ++p_;
    } else if (at('"')) {
      value.kind = JsonValue::Kind::String;
      value.text = parseString();
    } else if (text_.compare(p_, 4, "true") == 0 || text_.compare(p_, 5, "false") == 0) {
      value.kind = JsonValue::Kind::Bool;
      value.boolean = text_[p_] == 't';
      p_ += value.boolean ? 4 : 5;
    } else if (text_.compare(p_, 4, "null") == 0) {
      p_ += 4;
    } else {
      value.kind = JsonValue::Kind::Number;
      char* end = nullptr;
      value.number = std::strtod(text_.c_str() + p_, &end);
      p_ = static_cast<size_t>(end - text_.c_str());
    }
    return value;
  }

 private:
  bool at(char c) const { return p_ < text_.size() && text_[p_] == c; }
  void skip() {
    while (p_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[p_]))) ++p_;
  }
  std::string parseString() {
    std::string out;
    ++p_;  // opening quote
    while (p_ < text_.size() && text_[p_] != '"') {
      if (text_[p_] == '\\' && p_ + 1 < text_.size()) {
        ++p_;
        const char c = text_[p_];
        out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
      } else {
        out += text_[p_];
      }
      ++p_;
    }
    ++p_;
    return out;
  }

  std::string text_;
  size_t p_ = 0;
};

inline JsonValue readJsonFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return JsonParser(buffer.str()).parse();
}

}  // namespace quorra::testing
