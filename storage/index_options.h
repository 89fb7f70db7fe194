// Index options: the set of bits a caller passes when it builds an index
// file or lists one to open with a table.
#pragma once

namespace kalbor {

enum TIndexOption : int {
  ixPrimary = 1,          // a row whose key is present is refused (key violation)
  ixUnique = 2,           // a row whose key is present gets no entry
  ixDescending = 4,       // stored and walked greatest key first
  ixCaseInsensitive = 8,  // no trace in the file: keys compare byte for byte
  ixExpression = 16,      // no trace in the file
};

}  // namespace kalbor
