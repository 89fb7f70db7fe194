// TIndexFile: one single-key index file (.NDX): a 512-byte header page and
// 512-byte node pages forming a B-tree whose leaves hold one entry per table
// row (key, physical record number). It reaches its pages only through
// TPageFile.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "storage/index_key.h"
#include "storage/index_options.h"
#include "storage/page_file.h"

namespace kalbor {

enum class TUniqueMode { None, Unique, Primary };

enum class TFindMode {
  Exact,        // lower bound: first entry whose key is not less than the key
  RecordEntry,  // the entry holding the key and a given record number
  InsertPoint,  // upper bound: first entry whose key is greater than the key
};

// Counters of an index file's traffic since it was opened (tests and the
// performance checks read them).
struct TIndexStats {
  uint64_t page_reads = 0;     // node pages read from the file
  uint64_t page_writes = 0;    // node pages written
  uint64_t header_reads = 0;   // header page reads
  uint64_t header_writes = 0;  // header page writes
};

// Semantics refined by the implementation (index_file.cpp):
// - Every operation on a damaged file raises ETableError with a message
//   "Index file <path> is damaged: <what>." (one text per kind of damage);
//   none reads outside a page buffer or loops without bound.
// - Mutating operations on a file opened ReadOnly raise "Cannot modify a
//   read-only dataset"; searches, moves and maintenance on a closed index
//   raise "Index file is not open." (the const queries answer 0 / false).
// - Shared modes are those of IsSharedMode(), ReadOnly included: the header
//   and root are read again before every search, pages are read again
//   whenever positioned on, and changes are written at the end of each
//   insertion or deletion. Before Next or Prior the current path is read
//   again; if the entry is no longer in its place it is searched by key and
//   record number, and if another writer removed it the step goes on from
//   where its key stands (an entry with the same key may be met again, none
//   is passed over). DeleteKey's shortcut (the current entry already carries
//   the record number and the key) is taken in the exclusive modes only.
// - Exclusive modes keep the inner pages they read or write in memory (up
//   to 512 of them), so a search reads at most its leaf; Stats() counts
//   only reads that reach the file.
// - A walk in one direction that passes more leaves than the file has pages
//   raises the damage "the leaves form a loop".
// - Until SetupKey, a freshly created file has no key (KeyLength() 0):
//   InsertKey, DeleteKey and UpdateKey do nothing and Find finds nothing.
// - Keys: the encoding follows the header's key type letter (C: raw field
//   bytes cut or blank-padded to the key length; otherwise an IEEE 754
//   double from DecodeNumeric, blank = 0.0). Keys handed to Find are cut or
//   padded (blanks, or zero bytes for a numeric key) to the key length.
// - Positions: after Find on the found entry or where the key would go; after
//   InsertKey on the new entry; after DeleteKey on the entry that followed the
//   removed one (possibly after the last entry of a leaf). Open of an
//   existing file leaves the position on the first entry.
class TIndexFile {
 public:
  TIndexFile();
  ~TIndexFile();
  TIndexFile(const TIndexFile&) = delete;
  TIndexFile& operator=(const TIndexFile&) = delete;

  // Opens the file in `mode`. A create mode empties the file and initialises
  // it as an empty index (header page plus one empty root leaf); an open mode
  // reads the existing header (with the clamp repair of an oversized entry
  // length). Damaged headers raise ETableError.
  void Open(const std::string& path, TOpenMode mode);
  // Writes modified pages and the header page, then closes the file.
  void Close();
  void Flush();
  // For a build: pages written meanwhile are held and reach the file in page
  // order, many in one write, when it is switched off, at Flush and at Close
  // (exclusive modes; shared ones write at once regardless).
  void SetWriteBehind(bool on);
  bool IsOpen() const;
  const std::string& Path() const;

  // Writes a fresh header for the key and resets the tree to one empty root
  // leaf (page count 2). The file is not shortened.
  void SetupKey(const std::string& expression, bool character_key, uint16_t key_length,
                int options);
  // Binds the key to its field in the table's records (after SetupKey, or
  // after opening an existing file whose expression the table has parsed).
  // Raises ETableError when source.character differs from CharacterKey().
  void BindKeySource(const TKeySource& source);

  // Header facts.
  const std::string& Expression() const;  // upper-case field name
  bool CharacterKey() const;
  uint16_t KeyLength() const;
  bool Descending() const;
  TUniqueMode UniqueMode() const;
  int Options() const;  // the ix* bits that reach the file (descending, unique, primary)

  // Keys.
  std::vector<uint8_t> KeyFromRecord(const uint8_t* record) const;
  std::vector<uint8_t> KeyFromNumber(double value) const;
  std::vector<uint8_t> KeyFromText(const std::string& bytes) const;  // cut/padded to the key length

  // Maintenance. InsertKey raises the key violation of a primary index
  // before it changes anything, so a refused key leaves the file as it was;
  // a unique index silently skips a present key. An entry already present
  // for the same key and record is no violation (the undo of a failed
  // change puts entries back this way). A primary index holds no
  // entries for rows marked deleted (record byte 0 == '*'): InsertKey skips
  // such a record there. DeleteKey does nothing when the entry is not found.
  // UpdateKey does nothing when the two keys compare equal; it too refuses
  // before any change; when inserting the new key fails otherwise, the old
  // entry is put back before the error passes on.
  // CheckKeyFree raises the key violation that InsertKey(recno, record), or
  // UpdateKey(recno, old_record, record) when old_record is given, would
  // raise, and changes nothing: a table asks each of its indexes before it
  // changes any, so that a refused row leaves all of them as they were.
  void CheckKeyFree(uint32_t recno, const uint8_t* record, const uint8_t* old_record = nullptr);
  void InsertKey(uint32_t recno, const uint8_t* record);
  void DeleteKey(uint32_t recno, const uint8_t* record);
  void UpdateKey(uint32_t recno, const uint8_t* old_record, const uint8_t* new_record);

  // Search and traversal. After Find the position is on the found entry (or
  // where the key would go); the result says whether an equal key (and, for
  // RecordEntry, that record number) was found. For InsertPoint it says
  // whether the entry just before the position holds an equal key.
  bool Find(const std::vector<uint8_t>& key, TFindMode mode, uint32_t recno = 0);
  void First();  // before the first entry
  void Last();   // after the last entry
  bool Next();
  bool Prior();
  uint32_t CurrentRecNo() const;  // 0 when before the first or after the last entry
  bool BeforeFirst() const;
  bool AfterLast() const;

  // Position estimate: 0 before the first entry, 2147483647 after the last,
  // else 1 + sum over levels of (entry index * level weight), the leaf's
  // weight 1 and each level above the one below times MaxKeys(); capped at
  // 2147483646. SetPositionEstimate is its inverse; 0 goes
  // before the first entry and 2147483647 after the last, and a number past
  // the end goes to the last entry.
  uint32_t PositionEstimate() const;
  void SetPositionEstimate(uint32_t position);
  // Root weight * pointers on the root: exact for a one-page tree, 0 for an
  // empty index; capped at 2147483646.
  uint32_t CountEstimate() const;

  // Inspection, for CheckIndexFile, kalbor-dbf and tests.
  uint32_t RootPage() const;
  uint32_t PageCount() const;  // header page count: the next page to allocate
  uint16_t EntryLength() const;
  uint16_t MaxKeys() const;
  bool HeaderRepaired() const;         // the clamp repair was applied on open
  const uint8_t* HeaderImage() const;  // the 512 header bytes as they will be written
  size_t Depth() const;                // tree levels = page objects held in memory
  // Node page n as the index sees it: the copy a page object holds, else the
  // file's bytes (zero past the end). False when n lies past the file's end
  // and no page object holds it.
  bool ReadNodePage(uint32_t n, uint8_t* buffer);
  int CompareKeys(const uint8_t* a, const uint8_t* b) const;  // descending negates
  bool KeyBound() const;
  const TKeySource& KeySource() const;
  const TIndexStats& Stats() const;
  void ResetStats();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kalbor
