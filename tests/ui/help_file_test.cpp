// The help file reader: the shipped KALBOR.HLP, the markup, the checks that
// refuse a faulty file, the keyword search and the HTML of a topic.
#include "ui/help/help_file.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <string>

#include "test_util.h"

#ifndef KALBOR_HELP_SOURCE
#error "KALBOR_HELP_SOURCE must name resources/help/KALBOR.HLP"
#endif

namespace kalbor {
namespace {

using test::TempDir;

HelpFile ParseOk(const std::string& text) {
  HelpLoadResult result = HelpFile::Parse(text, "TEST.HLP");
  EXPECT_TRUE(result.ok()) << result.error.Describe();
  if (!result.ok()) return HelpFile();
  return *result.file;
}

HelpError ParseError(const std::string& text) {
  HelpLoadResult result = HelpFile::Parse(text, "/some/folder/TEST.HLP");
  EXPECT_FALSE(result.ok());
  EXPECT_FALSE(result.file.has_value());
  return result.error;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::vector<std::string> Texts(const std::vector<HelpIndexEntry>& entries) {
  std::vector<std::string> texts;
  for (const auto& e : entries) texts.push_back(e.text);
  return texts;
}

// --- the shipped help file ---------------------------------------------------

class ShippedHelpFileTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HelpLoadResult result = HelpFile::Load(KALBOR_HELP_SOURCE);
    ASSERT_TRUE(result.ok()) << result.error.Describe();
    file_ = new HelpFile(*result.file);
  }
  static void TearDownTestSuite() {
    delete file_;
    file_ = nullptr;
  }
  static HelpFile* file_;
};
HelpFile* ShippedHelpFileTest::file_ = nullptr;

TEST_F(ShippedHelpFileTest, HasEveryTopicTheProgramOpens) {
  ASSERT_NE(file_, nullptr);
  for (int context : {1100, 1200, 2000, 3000, 3500, 4000, 5000, 6000, 6500, 9500, 9999}) {
    const HelpTopic* topic = file_->Find(context);
    ASSERT_NE(topic, nullptr) << "topic " << context;
    EXPECT_FALSE(topic->title.empty()) << context;
    EXPECT_FALSE(topic->body.empty()) << context;
    EXPECT_FALSE(topic->keywords.empty()) << context;
  }
  EXPECT_EQ(file_->Find(9500)->title, "History");
}

TEST_F(ShippedHelpFileTest, ContentsTopicLeadsToEveryPageTopic) {
  ASSERT_NE(file_, nullptr);
  const HelpTopic* contents = file_->Find(file_->contents_context());
  ASSERT_NE(contents, nullptr);
  std::set<int> linked;
  for (const HelpBlock& block : contents->body) {
    auto spans = ParseHelpInline(block.text, nullptr);
    ASSERT_TRUE(spans.has_value());
    for (const HelpSpan& span : *spans)
      if (span.kind == HelpSpan::Kind::Link) linked.insert(span.target);
  }
  for (int context : {1100, 1200, 2000, 3000, 3500, 4000, 5000, 6000, 6500, 9500, 9999})
    EXPECT_TRUE(linked.count(context)) << "contents does not link to " << context;
}

TEST_F(ShippedHelpFileTest, AboutTopicCarriesTheVersionLine) {
  ASSERT_NE(file_, nullptr);
  std::string html = file_->TopicHtml(*file_->Find(9999));
  EXPECT_NE(html.find("Kalbor V1.0"), std::string::npos);
  // The two spaces after the colon survive as a space and a non-breaking space.
  EXPECT_NE(html.find("-- Version 1.09: &nbsp;04 November 2002 --"), std::string::npos) << html;
}

TEST_F(ShippedHelpFileTest, PageTopicsQuoteTheProgramsMessages) {
  ASSERT_NE(file_, nullptr);
  auto text_of = [&](int context) {
    std::string all;
    for (const HelpBlock& b : file_->Find(context)->body) all += b.text + "\n";
    return all;
  };
  EXPECT_NE(text_of(2000).find("You must enter a user name."), std::string::npos);
  EXPECT_NE(text_of(2000).find("This name already exist, please enter another name."), std::string::npos);
  EXPECT_NE(text_of(3000).find("The quantity can not be zero or negative."), std::string::npos);
  EXPECT_NE(text_of(3000).find("There is no user selected."), std::string::npos);
  EXPECT_NE(text_of(4000).find("\"FOODCAL.DBF\" not found."), std::string::npos);
  EXPECT_NE(text_of(5000).find("The file you want to make exists already."), std::string::npos);
  EXPECT_NE(text_of(6000).find("Kalbor - Result"), std::string::npos);
  EXPECT_NE(text_of(3500).find("is not a weight."), std::string::npos);
  EXPECT_NE(text_of(6500).find("is not a daily target."), std::string::npos);
}

TEST_F(ShippedHelpFileTest, IndexFindsTopicsByKeyword) {
  ASSERT_NE(file_, nullptr);
  auto hits = file_->Search("calend");
  ASSERT_FALSE(hits.empty());
  EXPECT_EQ(hits.front().context, 3100);
  hits = file_->Search("NEW USER");
  ASSERT_FALSE(hits.empty());
  EXPECT_EQ(hits.front().context, 2000);
}

// --- markup ------------------------------------------------------------------

TEST(HelpMarkupTest, BlocksFollowBlankLinesMarksAndIndentation) {
  HelpFile file = ParseOk(
      "@help Test\n"
      "@topic 10\n"
      "@title Ten\n"
      "@keywords one; two words ;; three\n"
      "@keywords four\n"
      "First line\n"
      "; a comment inside the paragraph\n"
      "second line.\n"
      "\n"
      "## A heading\n"
      "- bullet one\n"
      "  continues\n"
      "* bullet two\n"
      "Not indented: a paragraph.\n"
      "12. numbered\n"
      "\n"
      "\\@ at the start, \\; too\n");
  const HelpTopic* topic = file.Find(10);
  ASSERT_NE(topic, nullptr);
  EXPECT_EQ(topic->keywords, (std::vector<std::string>{"one", "two words", "three", "four"}));
  ASSERT_EQ(topic->body.size(), 7u);
  using K = HelpBlock::Kind;
  EXPECT_EQ(topic->body[0].kind, K::Paragraph);
  EXPECT_EQ(topic->body[0].text, "First line second line.");
  EXPECT_EQ(topic->body[0].line, 6);
  EXPECT_EQ(topic->body[1].kind, K::Heading);
  EXPECT_EQ(topic->body[1].text, "A heading");
  EXPECT_EQ(topic->body[2].kind, K::Bullet);
  EXPECT_EQ(topic->body[2].text, "bullet one continues");
  EXPECT_EQ(topic->body[3].kind, K::Bullet);
  EXPECT_EQ(topic->body[4].kind, K::Paragraph);
  EXPECT_EQ(topic->body[5].kind, K::Numbered);
  EXPECT_EQ(topic->body[5].text, "numbered");
  EXPECT_EQ(topic->body[6].text, "\\@ at the start, \\; too");
  std::string html = file.TopicHtml(*topic);
  EXPECT_NE(html.find("<p>@ at the start, ; too</p>"), std::string::npos) << html;
}

TEST(HelpMarkupTest, CrLfLineEndsAndByteOrderMarkAreAccepted) {
  HelpFile file = ParseOk("\xEF\xBB\xBF@help Test\r\n@topic 1\r\n@title One\r\n\r\nText.\r\n");
  ASSERT_NE(file.Find(1), nullptr);
  EXPECT_EQ(file.title(), "Test");
  EXPECT_EQ(file.Find(1)->title, "One");
  EXPECT_EQ(file.Find(1)->body.at(0).text, "Text.");
}

TEST(HelpMarkupTest, InlineSpansResolveBoldLinksAndEscapes) {
  std::string fault;
  auto spans = ParseHelpInline("a **bold [[7]]** b [[8|own text]] \\*\\* [x] * c", &fault);
  ASSERT_TRUE(spans.has_value()) << fault;
  ASSERT_EQ(spans->size(), 6u);
  EXPECT_EQ((*spans)[0].text, "a ");
  EXPECT_TRUE((*spans)[1].bold);
  EXPECT_EQ((*spans)[1].text, "bold ");
  EXPECT_EQ((*spans)[2].kind, HelpSpan::Kind::Link);
  EXPECT_TRUE((*spans)[2].bold);
  EXPECT_EQ((*spans)[2].target, 7);
  EXPECT_EQ((*spans)[2].text, "");
  EXPECT_FALSE((*spans)[3].bold);
  EXPECT_EQ((*spans)[4].target, 8);
  EXPECT_EQ((*spans)[4].text, "own text");
  EXPECT_EQ((*spans)[5].text, " ** [x] * c");
}

TEST(HelpMarkupTest, TopicHtmlEscapesTextAndGroupsListItems) {
  HelpFile file = ParseOk(
      "@help Test\n"
      "@topic 1\n@title One & <Two>\n"
      "Go to [[2]] or [[2|there]], **now**.\n\n"
      "- a\n\n- b\n"
      "1. c\n"
      "@topic 2\n@title Second\n"
      "x < y\n");
  std::string html = file.TopicHtml(*file.Find(1));
  EXPECT_NE(html.find("<h2>One &amp; &lt;Two&gt;</h2>"), std::string::npos) << html;
  EXPECT_NE(html.find("<a href=\"topic:2\">Second</a>"), std::string::npos);
  EXPECT_NE(html.find("<a href=\"topic:2\">there</a>"), std::string::npos);
  EXPECT_NE(html.find("<b>now</b>"), std::string::npos);
  EXPECT_NE(html.find("<ul>\n<li>a</li>\n<li>b</li>\n</ul>\n<ol>\n<li>c</li>\n</ol>"), std::string::npos)
      << html;
  EXPECT_NE(file.TopicHtml(*file.Find(2)).find("x &lt; y"), std::string::npos);
}

TEST(HelpMarkupTest, ContentsTopicIsTheFirstUnlessNamed) {
  HelpFile first = ParseOk("@help T\n@topic 5\n@title Five\n@topic 3\n@title Three\n");
  EXPECT_EQ(first.contents_context(), 5);
  ASSERT_EQ(first.topics().size(), 2u);
  EXPECT_EQ(first.topics()[1].context, 3);  // file order kept
  HelpFile named = ParseOk("@help T\n@contents 3\n@topic 5\n@title Five\n@topic 3\n@title Three\n");
  EXPECT_EQ(named.contents_context(), 3);
  EXPECT_EQ(named.Find(4), nullptr);
}

// --- faulty files ---------------------------------------------------------------

TEST(HelpFileFaultTest, MissingFileIsReportedWithItsPath) {
  TempDir dir;
  HelpLoadResult result = HelpFile::Load(dir / "KALBOR.HLP");
  EXPECT_FALSE(result.ok());
  EXPECT_EQ(result.error.kind, HelpError::Kind::MissingFile);
  EXPECT_EQ(result.error.Describe(), "The help file \"" + (dir / "KALBOR.HLP") + "\" was not found.");
}

TEST(HelpFileFaultTest, FolderInsteadOfFileIsUnreadable) {
  TempDir dir;
  std::filesystem::create_directory(dir / "KALBOR.HLP");
  HelpLoadResult result = HelpFile::Load(dir / "KALBOR.HLP");
  EXPECT_EQ(result.error.kind, HelpError::Kind::Unreadable);
  EXPECT_NE(result.error.Describe().find("could not be read"), std::string::npos);
}

TEST(HelpFileFaultTest, BadLineNamesFileLineAndFault) {
  HelpError error = ParseError("@help T\n@topic 1\n@title One\n@titel Typo\n");
  EXPECT_EQ(error.kind, HelpError::Kind::BadLine);
  EXPECT_EQ(error.line, 4);
  EXPECT_EQ(error.Describe(), "TEST.HLP, line 4: unknown directive \"@titel\".");
}

struct FaultCase {
  const char* name;
  const char* text;
  int line;
  const char* words;  // part of the message
};

TEST(HelpFileFaultTest, EachKindOfFaultIsRefusedAtItsLine) {
  const FaultCase cases[] = {
      {"no header", "@topic 1\n@title One\n", 1, "must begin with \"@help\""},
      {"text before header", "hello\n@help T\n", 1, "must begin with \"@help\""},
      {"empty file", "", 1, "must begin with \"@help\""},
      {"second header", "@help T\n@help U\n", 2, "only once"},
      {"header without title", "@help\n", 1, "needs the file's title"},
      {"text outside topic", "@help T\nstray\n@topic 1\n@title One\n", 2, "text outside a topic"},
      {"topic number not a number", "@help T\n@topic ten\n@title X\n", 2, "whole number greater than 0"},
      {"topic number zero", "@help T\n@topic 0\n@title X\n", 2, "whole number greater than 0"},
      {"topic number too large", "@help T\n@topic 99999999999\n@title X\n", 2, "whole number"},
      {"duplicate topic", "@help T\n@topic 1\n@title A\n@topic 1\n@title B\n", 4, "already defined on line 2"},
      {"topic without title", "@help T\n@topic 1\ntext\n@topic 2\n@title B\n", 2, "has no \"@title\""},
      {"last topic without title", "@help T\n@topic 1\n", 2, "has no \"@title\""},
      {"second title", "@help T\n@topic 1\n@title A\n@title B\n", 4, "already has a title"},
      {"title after text", "@help T\n@topic 1\ntext\n@title A\n", 4, "before the topic's text"},
      {"keywords outside topic", "@help T\n@keywords a\n@topic 1\n@title A\n", 2, "inside a topic"},
      {"empty keywords", "@help T\n@topic 1\n@title A\n@keywords ; ;\n", 4, "needs keywords"},
      {"contents after topic", "@help T\n@topic 1\n@title A\n@contents 1\n", 4, "before the first topic"},
      {"contents unknown", "@help T\n@contents 7\n@topic 1\n@title A\n", 2, "contents topic 7"},
      {"unclosed bold", "@help T\n@topic 1\n@title A\n\nsome **bold\ntext\n", 5, "not closed"},
      {"unclosed link", "@help T\n@topic 1\n@title A\nsee [[2 here\n", 4, "not closed by \"]]\""},
      {"link without number", "@help T\n@topic 1\n@title A\nsee [[two]]\n", 4, "must name a topic number"},
      {"link with empty text", "@help T\n@topic 1\n@title A\nsee [[1|]]\n", 4, "empty text"},
      {"link to missing topic", "@help T\n@topic 1\n@title A\n\n\nsee [[2]]\n", 6, "link to topic 2"},
      {"invalid utf-8", "@help T\n@topic 1\n@title A\nbad \xC3\x28 byte\n", 4, "not valid UTF-8"},
      {"overlong utf-8", "@help T\n@topic 1\n@title A\n\xC0\xAF\n", 4, "not valid UTF-8"},
      {"truncated utf-8", "@help T\n@topic 1\n@title A\nend \xE2\x82", 4, "not valid UTF-8"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    HelpError error = ParseError(c.text);
    EXPECT_EQ(error.kind, HelpError::Kind::BadLine);
    EXPECT_EQ(error.line, c.line);
    EXPECT_NE(error.Describe().find(c.words), std::string::npos) << error.Describe();
  }
}

TEST(HelpFileFaultTest, HeaderWithoutTopicsHasNoTopics) {
  HelpError error = ParseError("@help T\n; nothing else\n\n");
  EXPECT_EQ(error.kind, HelpError::Kind::NoTopics);
  EXPECT_EQ(error.Describe(), "The help file \"/some/folder/TEST.HLP\" contains no topics.");
}

TEST(HelpFileFaultTest, FileIsFoundWhateverTheLetterCaseOfItsName) {
  TempDir dir;
  WriteText(dir / "kalbor.hlp", "@help T\n@topic 1\n@title One\n");
  EXPECT_EQ(ResolveHelpPath(dir / "KALBOR.HLP"), dir / "kalbor.hlp");
  HelpLoadResult result = HelpFile::Load(dir / "KALBOR.HLP");
  ASSERT_TRUE(result.ok()) << result.error.Describe();
  EXPECT_EQ(result.file->Find(1)->title, "One");
  // A name that matches nothing stays as given.
  EXPECT_EQ(ResolveHelpPath(dir / "OTHER.HLP"), dir / "OTHER.HLP");
}

// --- index and search -----------------------------------------------------------

class HelpSearchTest : public ::testing::Test {
 protected:
  HelpFile file_ = ParseOk(
      "@help T\n"
      "@topic 1\n@title Users\n@keywords new user; Delete user; name\n"
      "@topic 2\n@title Food entry\n@keywords meal; user; food group\n"
      "@topic 3\n@title Groups of food\n@keywords group; Users\n");
};

TEST_F(HelpSearchTest, IndexHoldsKeywordsAndTitlesSortedWithoutCase) {
  auto index = file_.Index();
  EXPECT_EQ(Texts(index), (std::vector<std::string>{"Delete user", "Food entry", "food group", "group",
                                                    "Groups of food", "meal", "name", "new user", "user",
                                                    "Users", "Users"}));
  // The keyword "Users" of topic 3 and the title of topic 1 are separate entries.
  auto users = std::count_if(index.begin(), index.end(), [](auto& e) { return e.text == "Users"; });
  EXPECT_EQ(users, 2);
}

TEST_F(HelpSearchTest, SearchIgnoresCaseAndPutsWordStartsFirst) {
  auto hits = file_.Search("  USER ");
  // "user", "Users" (x2) start with it; "Delete user" and "new user" have a
  // word starting with it: all are word-start matches, sorted.
  EXPECT_EQ(Texts(hits), (std::vector<std::string>{"Delete user", "new user", "user", "Users", "Users"}));
  hits = file_.Search("roup");
  EXPECT_EQ(Texts(hits), (std::vector<std::string>{"food group", "group", "Groups of food"}));
  hits = file_.Search("f");
  // Word starts only ("food", "Food", "of food"); nothing merely contains an f.
  EXPECT_EQ(Texts(hits), (std::vector<std::string>{"Food entry", "food group", "Groups of food"}));
  hits = file_.Search("SER");
  EXPECT_EQ(Texts(hits), (std::vector<std::string>{"Delete user", "new user", "user", "Users", "Users"}));
}

TEST_F(HelpSearchTest, WordStartMatchesComeBeforeInnerMatches) {
  auto hits = file_.Search("me");
  // "meal" starts with it; "name" only contains it.
  EXPECT_EQ(Texts(hits), (std::vector<std::string>{"meal", "name"}));
  EXPECT_EQ(hits[0].context, 2);
  EXPECT_EQ(hits[0].topic_title, "Food entry");
}

TEST_F(HelpSearchTest, EmptyQueryGivesWholeIndexAndNoMatchGivesNothing) {
  EXPECT_EQ(file_.Search("").size(), file_.Index().size());
  EXPECT_TRUE(file_.Search("zebra").empty());
}

}  // namespace
}  // namespace kalbor
