#pragma once
// A small JSON reader and writer: enough for the settings tool and its tests.
// Strings are held as UTF-8; objects keep their members in input order.
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace json {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Value {
    enum Kind { Null, Bool, Number, String, Array, Object };

    Kind kind = Null;
    bool boolean = false;
    double number = 0;
    std::string text;                                    // String
    std::vector<Value> items;                            // Array
    std::vector<std::pair<std::string, Value>> members;  // Object

    static Value MakeNumber(double v);
    static Value MakeString(std::string utf8);
    static Value MakeArray();
    static Value MakeObject();

    // Object member access; nullptr when absent.
    const Value* Find(std::string_view name) const;
    // Appends a member to an object or an item to an array.
    Value& Add(std::string name, Value v);
    Value& Push(Value v);
};

const char* KindName(Value::Kind kind);

// Parses one JSON text (RFC 8259) with nothing but white space after it.
// Duplicate member names, invalid UTF-8 and nesting deeper than 64 levels are
// refused. Raises Error with the line and column of the fault.
Value Parse(std::string_view text);

// Writes `v` with two-space indentation and a final line feed. Numbers that
// are not finite are written as null.
std::string Write(const Value& v);

// ISO-8859-1 bytes to UTF-8, and back; the reverse raises Error for a
// character above U+00FF or malformed UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);
std::string Utf8ToLatin1(std::string_view utf8);

}  // namespace json
