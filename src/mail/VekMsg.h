#pragma once
// One retrieved e-mail message, parsed into header fields, text lines and
// attachments, and the list of the messages of one mailbox check.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mail/vek_util.h"

enum TPriority { prHighest, prHigh, prNormal, prLow, prLowest };
enum TTextEncoding { te8Bit, teBase64 };

class TAttachedFile {
public:
    std::string FileName;  // without any path (after the last "\" or ":")
    std::string PathName;  // the name as given
    TMailLines EncodedLines;
    std::string Data;      // the decoded content
    std::string MimeType;
};

class TAttachedFiles {
public:
    // Appends an item with FileName, PathName and MimeType filled.
    TAttachedFile& Add(std::string_view Name);
    int Count() const { return static_cast<int>(List.size()); }
    TAttachedFile& Items(int Index);  // 0-based; EListError outside the list
    void Clear() { List.clear(); }

private:
    std::vector<std::unique_ptr<TAttachedFile>> List;
};

class TVekMsg {
public:
    TPriority Priority = prNormal;
    std::string UserName;
    std::string From;
    std::string MsgSender;
    std::string MessageId;
    std::string InReplyTo;
    std::string ReturnPath;
    std::string ReplyTo;
    std::string SendTo;
    std::string CC;
    std::string BCC;
    std::string Date;
    std::string Subject;
    TMailLines Text;
    TMailLines ExtraHeaders;
    TAttachedFiles Attachments;
    std::string ContentType;              // upper case, without parameters
    std::string ContentTransferEncoding;  // upper case
    TMailLines Headers;                   // the header lines as received
    std::string CharSet = "ISO-8859-1";
    int32_t Size = 0;
    std::string UniqueId;
    TMailLines RawMail;
    bool ClearRawMailAfterParse = true;
    TTextEncoding TextEncoding = te8Bit;
    std::string FromEmailAddress;

    // Copies the lines into RawMail and parses them.
    void SetRawMail(const TMailLines& Lines);
    void SetRawMail(TMailLines&& Lines);  // the same, taking the lines over
    void Parse();

private:
    void ParseHeaders();
    void ParseBody(TMailLines Lines, int Depth);
    void SaveAttachment(const TMailLines& Lines, const std::string& CT, std::string FN, const std::string& Enc);
};

// The messages of one check, in mailbox order. The list owns its messages.
class TVekMsgList {
public:
    ~TVekMsgList() { Clear(); }
    void Clear();  // frees every message, the last first
    int Count() const { return static_cast<int>(List.size()); }
    TVekMsg& Items(int Index);  // 0-based; EListError outside the list
    void Add(std::unique_ptr<TVekMsg> Msg);
    void Delete(int Index);  // frees that message

private:
    std::vector<std::unique_ptr<TVekMsg>> List;
};

// Parts nested deeper than this (multipart in multipart, embedded messages)
// are taken as plain text, which keeps the recursion and its copies bounded.
constexpr int kMaxPartDepth = 20;

// Pieces of the body parse, open to tests.
struct TPartInfo {
    std::string CT;   // content type, upper case, "TEXT/PLAIN" when absent
    std::string Enc;  // transfer encoding, upper case, "7BIT" when absent
    std::string FN;   // file name of the part, empty when it has none
};
TPartInfo GetPartInfo(const TMailLines& Lines);
// Drops the header lines and the empty lines that follow them.
void StripHeaders(TMailLines& Lines);
// Appends the leaf parts of a multipart text (nested ones split too) to Parts;
// a text that is not multipart is one leaf.
void SplitMultipart(std::string_view Text, std::vector<TMailLines>& Parts, int Depth = 0);
// "--" followed by the boundary parameter of a Content-Type line.
std::string GetBoundary(std::string_view Line);
// The first uuencode begin line; Name is its file name part.
bool FindUUBegin(const TMailLines& Lines, int& Index, std::string& Name);
// The value of a uuencoded character; raises Exception "Oops..." for a
// character outside the table.
uint8_t DecodeUUChar(char C);
void DecodeBase64Attachment(TAttachedFile& Item);
void UUDecode(TAttachedFile& Item);
