// Parsing of retrieved messages: header fields, sender addresses, address
// lists, the body with its parts and attachments, and the message list.
#include <gtest/gtest.h>

#include "base/Exceptions.h"
#include "mail/VekMIME.h"
#include "mail/VekMsg.h"
#include "mail/vek_util.h"

namespace {

TVekMsg Parsed(const std::string& text) {
    TVekMsg m;
    m.SetRawMail(TextToLines(text));
    return m;
}

TEST(MessageHeaders, SenderAddressOfEveryFromForm) {
    struct Case {
        std::string Head, From, Address;
    } cases[] = {
        {"From: \"Doe, John\" <john.doe@example.com>", "\"Doe, John\" <john.doe@example.com>", "john.doe@example.com"},
        {"From: erin@example.com (Erin Comment)", "erin@example.com (Erin Comment)", "erin@example.com (Erin Comment)"},
        {"From: Bob <b@x.org> (work)", "Bob <b@x.org> (work)", "Bob <b@x.org> (work)"},
        {"From: Smith; John <js@x.org>", "Smith", "Smith"},
        {"From: =?ISO-8859-1?Q?J=F6rg?= <j@example.de>", "J\xF6rg <j@example.de>", "j@example.de"},
        {"from: lower@x.org", "lower@x.org", "lower@x.org"},
        {"FROM: <Mixed.Case@X.org>", "<Mixed.Case@X.org>", "Mixed.Case@X.org"},
        {"From: a <x@y> <real@z>", "a <x@y> <real@z>", "real@z"},
        // No From header: the first line from its sixth character.
        {"Received: from mx by host\r\nSubject: s", "ved: from mx by host", "ved: from mx by host"},
        {"Subject: s\r\nFrom : a@b.c", "ct: s", "ct: s"},
        {"From x@y.z Mon Jan  1 00:00:00 2024\r\nFrom: Env <env@y.z>", "Env <env@y.z>", "env@y.z"},
        // A folded From: the continuation is joined without a blank.
        {"From: Long Name\r\n  <long@x.org>", "Long Name<long@x.org>", "long@x.org"},
    };
    for (const auto& c : cases) {
        TVekMsg m = Parsed(c.Head + "\r\n\r\n");
        EXPECT_EQ(m.From, c.From) << c.Head;
        EXPECT_EQ(m.FromEmailAddress, c.Address) << c.Head;
    }
}

TEST(MessageHeaders, FieldsAsSentDecodedOrFormatted) {
    TVekMsg m = Parsed(
        "Return-Path: <bounce@x.org>\r\n"
        "Message-ID: <1.2@x.org>\r\n"
        "In-Reply-To: <0.9@x.org>\r\n"
        "Date: Mon, 1 Jan 2024 00:00:00 +0000\r\n"
        "Subject: =?ISO-8859-1?Q?Gr=FC=DFe?= from\r\n"
        "   the folded part; and more\r\n"
        "To: a@x.org, Bob <b@y.org>\r\n"
        "Cc: \"Doe, John\" <j@x.org>\r\n"
        "Reply-To: Ann (Annie) <ann@x.org>\r\n"
        "Sender: =?utf-8?q?S=C3=A9b?= <seb@x.org>\r\n"
        "Content-Type: multipart/mixed; boundary=\"abc\"\r\n"
        "Content-Transfer-Encoding: 7bit\r\n"
        "\r\n");
    EXPECT_EQ(m.ReturnPath, "<bounce@x.org>");
    EXPECT_EQ(m.MessageId, "<1.2@x.org>");
    EXPECT_EQ(m.InReplyTo, "<0.9@x.org>");
    EXPECT_EQ(m.Date, "Mon, 1 Jan 2024 00:00:00 +0000");
    EXPECT_EQ(m.Subject, "Gr\xFC\xDF" "e fromthe folded part");
    EXPECT_EQ(m.SendTo, "\"a@x.org\" <a@x.org>, \"Bob\" <b@y.org>");
    EXPECT_EQ(m.CC, "\"\" <j@x.org>") << "quoted strings are dropped before the split";
    EXPECT_EQ(m.ReplyTo, "\"Annie\" <ann@x.org>");
    EXPECT_EQ(m.MsgSender, "\"S\xC3\xA9" "b\" <seb@x.org>");
    EXPECT_EQ(m.ContentType, "MULTIPART/MIXED");
    EXPECT_EQ(m.ContentTransferEncoding, "7BIT");
    EXPECT_EQ(m.Headers.size(), 12u);
    EXPECT_TRUE(m.RawMail.empty());
    EXPECT_EQ(m.CharSet, "ISO-8859-1");
}

TEST(MessageHeaders, DefaultsWhenHeadersAreMissing) {
    TVekMsg m = Parsed("X-Only: one\r\n\r\n");
    EXPECT_EQ(m.ContentType, "TEXT/PLAIN");
    EXPECT_EQ(m.ContentTransferEncoding, "7BIT");
    EXPECT_EQ(m.Subject, "");
    EXPECT_EQ(m.SendTo, "");
    EXPECT_TRUE(m.Text.empty());
    EXPECT_EQ(m.Attachments.Count(), 0);
}

TEST(MessageHeaders, EmptyHeaderBlockAndEmptyMail) {
    TVekMsg m = Parsed("\r\nbody line\r\n");
    EXPECT_EQ(m.From, "");
    EXPECT_EQ(m.FromEmailAddress, "");
    EXPECT_TRUE(m.Headers.empty());
    EXPECT_EQ(m.Text, TMailLines{"body line"});

    TVekMsg empty;
    empty.SetRawMail({});
    EXPECT_EQ(empty.From, "");
    EXPECT_TRUE(empty.Headers.empty());
}

TEST(MessageHeaders, HeaderOnlyHtmlGivesAnEmptyAttachmentNamedAfterTheSubject) {
    struct Case {
        std::string Subject, Type, Name;
    } cases[] = {
        {"Report v1.2", "text/html", "Report v1.html"},
        {"News", "text/html", "News.html"},
        {"a/b: c?", "text/html", "ab c.html"},
    };
    for (const auto& c : cases) {
        TVekMsg m = Parsed("Subject: " + c.Subject + "\r\nContent-Type: " + c.Type + "\r\n\r\n");
        ASSERT_EQ(m.Attachments.Count(), 1) << c.Subject;
        EXPECT_EQ(m.Attachments.Items(0).FileName, c.Name);
        EXPECT_EQ(m.Attachments.Items(0).Data, "");
        EXPECT_TRUE(m.Text.empty());
    }
    TVekMsg plain = Parsed("Subject: x\r\n\r\n");
    EXPECT_EQ(plain.Attachments.Count(), 0);
}

TEST(AddressHelpers, ExtractAddress) {
    EXPECT_EQ(ExtractAddress("Ann <a@b>"), "a@b");
    EXPECT_EQ(ExtractAddress("<>"), "");
    EXPECT_EQ(ExtractAddress("a@b"), "a@b");
    EXPECT_EQ(ExtractAddress("a@b>"), "a@b>");
    EXPECT_EQ(ExtractAddress(""), "");
}

TEST(AddressHelpers, DisplayNameBareAddressAndQuotes) {
    EXPECT_EQ(GetDisplayName("Bob (Robert) <b@x>", false), "Robert");
    EXPECT_EQ(GetDisplayName("'O''Neil' <o@x>", true), "\"ONeil\"");
    EXPECT_EQ(GetBareAddress("Bob <b@x> (c1) (c2)", true), "<b@x>");
    EXPECT_EQ(GetBareAddress(" plain@x ", false), "plain@x");
    // A ")" before the first "(" ends no loop and no comment survives.
    EXPECT_EQ(GetBareAddress(")x (c) <a@b>", false), "a@b");
    EXPECT_EQ(GetBareAddress("a) b", false), "a) b");
    EXPECT_EQ(GetBareAddress("x (open", false), "x (open");
    EXPECT_EQ(FormatAddressList(""), "\"\" <>");
    EXPECT_EQ(FormatAddressList("a\"b"), "\"ab\" <ab>");
    for (auto [in, out] : std::initializer_list<std::pair<const char*, const char*>>{
             {"", ""}, {"\"", ""}, {"'", ""}, {"\"a\"", "a"}, {"'a", "a"}, {"a\"", "a"}, {"\"\"\"", "\""}})
        EXPECT_EQ(StripQuotes(in), out) << in;
}

TEST(MessageHeaders, FindHeaderTakesTheFirstAndJoinsFoldedLines) {
    std::string line;
    TMailLines lines = {"", "", "To: a", "Subject: one", "\ttwo ", "Subject: again", "", "Body: no"};
    ASSERT_TRUE(FindHeader("SUBJECT:", lines, line));
    EXPECT_EQ(line, "Subject: onetwo");
    EXPECT_FALSE(FindHeader("BODY:", lines, line)) << "the search ends at the first empty line";
    EXPECT_FALSE(FindHeader("TO:", TMailLines{}, line));
    EXPECT_EQ(GetFieldValue("TO:", "to:  x ; y"), "x");
    EXPECT_EQ(GetFieldValue("CC:", "To: x"), "");
}

TEST(MessageParts, BoundaryAndPartInfo) {
    EXPECT_EQ(GetBoundary("Content-Type: multipart/mixed; boundary=\"abc def\""), "--abc def");
    EXPECT_EQ(GetBoundary("content-type: multipart/alternative; BOUNDARY=xyz; charset=x"), "--xyz");
    EXPECT_EQ(GetBoundary("Content-Type: multipart/mixed"), "--");

    TPartInfo p = GetPartInfo({"Content-Type: application/pdf; name=\"=?utf-8?q?a_b?=.pdf\"",
                               "Content-Transfer-Encoding: base64", ""});
    EXPECT_EQ(p.CT, "APPLICATION/PDF");
    EXPECT_EQ(p.Enc, "BASE64");
    EXPECT_EQ(p.FN, "a b.pdf");
    p = GetPartInfo({"Content-Disposition: attachment; filename='x.txt'", ""});
    EXPECT_EQ(p.CT, "TEXT/PLAIN");
    EXPECT_EQ(p.Enc, "7BIT");
    EXPECT_EQ(p.FN, "x.txt");
    p = GetPartInfo({"Content-Disposition: attachment; filename=", ""});
    EXPECT_EQ(p.FN, "");
    p = GetPartInfo({"Content-Disposition: attachment; filename=\"", ""});
    EXPECT_EQ(p.FN, "");
}

const char* kMultipart =
    "From: a@b.c\r\n"
    "Subject: Parts\r\n"
    "Content-Type: multipart/mixed; boundary=\"outer\"\r\n"
    "\r\n"
    "preamble\r\n"
    "--outer\r\n"
    "Content-Type: text/plain\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n"
    "\r\n"
    "caf=E9 soft=\r\n"
    "line\r\n"
    "--outer\r\n"
    "Content-Type: multipart/alternative; boundary=inner\r\n"
    "\r\n"
    "--inner\r\n"
    "Content-Type: text/plain; charset=utf-8\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "SGVsbG8K\r\n"
    "--inner\r\n"
    "Content-Type: text/html\r\n"
    "\r\n"
    "<p>hi</p>\r\n"
    "--inner--\r\n"
    "--outer\r\n"
    "Content-Type: application/octet-stream; name=\"data.bin\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "QUJD\r\n"
    "REVG\r\n"
    "--outer--\r\n"
    "epilogue\r\n";

TEST(MessageBody, MultipartGivesTextAndAttachments) {
    TVekMsg m = Parsed(kMultipart);
    EXPECT_EQ(m.Text, (TMailLines{"caf\xE9 softline", "Hello"}));
    ASSERT_EQ(m.Attachments.Count(), 2);
    EXPECT_EQ(m.Attachments.Items(0).FileName, "Parts.html");
    EXPECT_EQ(m.Attachments.Items(0).Data, "<p>hi</p>");
    EXPECT_EQ(m.Attachments.Items(0).MimeType, GetMimeType("Parts.html"));
    EXPECT_EQ(m.Attachments.Items(1).FileName, "data.bin");
    EXPECT_EQ(m.Attachments.Items(1).Data, "ABCDEF");
    EXPECT_TRUE(m.Attachments.Items(1).EncodedLines.empty());
}

TEST(MessageBody, MultipartEdgesEndSafely) {
    std::vector<TMailLines> parts;
    // Delimiter on the last line: the part it opens is empty.
    SplitMultipart("Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nA: 1\r\n\r\nx\r\n--b", parts);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0], (TMailLines{"A: 1", "", "x"}));
    EXPECT_TRUE(parts[1].empty());
    // No delimiter at all: no part.
    parts.clear();
    SplitMultipart("Content-Type: multipart/mixed; boundary=b\r\n\r\nonly text\r\n", parts);
    EXPECT_TRUE(parts.empty());
    // Not multipart: the text is one part, header lines included.
    parts.clear();
    SplitMultipart("Subject: x\r\n\r\nbody\r\n", parts);
    EXPECT_EQ(parts, (std::vector<TMailLines>{{"Subject: x", "", "body"}}));

    // Header block only, as a header retrieval gives it.
    TVekMsg m = Parsed("Content-Type: multipart/alternative; boundary=q\r\n\r\n");
    EXPECT_TRUE(m.Text.empty());
    EXPECT_EQ(m.Attachments.Count(), 0);
}

TEST(MessageBody, DeeplyNestedPartsDoNotRecurseWithoutEnd) {
    std::string text = "Subject: deep\r\n";
    for (int i = 0; i < 2000; ++i)
        text += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\r\n\r\n--b" + std::to_string(i) +
                "\r\n";
    text += "Content-Type: text/plain\r\n\r\ninnermost\r\n";
    TVekMsg m = Parsed(text);
    EXPECT_FALSE(m.Text.empty());
}

TEST(MessageBody, UuencodedBlocksBecomeAttachments) {
    TVekMsg m = Parsed(
        "Subject: uu\r\n\r\n"
        "see attached\r\n"
        "begin 644 cat.txt\r\n"
        "#8V%T\r\n"
        "\r\n"
        "`\r\n"
        "end\r\n"
        "after\r\n"
        "begin 600 two.txt\r\n"
        "#8V%T\r\n");
    EXPECT_EQ(m.Text, (TMailLines{"see attached", "end", "after"}));
    ASSERT_EQ(m.Attachments.Count(), 2);
    EXPECT_EQ(m.Attachments.Items(0).FileName, "cat.txt");
    EXPECT_EQ(m.Attachments.Items(0).Data, "cat");
    EXPECT_EQ(m.Attachments.Items(1).FileName, "two.txt");
    EXPECT_EQ(m.Attachments.Items(1).Data, "cat") << "a block without end runs to the end of the text";
}

TEST(MessageBody, BadUuencodedCharacterRaises) {
    try {
        Parsed("Subject: uu\r\n\r\nbegin 644 x.txt\r\n#abcd\r\nend\r\n");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Oops...");
    }
}

TEST(MessageBody, EncodedSinglePartsAndEmbeddedMessages) {
    TVekMsg b64 = Parsed("Content-Transfer-Encoding: base64\r\n\r\nbGluZSAxDQpsaW5lIDI=\r\n");
    EXPECT_EQ(b64.Text, (TMailLines{"line 1", "line 2"}));

    TVekMsg att = Parsed("Subject: Scan\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\n\r\nR0lG\r\n");
    ASSERT_EQ(att.Attachments.Count(), 1);
    EXPECT_EQ(att.Attachments.Items(0).FileName, "Scan.gif");
    EXPECT_EQ(att.Attachments.Items(0).Data, "GIF");

    TVekMsg qp = Parsed("Content-Type: application/x-thing\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\na=3Db\r\n");
    ASSERT_EQ(qp.Attachments.Count(), 1);
    EXPECT_EQ(qp.Attachments.Items(0).Data, "a=b");

    TVekMsg inner = Parsed(
        "Subject: fwd\r\nContent-Type: message/rfc822\r\n\r\n"
        "From: inner@x.org\r\nSubject: inner\r\n\r\ninner text\r\n");
    EXPECT_EQ(inner.Text, TMailLines{"inner text"});
    EXPECT_EQ(inner.Subject, "fwd") << "the embedded message's fields are not copied";
}

TEST(MessageList, OwnsItsMessagesAndChecksIndexes) {
    TVekMsgList list;
    for (const char* s : {"a", "b", "c"}) {
        auto m = std::make_unique<TVekMsg>();
        m->Subject = s;
        list.Add(std::move(m));
    }
    EXPECT_EQ(list.Count(), 3);
    list.Delete(1);
    EXPECT_EQ(list.Items(1).Subject, "c");
    EXPECT_THROW(list.Items(2), EListError);
    EXPECT_THROW(list.Items(-1), EListError);
    EXPECT_THROW(list.Delete(5), EListError);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

}  // namespace
