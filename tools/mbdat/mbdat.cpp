// mbdat: shows a settings file as JSON and makes a settings file from JSON.
//
//   mbdat dump FILE    print the file as JSON on stdout
//   mbdat make FILE    read JSON on stdin, write FILE
//
// Texts in the file are bytes of ISO-8859-1; in the JSON they are UTF-8, so
// every byte value comes through both ways. Exit status: 0 done, 1 the file
// or the input was refused (the reason on stderr), 2 wrong command line.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "Json.h"
#include "base/Exceptions.h"
#include "config/Settings.h"

namespace {

// Refused input; the text says where and why.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Kind { U8, I32, Text };
struct Field {
    const char* name;
    Kind kind;
    size_t offset;
};

// Every field of TAppSettings but Reserved, in record order.
const Field kSettingsFields[] = {
    {"ModelFlags", Kind::U8, TAppSettings::oModelFlags},
    {"OptionFlags", Kind::U8, TAppSettings::oOptionFlags},
    {"ConnectionType", Kind::U8, TAppSettings::oConnectionType},
    {"DialMode", Kind::U8, TAppSettings::oDialMode},
    {"IntervalKind", Kind::U8, TAppSettings::oIntervalKind},
    {"LanCheckMinutes", Kind::I32, TAppSettings::oLanCheckMinutes},
    {"DialEntryName", Kind::Text, TAppSettings::oDialEntryName},
    {"DialCheckHours", Kind::I32, TAppSettings::oDialCheckHours},
    {"DialCheckMinutes", Kind::I32, TAppSettings::oDialCheckMinutes},
    {"RedialCount", Kind::I32, TAppSettings::oRedialCount},
    {"SpareText1", Kind::Text, TAppSettings::oSpareText1},
    {"WaveFileName", Kind::Text, TAppSettings::oWaveFileName},
    {"SpareText2", Kind::Text, TAppSettings::oSpareText2},
    {"TuneNumber", Kind::I32, TAppSettings::oTuneNumber},
    {"MiddleFunction", Kind::I32, TAppSettings::oMiddleFunction},
    {"EmailProgram", Kind::Text, TAppSettings::oEmailProgram},
    {"BrowserProgram", Kind::Text, TAppSettings::oBrowserProgram},
};
const Field kAccountFields[] = {
    {"PopServer", Kind::Text, TAccountData::oPopServer},
    {"UserName", Kind::Text, TAccountData::oUserName},
    {"Password", Kind::Text, TAccountData::oPassword},
};
const Field kFilterFields[] = {
    {"Address", Kind::Text, TFilterData::oAddress},
};

// ---------------------------------------------------------------------------
// dump

json::Value FieldValue(const uint8_t* rec, const Field& f) {
    switch (f.kind) {
        case Kind::U8: return json::Value::MakeNumber(rec[f.offset]);
        case Kind::I32: return json::Value::MakeNumber(GetI32(rec + f.offset));
        case Kind::Text: return json::Value::MakeString(json::Latin1ToUtf8(GetShortStr(rec + f.offset)));
    }
    return {};
}

template <size_t N>
void AddFields(json::Value& obj, const uint8_t* rec, const Field (&fields)[N]) {
    for (const Field& f : fields) obj.Add(f.name, FieldValue(rec, f));
}

int Dump(const std::string& fileName) {
    SetSettingsFileName(fileName);
    try {
        LoadSettings();
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message.c_str());
        return 1;
    }
    json::Value doc = json::Value::MakeObject();
    doc.Add("FirstRun", json::Value::MakeNumber(SettingsHeader.FirstRun()));
    doc.Add("Version", json::Value::MakeNumber(SettingsHeader.Version()));
    doc.Add("RecordSize", json::Value::MakeNumber(SettingsHeader.RecordSize()));
    doc.Add("SaveTime", json::Value::MakeNumber(SettingsHeader.SaveTime()));
    json::Value& reserved = doc.Add("Reserved", json::Value::MakeArray());
    for (size_t k = 0; k < TAppSettings::ReservedSize; ++k)
        reserved.Push(json::Value::MakeNumber(AppSettings.Reserved()[k]));
    AddFields(doc, AppSettings.Bytes, kSettingsFields);
    json::Value& accounts = doc.Add("Accounts", json::Value::MakeArray());
    for (int i = 0; i < AccountHolder.Count(); ++i)
        AddFields(accounts.Push(json::Value::MakeObject()), AccountHolder.Get(i).Data(), kAccountFields);
    json::Value& filters = doc.Add("Filters", json::Value::MakeArray());
    for (int i = 0; i < FilterHolder.Count(); ++i)
        AddFields(filters.Push(json::Value::MakeObject()), FilterHolder.Get(i).Data(), kFilterFields);

    const std::string out = json::Write(doc);
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "mbdat: cannot write the output\n");
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// make

const json::Value& Expect(const json::Value& v, json::Value::Kind kind, const std::string& where) {
    if (v.kind != kind)
        throw InputError(where + ": expected " + json::KindName(kind) + ", found " + json::KindName(v.kind));
    return v;
}

long long Integer(const json::Value& v, long long lo, long long hi, const std::string& where) {
    Expect(v, json::Value::Number, where);
    if (std::floor(v.number) != v.number || v.number < static_cast<double>(lo) || v.number > static_cast<double>(hi))
        throw InputError(where + ": expected a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
    return static_cast<long long>(v.number);
}

std::string Text(const json::Value& v, const std::string& where) {
    Expect(v, json::Value::String, where);
    std::string bytes;
    try {
        bytes = json::Utf8ToLatin1(v.text);
    } catch (const json::Error& e) {
        throw InputError(where + ": " + e.what());
    }
    if (bytes.size() > 255) throw InputError(where + ": text longer than 255 characters");
    return bytes;
}

void SetField(uint8_t* rec, const Field& f, const json::Value& v, const std::string& where) {
    switch (f.kind) {
        case Kind::U8: rec[f.offset] = static_cast<uint8_t>(Integer(v, 0, 255, where)); break;
        case Kind::I32: PutI32(rec + f.offset, static_cast<int32_t>(Integer(v, INT32_MIN, INT32_MAX, where))); break;
        case Kind::Text: SetShortStr(rec + f.offset, Text(v, where)); break;
    }
}

template <size_t N>
const Field* FindField(const Field (&fields)[N], const std::string& name) {
    for (const Field& f : fields)
        if (name == f.name) return &f;
    return nullptr;
}

// Fills `rec` from the members of `obj`; a member that is not a field is refused.
template <size_t N>
void SetRecord(uint8_t* rec, const json::Value& obj, const Field (&fields)[N], const std::string& where) {
    Expect(obj, json::Value::Object, where);
    for (const auto& [name, value] : obj.members) {
        const Field* f = FindField(fields, name);
        if (!f) throw InputError(where + ": unknown field \"" + name + "\"");
        SetField(rec, *f, value, where + "." + name);
    }
}

template <class Holder, size_t N>
void SetList(Holder& holder, const json::Value& list, const Field (&fields)[N], const std::string& where) {
    Expect(list, json::Value::Array, where);
    for (size_t k = 0; k < list.items.size(); ++k) {
        auto rec = holder.New();
        rec.ReservedFlag() = 1;
        SetRecord(rec.Data(), list.items[k], fields, where + "[" + std::to_string(k) + "]");
    }
}

int Make(const std::string& fileName) {
    const std::string input{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
    if (std::cin.bad()) {
        std::fprintf(stderr, "mbdat: cannot read the input\n");
        return 1;
    }

    TSettingsFileHeader header;
    TAppSettings settings;
    TEMailAccountHolder accounts;
    TEmailFilterHolder filters;
    header.FirstRun() = 1;
    header.SetVersion(SettingsVersion);
    header.SetRecordSize(SettingsRecordSize);
    header.SetSaveTime(0);
    try {
        json::Value doc;
        try {
            doc = json::Parse(input);
        } catch (const json::Error& e) {
            throw InputError(std::string("JSON error at ") + e.what());
        }
        Expect(doc, json::Value::Object, "input");
        for (const auto& [name, value] : doc.members) {
            if (name == "FirstRun") {
                header.FirstRun() = static_cast<uint8_t>(Integer(value, 0, 255, name));
            } else if (name == "Version") {
                header.SetVersion(static_cast<int32_t>(Integer(value, INT32_MIN, INT32_MAX, name)));
            } else if (name == "RecordSize") {
                Integer(value, SettingsRecordSize, SettingsRecordSize, name);
            } else if (name == "SaveTime") {
                header.SetSaveTime(Expect(value, json::Value::Number, name).number);
            } else if (name == "Reserved") {
                Expect(value, json::Value::Array, name);
                if (value.items.size() != TAppSettings::ReservedSize)
                    throw InputError("Reserved: expected a list of 8 numbers");
                for (size_t k = 0; k < TAppSettings::ReservedSize; ++k)
                    settings.Reserved()[k] = static_cast<uint8_t>(
                        Integer(value.items[k], 0, 255, "Reserved[" + std::to_string(k) + "]"));
            } else if (name == "Accounts") {
                SetList(accounts, value, kAccountFields, name);
            } else if (name == "Filters") {
                SetList(filters, value, kFilterFields, name);
            } else if (const Field* f = FindField(kSettingsFields, name)) {
                SetField(settings.Bytes, *f, value, name);
            } else {
                throw InputError("unknown field \"" + name + "\"");
            }
        }
    } catch (const InputError& e) {
        std::fprintf(stderr, "mbdat: %s\n", e.what());
        return 1;
    }

    try {
        WriteSettingsFile(fileName, header, settings, accounts, filters);
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message.c_str());
        return 1;
    }
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: mbdat dump FILE    print the settings file as JSON\n"
                 "       mbdat make FILE    write a settings file from JSON on stdin\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Bytes in and out as they are.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (argc != 3) return Usage();
    const std::string command = argv[1];
    try {
        if (command == "dump") return Dump(argv[2]);
        if (command == "make") return Make(argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mbdat: %s\n", e.what());
        return 1;
    }
    return Usage();
}
