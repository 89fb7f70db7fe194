// The help file KALBOR.HLP: a UTF-8 text file of numbered topics with light
// markup (docs/help-format.md). This unit reads and checks it, looks topics up
// by their context number, searches the keyword index and renders a topic as
// HTML for the viewer. Standard library only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalbor {

// One block of a topic's body. Text keeps its inline markup (**bold**,
// [[n]] and [[n|text]] links, backslash escapes); lines of one block are
// joined with single spaces.
struct HelpBlock {
  enum class Kind { Paragraph, Heading, Bullet, Numbered };
  Kind kind = Kind::Paragraph;
  std::string text;
  int line = 0;  // first line of the block in the file
};

struct HelpTopic {
  int context = 0;
  std::string title;
  std::vector<std::string> keywords;
  std::vector<HelpBlock> body;
  int line = 0;  // line of the @topic directive
};

// One line of the keyword index: a keyword (or a topic title) and the topic
// it leads to. A keyword used by several topics gives one entry per topic.
struct HelpIndexEntry {
  std::string text;
  int context = 0;
  std::string topic_title;
};

struct HelpError {
  enum class Kind { None, MissingFile, Unreadable, BadLine, NoTopics };
  Kind kind = Kind::None;
  std::string file;  // the path (or name) the text came from
  int line = 0;      // for BadLine: 1-based line number
  std::string message;

  // A sentence for the user, e.g.
  // "The help file \"/opt/kalbor/KALBOR.HLP\" was not found." or
  // "KALBOR.HLP, line 12: unknown directive \"@titel\".".
  std::string Describe() const;
};

// A piece of a block's text after inline parsing.
struct HelpSpan {
  enum class Kind { Text, Link };
  Kind kind = Kind::Text;
  bool bold = false;
  std::string text;  // plain text (escapes resolved); for links the own text, may be empty
  int target = 0;    // for links
};

struct HelpLoadResult;

class HelpFile {
 public:
  // Reads and checks the file at `path`. A path that does not exist as
  // written is also looked for in its folder without regard to letter case.
  static HelpLoadResult Load(const std::string& path);
  // Checks `text`; `name` is used in error messages.
  static HelpLoadResult Parse(std::string_view text, const std::string& name);

  const std::string& title() const { return title_; }
  // Context of the contents topic: the @contents directive, else the first topic.
  int contents_context() const { return contents_; }
  const std::vector<HelpTopic>& topics() const { return topics_; }
  const HelpTopic* Find(int context) const;

  // All keywords and topic titles, sorted without regard to letter case.
  std::vector<HelpIndexEntry> Index() const;
  // Index entries matching `query` (trimmed, letter case ignored): entries
  // whose text or one of whose words starts with the query come first, then
  // entries that merely contain it; each group sorted like Index(). An empty
  // query gives the whole index.
  std::vector<HelpIndexEntry> Search(std::string_view query) const;

  // The topic as an HTML fragment: the title as a heading and the body.
  // Links are <a href="topic:N">; a link without its own text shows the
  // target topic's title.
  std::string TopicHtml(const HelpTopic& topic) const;

 private:
  std::string title_;
  int contents_ = 0;
  std::vector<HelpTopic> topics_;
};

struct HelpLoadResult {
  std::optional<HelpFile> file;  // set exactly when error.kind is None
  HelpError error;
  bool ok() const { return error.kind == HelpError::Kind::None; }
};

// Splits a block's text into spans. On a markup fault returns nullopt and
// sets `fault` to a description ("unclosed **", "bad link ...").
std::optional<std::vector<HelpSpan>> ParseHelpInline(std::string_view text, std::string* fault);

// The path of an existing file named like `path` without regard to letter
// case in the same folder; `path` itself when it exists or nothing matches.
std::string ResolveHelpPath(const std::string& path);

}  // namespace kalbor
