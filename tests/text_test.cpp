// The bounded copy helpers and the pure text operations.
#include <string>

#include "platform/text.h"
#include "test_support.h"

namespace {

TEST(BoundedText, CopiesCutAtTheBufferAndStayTerminated) {
  char small[5];
  EXPECT_EQ(4u, CopyText(small, "abcdefgh"));
  EXPECT_STREQ("abcd", small);
  EXPECT_EQ(2u, CopyText(small, "ab"));
  EXPECT_EQ(4u, AppendText(small, "cdef"));
  EXPECT_STREQ("abcd", small);
  EXPECT_EQ(0u, CopyText(small, sizeof small, nullptr));
  EXPECT_STREQ("", small);
  EXPECT_EQ(2u, CopyTextN(small, sizeof small, "xyz", 2));
  EXPECT_STREQ("xy", small);
  char one[1] = {'q'};
  EXPECT_EQ(0u, CopyText(one, "abc"));
  EXPECT_EQ(0, one[0]);
}

TEST(BoundedText, FormatNeverOverflows) {
  char out[8];
  EXPECT_EQ(7u, FormatText(out, sizeof out, "%s-%d", "abcdef", 12345));
  EXPECT_STREQ("abcdef-", out);
  EXPECT_EQ(3u, FormatText(out, sizeof out, "%d", 42 * 10 + 1));
  std::string percent = "100%s%n%x";  // text from outside is an argument, never the format
  char wide[32];
  FormatText(wide, sizeof wide, "%s", percent.c_str());
  EXPECT_STREQ("100%s%n%x", wide);
}

TEST(ContainsNoCase, SlidesOverTheWholeText) {
  EXPECT_EQ(1, ContainsNoCase("c:\\windows\\RunDll32.exe x", "RUNDLL32.EXE"));
  EXPECT_EQ(1, ContainsNoCase("abc", "abc"));
  EXPECT_EQ(1, ContainsNoCase("xabc", "BC"));
  EXPECT_EQ(0, ContainsNoCase("ab", "abc"));
  EXPECT_EQ(0, ContainsNoCase(nullptr, "a"));
  EXPECT_EQ(0, ContainsNoCase("a", nullptr));
  std::string edge(771, 'a');
  edge += "Z";  // 772 characters: still searched
  EXPECT_EQ(1, ContainsNoCase(edge.c_str(), "z"));
  edge += "Y";  // 773: refused
  EXPECT_EQ(0, ContainsNoCase(edge.c_str(), "z"));
}

TEST(RundllTarget, GivesTheLibraryPart) {
  char out[260];
  EXPECT_EQ(1, RundllTarget("RUNDLL32.EXE C:\\x\\lib.dll,Entry", out));
  EXPECT_STREQ("C:\\x\\lib.dll,Entry", out);
  EXPECT_EQ(1, RundllTarget("c:\\windows\\system32\\rundll32.exe shell32.dll,Control_RunDLL", out));
  EXPECT_STREQ("shell32.dll,Control_RunDLL", out);
  EXPECT_EQ(1, RundllTarget("rundll32.exe", out));
  EXPECT_STREQ("", out);
  EXPECT_EQ(0, RundllTarget("C:\\app.exe /x", out));
  EXPECT_STREQ("C:\\app.exe /x", out);
}

TEST(PathText, FileNamesAndBackslashes) {
  char out[260] = "untouched";
  EXPECT_EQ(7, FileNameOf("C:\\dir\\app.exe", out));
  EXPECT_STREQ("app.exe", out);
  strcpy(out, "untouched");
  EXPECT_EQ(0, FileNameOf("app.exe", out));
  EXPECT_STREQ("untouched", out);
  EXPECT_EQ(0, FileNameOf("\\app.exe", out));  // position 0 is not looked at
  EXPECT_EQ(7, FileNamePos("C:\\dir\\app.exe"));
  EXPECT_EQ(0, FileNamePos("app.exe"));

  char path[260] = "C:\\dir";
  EXPECT_EQ(7, AddBackslash(path));
  EXPECT_EQ(7, AddBackslash(path));
  EXPECT_STREQ("C:\\dir\\", path);
  EXPECT_EQ(6, TrimBackslash(path, 1));
  EXPECT_EQ(6, TrimBackslash(path, 1));
  strcpy(path, "C:\\");
  EXPECT_EQ(3, TrimBackslash(path, 1));
  EXPECT_EQ(2, TrimBackslash(path, 0));
  std::string full(259, 'p');
  strcpy(path, full.c_str());
  EXPECT_EQ(259, AddBackslash(path));  // no room: left as it is
}

TEST(PathText, SmallTransformations) {
  char out[260] = "before";
  EXPECT_EQ(3, SkipBlanks("   abc", out));
  EXPECT_STREQ("abc", out);
  strcpy(out, "before");
  EXPECT_EQ(3, SkipBlanks("   ", out));
  EXPECT_STREQ("before", out);

  EXPECT_EQ(1, ExtensionOf("archive.tar.gz", out));
  EXPECT_STREQ("tar.gz", out);
  EXPECT_EQ(0, ExtensionOf("noext", out));

  ColonForEquals("a=b=c", out);
  EXPECT_STREQ("a:b:c", out);
  EXPECT_EQ(10, StripQuotes("\"C:\\a b\\x.e\"", out));
  EXPECT_STREQ("C:\\a b\\x.e", out);
  std::string quoted(600, 'q');
  EXPECT_EQ(259, StripQuotes(quoted.c_str(), out));

  char commas[8];
  EXPECT_EQ(9, CommasToBlanks("a,b,c,d,e", commas, 5));
  EXPECT_STREQ("a b c", commas);
}

TEST(GroupThousands, GroupsAndPrintsUnsigned) {
  struct {
    unsigned long long value;
    const char* text;
  } cases[] = {{0, "0"}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"},
               {2147483648ull, "2,147,483,648"}, {4294967295ull, "4,294,967,295"},
               {4294967296ull, "4,294,967,296"}, {8589934591ull, "8,589,934,591"},
               {18446744073709551615ull, "18,446,744,073,709,551,615"}};
  char out[32];
  for (const auto& c : cases) {
    GroupThousands(out, sizeof out, c.value);
    EXPECT_STREQ(c.text, out);
  }
  DecimalText(out, sizeof out, 4294967301ull);
  EXPECT_STREQ("4294967301", out);
  DecimalText(out, sizeof out, 0);
  EXPECT_STREQ("0", out);
  GroupThousands(out, 4, 1234567);
  EXPECT_STREQ("1,2", out);
}

TEST(EscapeForUrl, EscapesBlanksAndAmpersands) {
  char out[260];
  EXPECT_EQ(14, EscapeForUrl(out, sizeof out, "My App&Co x"));
  EXPECT_STREQ("My%20App+Co%20x", out);
  EXPECT_EQ(-1, EscapeForUrl(out, sizeof out, ""));
  char tiny[6];
  EscapeForUrl(tiny, sizeof tiny, "ab cd");  // an escape is never split at the end
  EXPECT_STREQ("ab%20", tiny);
  EscapeForUrl(tiny, 5, "ab cd");
  EXPECT_STREQ("ab", tiny);
}

}  // namespace
