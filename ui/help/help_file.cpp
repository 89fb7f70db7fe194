#include "ui/help/help_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <tuple>

namespace kalbor {

namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kMaxHelpFileSize = 8u << 20;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool ValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF.
    if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) ||
        (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
      return false;
    i += extra + 1;
  }
  return true;
}

// A whole positive decimal number that fits an int, nothing else.
std::optional<int> ParseContext(std::string_view s) {
  if (s.empty() || s.size() > 10) return std::nullopt;
  for (char c : s)
    if (c < '0' || c > '9') return std::nullopt;
  int value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || value <= 0) return std::nullopt;
  return value;
}

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// HTML-escapes `s`; a space that follows a space becomes a non-breaking
// space, so that runs of spaces written in the file are kept.
void AppendHtmlEscaped(std::string& out, std::string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == ' ' && i > 0 && s[i - 1] == ' ') {
      out += "&nbsp;";
      continue;
    }
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
}

// Is `text` (lower case) a prefix match for `query` (lower case): the
// whole text or one of its words starts with it?
bool WordPrefixMatch(const std::string& text, const std::string& query) {
  for (size_t pos = 0; pos < text.size(); ++pos) {
    bool word_start = pos == 0 || !std::isalnum(static_cast<unsigned char>(text[pos - 1]));
    if (word_start && text.compare(pos, query.size(), query) == 0) return true;
  }
  return false;
}

bool IndexOrder(const HelpIndexEntry& a, const HelpIndexEntry& b) {
  return std::make_tuple(LowerAscii(a.text), LowerAscii(a.topic_title), a.context) <
         std::make_tuple(LowerAscii(b.text), LowerAscii(b.topic_title), b.context);
}

struct ParsedHelp {
  std::string title;
  int contents = 0;
  std::vector<HelpTopic> topics;
};

class Parser {
 public:
  Parser(std::string_view text, std::string name) : text_(text), name_(std::move(name)) {}

  // The parsed file, or nullopt with error() describing the first fault.
  std::optional<ParsedHelp> Run() {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") text_.remove_prefix(3);
    size_t start = 0;
    int line_no = 0;
    while (start <= text_.size()) {
      size_t end = text_.find('\n', start);
      if (end == std::string_view::npos) end = text_.size();
      std::string_view line = text_.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      ++line_no;
      if (!Line(line, line_no)) return std::nullopt;
      if (end == text_.size()) break;
      start = end + 1;
    }
    if (!Finish()) return std::nullopt;
    ParsedHelp parsed;
    parsed.title = std::move(title_);
    parsed.contents = contents_ ? contents_ : topics_.front().context;
    parsed.topics = std::move(topics_);
    return parsed;
  }

  const HelpError& error() const { return error_; }

 private:
  bool Fail(int line, std::string message) {
    error_.kind = HelpError::Kind::BadLine;
    error_.file = name_;
    error_.line = line;
    error_.message = std::move(message);
    return false;
  }

  HelpTopic* Current() { return topics_.empty() ? nullptr : &topics_.back(); }

  void CloseBlock() {
    if (open_block_ && Current()) Current()->body.push_back(std::move(block_));
    open_block_ = false;
    block_ = HelpBlock();
  }

  void StartBlock(HelpBlock::Kind kind, std::string_view text, int line_no) {
    CloseBlock();
    block_.kind = kind;
    block_.text = std::string(Trim(text));
    block_.line = line_no;
    open_block_ = true;
  }

  void Continue(std::string_view text) {
    std::string_view t = Trim(text);
    if (t.empty()) return;
    if (!block_.text.empty()) block_.text += ' ';
    block_.text += t;
  }

  bool Line(std::string_view line, int line_no) {
    if (!ValidUtf8(line)) return Fail(line_no, "the line is not valid UTF-8 text");
    if (!line.empty() && line.front() == ';') return true;  // comment
    if (!line.empty() && line.front() == '@') return Directive(line, line_no);
    if (!seen_help_) {
      if (Trim(line).empty()) return true;
      return Fail(line_no, "the file must begin with \"@help\" and the file's title");
    }
    HelpTopic* topic = Current();
    if (!topic) {
      if (Trim(line).empty()) return true;
      return Fail(line_no, "text outside a topic (a topic begins with \"@topic\" and its number)");
    }
    if (Trim(line).empty()) {
      CloseBlock();
      return true;
    }
    in_header_ = false;
    if (line.substr(0, 3) == "## ") {
      StartBlock(HelpBlock::Kind::Heading, line.substr(3), line_no);
      CloseBlock();
      return true;
    }
    if (line.substr(0, 2) == "- " || line.substr(0, 2) == "* ") {
      StartBlock(HelpBlock::Kind::Bullet, line.substr(2), line_no);
      return true;
    }
    size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
    if (digits > 0 && line.substr(digits, 2) == ". ") {
      StartBlock(HelpBlock::Kind::Numbered, line.substr(digits + 2), line_no);
      return true;
    }
    bool in_item = open_block_ && (block_.kind == HelpBlock::Kind::Bullet ||
                                   block_.kind == HelpBlock::Kind::Numbered);
    if (in_item && IsBlank(line.front())) {
      Continue(line);
      return true;
    }
    if (open_block_ && block_.kind == HelpBlock::Kind::Paragraph) {
      Continue(line);
      return true;
    }
    StartBlock(HelpBlock::Kind::Paragraph, line, line_no);
    return true;
  }

  bool Directive(std::string_view line, int line_no) {
    size_t space = line.find_first_of(" \t");
    std::string_view name = line.substr(0, space);
    std::string_view arg = space == std::string_view::npos ? std::string_view() : Trim(line.substr(space));
    if (name == "@help") {
      if (seen_help_) return Fail(line_no, "\"@help\" may appear only once, on the first line");
      if (arg.empty()) return Fail(line_no, "\"@help\" needs the file's title");
      seen_help_ = true;
      title_ = std::string(arg);
      return true;
    }
    if (!seen_help_) return Fail(line_no, "the file must begin with \"@help\" and the file's title");
    if (name == "@contents") {
      if (Current()) return Fail(line_no, "\"@contents\" belongs before the first topic");
      if (contents_) return Fail(line_no, "\"@contents\" may appear only once");
      auto context = ParseContext(arg);
      if (!context) return Fail(line_no, "\"@contents\" needs a topic number, not " + Quoted(arg));
      contents_ = *context;
      contents_line_ = line_no;
      return true;
    }
    if (name == "@topic") {
      if (!EndTopic()) return false;
      auto context = ParseContext(arg);
      if (!context)
        return Fail(line_no, "\"@topic\" needs a whole number greater than 0, not " + Quoted(arg));
      auto [it, fresh] = topic_lines_.emplace(*context, line_no);
      if (!fresh)
        return Fail(line_no, "topic " + std::to_string(*context) + " is already defined on line " +
                                 std::to_string(it->second));
      HelpTopic topic;
      topic.context = *context;
      topic.line = line_no;
      topics_.push_back(std::move(topic));
      in_header_ = true;
      return true;
    }
    if (name == "@title" || name == "@keywords") {
      HelpTopic* topic = Current();
      if (!topic) return Fail(line_no, Quoted(name) + " belongs inside a topic");
      if (!in_header_)
        return Fail(line_no, Quoted(name) + " must come before the topic's text");
      if (name == "@title") {
        if (!topic->title.empty()) return Fail(line_no, "the topic already has a title");
        if (arg.empty()) return Fail(line_no, "\"@title\" needs the topic's title");
        topic->title = std::string(arg);
        return true;
      }
      size_t before = topic->keywords.size();
      std::string_view rest = arg;
      while (!rest.empty()) {
        size_t semi = rest.find(';');
        std::string_view word = Trim(rest.substr(0, semi));
        if (!word.empty()) topic->keywords.emplace_back(word);
        if (semi == std::string_view::npos) break;
        rest.remove_prefix(semi + 1);
      }
      if (topic->keywords.size() == before)
        return Fail(line_no, "\"@keywords\" needs keywords separated by \";\"");
      return true;
    }
    return Fail(line_no, "unknown directive " + Quoted(name));
  }

  // Closes the topic being read and checks what can be checked on its own.
  bool EndTopic() {
    CloseBlock();
    HelpTopic* topic = Current();
    if (!topic) return true;
    if (topic->title.empty())
      return Fail(topic->line, "topic " + std::to_string(topic->context) + " has no \"@title\"");
    for (const HelpBlock& block : topic->body) {
      std::string fault;
      auto spans = ParseHelpInline(block.text, &fault);
      if (!spans) return Fail(block.line, fault);
      for (const HelpSpan& span : *spans)
        if (span.kind == HelpSpan::Kind::Link) links_.emplace_back(span.target, block.line);
    }
    return true;
  }

  bool Finish() {
    if (!seen_help_) {
      return Fail(1, "the file must begin with \"@help\" and the file's title");
    }
    if (!EndTopic()) return false;
    if (topics_.empty()) {
      error_.kind = HelpError::Kind::NoTopics;
      error_.file = name_;
      return false;
    }
    for (const auto& [target, line] : links_)
      if (!topic_lines_.count(target))
        return Fail(line, "link to topic " + std::to_string(target) + ", which the file does not have");
    if (contents_ && !topic_lines_.count(contents_))
      return Fail(contents_line_, "the contents topic " + std::to_string(contents_) + " does not exist");
    return true;
  }

  std::string_view text_;
  std::string name_;
  HelpError error_;
  bool seen_help_ = false;
  std::string title_;
  int contents_ = 0;
  int contents_line_ = 0;
  std::vector<HelpTopic> topics_;
  std::map<int, int> topic_lines_;            // context -> line of its @topic
  std::vector<std::pair<int, int>> links_;    // target -> line of the block
  bool in_header_ = false;
  bool open_block_ = false;
  HelpBlock block_;
};

}  // namespace


std::string HelpError::Describe() const {
  switch (kind) {
    case Kind::None:
      return std::string();
    case Kind::MissingFile:
      return "The help file " + Quoted(file) + " was not found.";
    case Kind::Unreadable:
      return "The help file " + Quoted(file) + " could not be read: " + message + ".";
    case Kind::NoTopics:
      return "The help file " + Quoted(file) + " contains no topics.";
    case Kind::BadLine:
      return BaseName(file) + ", line " + std::to_string(line) + ": " + message + ".";
  }
  return message;
}

std::optional<std::vector<HelpSpan>> ParseHelpInline(std::string_view text, std::string* fault) {
  std::vector<HelpSpan> spans;
  bool bold = false;
  std::string pending;
  auto flush = [&] {
    if (pending.empty()) return;
    if (!spans.empty() && spans.back().kind == HelpSpan::Kind::Text && spans.back().bold == bold)
      spans.back().text += pending;
    else
      spans.push_back(HelpSpan{HelpSpan::Kind::Text, bold, pending, 0});
    pending.clear();
  };
  auto failed = [&](std::string message) -> std::optional<std::vector<HelpSpan>> {
    if (fault) *fault = std::move(message);
    return std::nullopt;
  };
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '\\') {
      if (i + 1 < text.size()) {
        pending += text[i + 1];
        i += 2;
      } else {
        pending += c;
        ++i;
      }
      continue;
    }
    if (c == '*' && text.substr(i, 2) == "**") {
      flush();
      bold = !bold;
      i += 2;
      continue;
    }
    if (c == '[' && text.substr(i, 2) == "[[") {
      size_t close = text.find("]]", i + 2);
      if (close == std::string_view::npos) return failed("a link \"[[\" is not closed by \"]]\"");
      std::string_view inside = text.substr(i + 2, close - i - 2);
      size_t bar = inside.find('|');
      std::string_view number = Trim(inside.substr(0, bar));
      auto target = ParseContext(number);
      if (!target) return failed("a link must name a topic number: \"[[" + std::string(inside) + "]]\"");
      std::string own;
      if (bar != std::string_view::npos) {
        own = std::string(Trim(inside.substr(bar + 1)));
        if (own.empty()) return failed("the link \"[[" + std::string(inside) + "]]\" has an empty text");
      }
      flush();
      spans.push_back(HelpSpan{HelpSpan::Kind::Link, bold, own, *target});
      i = close + 2;
      continue;
    }
    pending += c;
    ++i;
  }
  if (bold) return failed("bold text \"**\" is not closed by a second \"**\"");
  flush();
  return spans;
}

std::string ResolveHelpPath(const std::string& path) {
  std::error_code ec;
  if (path.empty() || fs::exists(path, ec)) return path;
  fs::path p(path);
  fs::path folder = p.parent_path();
  std::string wanted = LowerAscii(p.filename().string());
  fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
  if (ec) return path;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (LowerAscii(it->path().filename().string()) == wanted) return (folder / it->path().filename()).string();
  }
  return path;
}

HelpLoadResult HelpFile::Load(const std::string& path) {
  HelpLoadResult result;
  std::string resolved = ResolveHelpPath(path);
  std::error_code ec;
  auto status = fs::status(resolved, ec);
  if (ec || !fs::exists(status)) {
    result.error = HelpError{HelpError::Kind::MissingFile, path, 0, "not found"};
    return result;
  }
  if (fs::is_directory(status)) {
    result.error = HelpError{HelpError::Kind::Unreadable, path, 0, "it is a folder"};
    return result;
  }
  auto size = fs::file_size(resolved, ec);
  if (!ec && size > kMaxHelpFileSize) {
    result.error = HelpError{HelpError::Kind::Unreadable, path, 0, "the file is too large"};
    return result;
  }
  std::ifstream in(resolved, std::ios::binary);
  if (!in) {
    result.error = HelpError{HelpError::Kind::Unreadable, path, 0, "the file cannot be opened"};
    return result;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    result.error = HelpError{HelpError::Kind::Unreadable, path, 0, "a read error occurred"};
    return result;
  }
  return Parse(text, resolved);
}

HelpLoadResult HelpFile::Parse(std::string_view text, const std::string& name) {
  HelpLoadResult result;
  Parser parser(text, name);
  auto parsed = parser.Run();
  if (!parsed) {
    result.error = parser.error();
    return result;
  }
  HelpFile file;
  file.title_ = std::move(parsed->title);
  file.contents_ = parsed->contents;
  file.topics_ = std::move(parsed->topics);
  result.file = std::move(file);
  return result;
}

const HelpTopic* HelpFile::Find(int context) const {
  for (const HelpTopic& topic : topics_)
    if (topic.context == context) return &topic;
  return nullptr;
}

std::vector<HelpIndexEntry> HelpFile::Index() const {
  std::vector<HelpIndexEntry> entries;
  for (const HelpTopic& topic : topics_) {
    std::set<std::string> seen;
    auto add = [&](const std::string& text) {
      if (seen.insert(LowerAscii(text)).second) entries.push_back({text, topic.context, topic.title});
    };
    add(topic.title);
    for (const std::string& keyword : topic.keywords) add(keyword);
  }
  std::sort(entries.begin(), entries.end(), IndexOrder);
  return entries;
}

std::vector<HelpIndexEntry> HelpFile::Search(std::string_view query) const {
  std::string q = LowerAscii(Trim(query));
  std::vector<HelpIndexEntry> all = Index();
  if (q.empty()) return all;
  std::vector<HelpIndexEntry> prefix, inner;
  for (HelpIndexEntry& entry : all) {
    std::string text = LowerAscii(entry.text);
    if (WordPrefixMatch(text, q))
      prefix.push_back(std::move(entry));
    else if (text.find(q) != std::string::npos)
      inner.push_back(std::move(entry));
  }
  prefix.insert(prefix.end(), std::make_move_iterator(inner.begin()), std::make_move_iterator(inner.end()));
  return prefix;
}

std::string HelpFile::TopicHtml(const HelpTopic& topic) const {
  std::string html;
  html += "<h2>";
  AppendHtmlEscaped(html, topic.title);
  html += "</h2>\n";
  const char* open_list = nullptr;
  auto close_list = [&] {
    if (open_list) html += std::string("</") + open_list + ">\n";
    open_list = nullptr;
  };
  for (const HelpBlock& block : topic.body) {
    const char* list = block.kind == HelpBlock::Kind::Bullet     ? "ul"
                       : block.kind == HelpBlock::Kind::Numbered ? "ol"
                                                                  : nullptr;
    if (list != open_list) {
      close_list();
      if (list) html += std::string("<") + list + ">\n";
      open_list = list;
    }
    std::string inner;
    auto spans = ParseHelpInline(block.text, nullptr);
    if (!spans) {
      AppendHtmlEscaped(inner, block.text);  // not reached for a checked file
    } else {
      for (const HelpSpan& span : *spans) {
        if (span.bold) inner += "<b>";
        if (span.kind == HelpSpan::Kind::Link) {
          inner += "<a href=\"topic:" + std::to_string(span.target) + "\">";
          const HelpTopic* target = Find(span.target);
          std::string text = !span.text.empty() ? span.text
                             : target           ? target->title
                                                : "topic " + std::to_string(span.target);
          AppendHtmlEscaped(inner, text);
          inner += "</a>";
        } else {
          AppendHtmlEscaped(inner, span.text);
        }
        if (span.bold) inner += "</b>";
      }
    }
    switch (block.kind) {
      case HelpBlock::Kind::Heading: html += "<h3>" + inner + "</h3>\n"; break;
      case HelpBlock::Kind::Paragraph: html += "<p>" + inner + "</p>\n"; break;
      default: html += "<li>" + inner + "</li>\n"; break;
    }
  }
  close_list();
  return html;
}

}  // namespace kalbor
