// TVekMsg: header parse, body parse, attachments; TVekMsgList.
#include "mail/VekMsg.h"

#include "base/Exceptions.h"
#include "base/Strings.h"
#include "mail/VekMIME.h"

namespace {

void Append(TMailLines& to, const TMailLines& lines) { to.insert(to.end(), lines.begin(), lines.end()); }

// Replaces (or adds) the extension: what follows the last "." when no "\" or
// ":" comes after it.
std::string ChangeExtension(const std::string& name, const char* ext) {
    size_t p = name.find_last_of(".\\:");
    std::string base = p != std::string::npos && name[p] == '.' ? name.substr(0, p) : name;
    return base + ext;
}

std::string WithoutLastTwo(const std::string& s) { return s.size() > 2 ? s.substr(0, s.size() - 2) : std::string(); }

}  // namespace

TAttachedFile& TAttachedFiles::Add(std::string_view Name) {
    auto item = std::make_unique<TAttachedFile>();
    item->PathName = std::string(Name);
    size_t sep = Name.find_last_of("\\:");
    item->FileName = std::string(sep == std::string_view::npos ? Name : Name.substr(sep + 1));
    item->MimeType = GetMimeType(Name);
    List.push_back(std::move(item));
    return *List.back();
}

TAttachedFile& TAttachedFiles::Items(int Index) {
    CheckListIndex(Index, Count());
    return *List[static_cast<size_t>(Index)];
}

void TVekMsgList::Clear() {
    while (!List.empty()) List.pop_back();
}

TVekMsg& TVekMsgList::Items(int Index) {
    CheckListIndex(Index, Count());
    return *List[static_cast<size_t>(Index)];
}

void TVekMsgList::Add(std::unique_ptr<TVekMsg> Msg) { List.push_back(std::move(Msg)); }

void TVekMsgList::Delete(int Index) {
    CheckListIndex(Index, Count());
    List.erase(List.begin() + Index);
}

void TVekMsg::SetRawMail(const TMailLines& Lines) {
    RawMail = Lines;
    Parse();
}

void TVekMsg::SetRawMail(TMailLines&& Lines) {
    RawMail = std::move(Lines);
    Parse();
}

void TVekMsg::Parse() {
    if (RawMail.empty()) return;
    for (const auto& line : RawMail) {
        if (line.empty()) break;
        Headers.push_back(line);
    }
    ParseHeaders();
    // The body parse works on a copy; when RawMail is emptied afterwards
    // anyway, it can have the lines themselves.
    if (ClearRawMailAfterParse) {
        ParseBody(std::move(RawMail), 0);
        RawMail.clear();
    } else {
        ParseBody(RawMail, 0);
    }
}

void TVekMsg::ParseHeaders() {
    // Without a From header the sender is read from the first line, after
    // the word of an envelope line ("From ").
    if (!Headers.empty()) From = Copy(Headers[0], 6, 72);

    std::string line;
    auto find = [&](const char* name) { return FindHeader(name, Headers, line); };
    auto value = [&](const char* name) { return GetFieldValue(name, line); };

    if (find("FROM:")) From = DecodeHeader(value("FROM:"));
    FromEmailAddress = ExtractAddress(From);
    if (find("SENDER:")) MsgSender = FormatAddressList(value("SENDER:"));
    if (find("MESSAGE-ID:")) MessageId = value("MESSAGE-ID:");
    if (find("IN-REPLY-TO:")) InReplyTo = value("IN-REPLY-TO:");
    if (find("RETURN-PATH:")) ReturnPath = value("RETURN-PATH:");
    if (find("REPLY-TO:")) ReplyTo = FormatAddressList(value("REPLY-TO:"));
    if (find("TO:")) SendTo = FormatAddressList(value("TO:"));
    if (find("CC:")) CC = FormatAddressList(value("CC:"));
    if (find("DATE:")) Date = value("DATE:");
    if (find("SUBJECT:")) Subject = DecodeHeader(value("SUBJECT:"));
    ContentType = find("CONTENT-TYPE:") ? UpperCase(value("CONTENT-TYPE:")) : "TEXT/PLAIN";
    ContentTransferEncoding =
        find("CONTENT-TRANSFER-ENCODING:") ? UpperCase(value("CONTENT-TRANSFER-ENCODING:")) : "7BIT";
}

void TVekMsg::ParseBody(TMailLines Lines, int Depth) {
    TPartInfo info = GetPartInfo(Lines);
    std::string CT = info.CT, Enc = info.Enc, FN = info.FN;

    if (Depth > kMaxPartDepth) {
        StripHeaders(Lines);
        Append(Text, Lines);
    } else if (Pos("TEXT", CT) > 0) {
        StripHeaders(Lines);
        if (!FN.empty() || CT == "TEXT/HTML") {
            SaveAttachment(Lines, CT, FN, Enc);
            return;
        }
        // uuencoded blocks inside the text become attachments; the "end"
        // line stays in the text. A block without "end" runs to the end.
        int k;
        std::string name;
        while (FindUUBegin(Lines, k, name)) {
            FN = name;
            size_t e = static_cast<size_t>(k) + 1;
            while (e < Lines.size() && LowerCase(Trim(Lines[e])) != "end") ++e;
            TMailLines block;
            for (size_t i = static_cast<size_t>(k); i < e; ++i)
                if (!Lines[i].empty()) block.push_back(Lines[i]);
            Lines.erase(Lines.begin() + k, Lines.begin() + static_cast<long>(e));
            CT = "APPLICATION/OCTET-STREAM";
            Enc = "X-UUENCODE";
            SaveAttachment(block, CT, FN, Enc);
        }
        if (Enc == "QUOTED-PRINTABLE") Lines = TextToLines(QPDecode(LinesToText(Lines)));
        else if (Enc == "BASE64") Lines = TextToLines(Base64Decode(LinesToText(Lines)));
        Append(Text, Lines);
    } else if (Pos("MULTIPART", CT) > 0) {
        std::vector<TMailLines> parts;
        SplitMultipart(LinesToText(Lines), parts, Depth);
        for (auto& part : parts) ParseBody(std::move(part), Depth + 1);
    } else if (Enc == "X-UUENCODE" || !FN.empty()) {
        StripHeaders(Lines);
        SaveAttachment(Lines, CT, FN, Enc);
    } else if (CT == "MESSAGE/RFC822") {
        StripHeaders(Lines);
        ParseBody(std::move(Lines), Depth + 1);
    } else if (Enc == "BASE64" || Enc == "QUOTED-PRINTABLE") {
        StripHeaders(Lines);
        SaveAttachment(Lines, CT, FN, Enc);
    } else {
        StripHeaders(Lines);
        Append(Text, Lines);
    }
}

void TVekMsg::SaveAttachment(const TMailLines& Lines, const std::string& CT, std::string FN, const std::string& Enc) {
    if (FN.empty()) {
        FN = Subject;
        if (CT == "TEXT/HTML") FN = ChangeExtension(FN, ".html");
        else if (CT == "IMAGE/JPEG") FN = ChangeExtension(FN, ".jpeg");
        else if (CT == "IMAGE/GIF") FN = ChangeExtension(FN, ".gif");
    }
    std::string clean;
    for (char c : FN)
        if (std::string_view("\\/:*?\"<>|").find(c) == std::string_view::npos) clean += c;

    TAttachedFile& item = Attachments.Add(clean);
    if (Enc == "BASE64" || Enc == "X-UUENCODE") {
        item.EncodedLines = Lines;
        if (Enc == "BASE64") DecodeBase64Attachment(item);
        else UUDecode(item);
        item.EncodedLines.clear();
    } else if (Enc == "QUOTED-PRINTABLE") {
        item.Data = WithoutLastTwo(LinesToText(TextToLines(QPDecode(LinesToText(Lines)))));
    } else {
        item.Data = WithoutLastTwo(LinesToText(Lines));
    }
}
