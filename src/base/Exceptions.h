#pragma once
// Exception classes of the program. Every exception the program raises derives
// from Exception and carries the text the user sees; the application object's
// default report shows Message.
#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string msg) : Message(std::move(msg)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    std::string Message;
};

#define MB_EXCEPTION(Name, Base)                                   \
    class Name : public Base {                                     \
    public:                                                        \
        explicit Name(std::string msg) : Base(std::move(msg)) {}   \
    }

MB_EXCEPTION(EConvertError, Exception);
MB_EXCEPTION(EListError, Exception);          // "List index out of bounds (%d)"
MB_EXCEPTION(EAbstractError, Exception);      // "Abstract Error"
MB_EXCEPTION(EOutOfMemory, Exception);        // "Out of memory"
MB_EXCEPTION(EStreamError, Exception);
MB_EXCEPTION(EFOpenError, EStreamError);      // "Cannot open file %s"
MB_EXCEPTION(EFCreateError, EStreamError);    // "Cannot create file %s"
MB_EXCEPTION(EReadError, EStreamError);       // "Stream read error"
MB_EXCEPTION(EWriteError, EStreamError);      // "Stream write error"
MB_EXCEPTION(ESocketError, Exception);        // "Windows socket error: %s (%d), on API '%s'"

// Raises EListError for an index outside 0..count-1.
void CheckListIndex(long index, long count);
