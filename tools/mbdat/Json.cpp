#include "Json.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace json {

Value Value::MakeNumber(double v) {
    Value r;
    r.kind = Number;
    r.number = v;
    return r;
}

Value Value::MakeString(std::string utf8) {
    Value r;
    r.kind = String;
    r.text = std::move(utf8);
    return r;
}

Value Value::MakeArray() {
    Value r;
    r.kind = Array;
    return r;
}

Value Value::MakeObject() {
    Value r;
    r.kind = Object;
    return r;
}

const Value* Value::Find(std::string_view name) const {
    for (const auto& m : members)
        if (m.first == name) return &m.second;
    return nullptr;
}

Value& Value::Add(std::string name, Value v) {
    members.emplace_back(std::move(name), std::move(v));
    return members.back().second;
}

Value& Value::Push(Value v) {
    items.push_back(std::move(v));
    return items.back();
}

const char* KindName(Value::Kind kind) {
    switch (kind) {
        case Value::Null: return "null";
        case Value::Bool: return "a boolean";
        case Value::Number: return "a number";
        case Value::String: return "a string";
        case Value::Array: return "a list";
        case Value::Object: return "an object";
    }
    return "?";
}

// ---------------------------------------------------------------------------
// UTF-8

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at s[i]; advances i. Returns false when malformed
// (overlong forms, surrogates and values above U+10FFFF included).
bool DecodeUtf8(std::string_view s, size_t& i, uint32_t& cp) {
    const auto b0 = static_cast<uint8_t>(s[i]);
    int extra;
    uint32_t min;
    if (b0 < 0x80) {
        cp = b0;
        ++i;
        return true;
    } else if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
        return false;
    }
    if (i + static_cast<size_t>(extra) >= s.size()) return false;
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<uint8_t>(s[i + static_cast<size_t>(k)]);
        if ((b & 0xC0) != 0x80) return false;
        cp = cp << 6 | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += static_cast<size_t>(extra) + 1;
    return true;
}

}  // namespace

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) AppendUtf8(out, static_cast<uint8_t>(c));
    return out;
}

std::string Utf8ToLatin1(std::string_view utf8) {
    std::string out;
    size_t i = 0;
    while (i < utf8.size()) {
        uint32_t cp;
        if (!DecodeUtf8(utf8, i, cp)) throw Error("malformed UTF-8");
        if (cp > 0xFF) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "character U+%04X is not in ISO-8859-1", static_cast<unsigned>(cp));
            throw Error(buf);
        }
        out += static_cast<char>(cp);
    }
    return out;
}

// ---------------------------------------------------------------------------
// Reader

namespace {

class Parser {
public:
    explicit Parser(std::string_view text) : s(text) {}

    Value Document() {
        SkipSpace();
        Value v = ParseValue(0);
        SkipSpace();
        if (pos != s.size()) Fail("unexpected text after the value");
        return v;
    }

private:
    std::string_view s;
    size_t pos = 0;

    [[noreturn]] void Fail(const std::string& what) const {
        size_t line = 1, col = 1;
        for (size_t k = 0; k < pos && k < s.size(); ++k) {
            if (s[k] == '\n') {
                ++line;
                col = 1;
            } else {
                ++col;
            }
        }
        throw Error("line " + std::to_string(line) + ", column " + std::to_string(col) + ": " + what);
    }

    void SkipSpace() {
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t' || s[pos] == '\n' || s[pos] == '\r')) ++pos;
    }

    bool Take(char c) {
        if (pos < s.size() && s[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }

    void Expect(char c) {
        if (!Take(c)) Fail(std::string("expected '") + c + "'");
    }

    Value ParseValue(int depth) {
        if (depth > 64) Fail("nesting too deep");
        if (pos >= s.size()) Fail("unexpected end of input");
        const char c = s[pos];
        if (c == '{') return ParseObject(depth);
        if (c == '[') return ParseArray(depth);
        if (c == '"') return Value::MakeString(ParseString());
        if (c == '-' || (c >= '0' && c <= '9')) return ParseNumber();
        if (Word("true")) {
            Value v;
            v.kind = Value::Bool;
            v.boolean = true;
            return v;
        }
        if (Word("false")) {
            Value v;
            v.kind = Value::Bool;
            return v;
        }
        if (Word("null")) return Value();
        Fail("expected a value");
    }

    bool Word(std::string_view w) {
        if (s.substr(pos, w.size()) != w) return false;
        pos += w.size();
        return true;
    }

    Value ParseObject(int depth) {
        Value v = Value::MakeObject();
        ++pos;
        SkipSpace();
        if (Take('}')) return v;
        for (;;) {
            SkipSpace();
            if (pos >= s.size() || s[pos] != '"') Fail("expected a member name");
            const size_t at = pos;
            std::string name = ParseString();
            if (v.Find(name)) {
                pos = at;
                Fail("member \"" + name + "\" appears twice");
            }
            SkipSpace();
            Expect(':');
            SkipSpace();
            Value item = ParseValue(depth + 1);
            v.Add(std::move(name), std::move(item));
            SkipSpace();
            if (Take('}')) return v;
            Expect(',');
        }
    }

    Value ParseArray(int depth) {
        Value v = Value::MakeArray();
        ++pos;
        SkipSpace();
        if (Take(']')) return v;
        for (;;) {
            SkipSpace();
            v.Push(ParseValue(depth + 1));
            SkipSpace();
            if (Take(']')) return v;
            Expect(',');
        }
    }

    uint32_t Hex4() {
        if (pos + 4 > s.size()) Fail("incomplete \\u escape");
        uint32_t r = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = s[pos++];
            r <<= 4;
            if (c >= '0' && c <= '9')
                r |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                r |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                r |= static_cast<uint32_t>(c - 'A' + 10);
            else
                Fail("bad \\u escape");
        }
        return r;
    }

    std::string ParseString() {
        ++pos;  // the opening quote
        std::string out;
        for (;;) {
            if (pos >= s.size()) Fail("unterminated string");
            const auto c = static_cast<uint8_t>(s[pos]);
            if (c == '"') {
                ++pos;
                return out;
            }
            if (c < 0x20) Fail("control character in a string");
            if (c == '\\') {
                ++pos;
                if (pos >= s.size()) Fail("unterminated string");
                const char e = s[pos++];
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
                        uint32_t cp = Hex4();
                        if (cp >= 0xD800 && cp <= 0xDBFF) {
                            if (!Word("\\u")) Fail("lone surrogate in \\u escape");
                            const uint32_t lo = Hex4();
                            if (lo < 0xDC00 || lo > 0xDFFF) Fail("lone surrogate in \\u escape");
                            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                            Fail("lone surrogate in \\u escape");
                        }
                        AppendUtf8(out, cp);
                        break;
                    }
                    default: --pos; Fail("bad escape");
                }
                continue;
            }
            uint32_t cp;
            const size_t start = pos;
            if (!DecodeUtf8(s, pos, cp)) Fail("malformed UTF-8 in a string");
            out.append(s.substr(start, pos - start));
        }
    }

    Value ParseNumber() {
        const size_t start = pos;
        Take('-');
        if (Take('0')) {
        } else if (pos < s.size() && s[pos] >= '1' && s[pos] <= '9') {
            while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') ++pos;
        } else {
            Fail("bad number");
        }
        if (Take('.')) {
            if (!(pos < s.size() && s[pos] >= '0' && s[pos] <= '9')) Fail("bad number");
            while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') ++pos;
        }
        if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
            ++pos;
            if (!Take('+')) Take('-');
            if (!(pos < s.size() && s[pos] >= '0' && s[pos] <= '9')) Fail("bad number");
            while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') ++pos;
        }
        const std::string lexeme(s.substr(start, pos - start));
        const double v = std::strtod(lexeme.c_str(), nullptr);
        if (!std::isfinite(v)) {
            pos = start;
            Fail("number out of range");
        }
        return Value::MakeNumber(v);
    }
};

void Quote(std::string& out, std::string_view utf8) {
    out += '"';
    for (char ch : utf8) {
        const auto c = static_cast<uint8_t>(ch);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
}

void WriteNumber(std::string& out, double v) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

void WriteValue(std::string& out, const Value& v, int indent) {
    const std::string pad(static_cast<size_t>(indent + 2), ' ');
    switch (v.kind) {
        case Value::Null: out += "null"; break;
        case Value::Bool: out += v.boolean ? "true" : "false"; break;
        case Value::Number: WriteNumber(out, v.number); break;
        case Value::String: Quote(out, v.text); break;
        case Value::Array: {
            // Lists of plain numbers stay on one line.
            bool flat = true;
            for (const auto& item : v.items) flat = flat && item.kind == Value::Number;
            if (v.items.empty()) {
                out += "[]";
            } else if (flat) {
                out += '[';
                for (size_t k = 0; k < v.items.size(); ++k) {
                    if (k) out += ", ";
                    WriteNumber(out, v.items[k].number);
                }
                out += ']';
            } else {
                out += "[\n";
                for (size_t k = 0; k < v.items.size(); ++k) {
                    out += pad;
                    WriteValue(out, v.items[k], indent + 2);
                    out += k + 1 < v.items.size() ? ",\n" : "\n";
                }
                out.append(static_cast<size_t>(indent), ' ');
                out += ']';
            }
            break;
        }
        case Value::Object: {
            if (v.members.empty()) {
                out += "{}";
                break;
            }
            out += "{\n";
            for (size_t k = 0; k < v.members.size(); ++k) {
                out += pad;
                Quote(out, v.members[k].first);
                out += ": ";
                WriteValue(out, v.members[k].second, indent + 2);
                out += k + 1 < v.members.size() ? ",\n" : "\n";
            }
            out.append(static_cast<size_t>(indent), ' ');
            out += '}';
            break;
        }
    }
}

}  // namespace

Value Parse(std::string_view text) { return Parser(text).Document(); }

std::string Write(const Value& v) {
    std::string out;
    WriteValue(out, v, 0);
    out += '\n';
    return out;
}

}  // namespace json
