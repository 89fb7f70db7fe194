// How the tool reaches tables: file names from the command line taken
// relative to the working folder, table objects opened read-only or
// exclusively together with the --index files, rows found by record number,
// and values crossing between command-line or CSV text and field objects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/fields.h"
#include "storage/table_object.h"

namespace kalbor::dbftool {

enum class TAccess { ReadOnly, Exclusive };

// Dates as YYYY-MM-DD and a point before decimals, whatever the locale.
void UseToolFormats();

// `path` made absolute against the working folder.
std::string AbsolutePath(const std::string& path);

// Points `table` at `path` and opens it with `indexes` as its index files
// (kept current by every change). A table whose header announces a zero
// header or record length opens as nothing; that raises EToolError.
void OpenTable(TTableObject& table, const std::string& path, TAccess access,
               const std::vector<std::string>& indexes);
// Makes the first of `indexes`, if any, the order of the rows.
void SelectFirstIndex(TTableObject& table, const std::vector<std::string>& indexes);

// Makes record `recno` current, or raises EToolError when the table has no
// such record or it is marked deleted. Needs physical order.
void GotoRecord(TTableObject& table, uint32_t recno);

// A field's value as the tool shows it: booleans T or F, dates YYYY-MM-DD,
// numbers in plain decimal notation, text as stored; blank fields empty.
std::string FieldText(TField& field);
// A value of the field's kind for Locate, read from `text` as FieldText
// writes it; empty text is null. Raises ETableError for text that is not
// a value of that kind.
TVariant KeyValue(TField& field, const std::string& text);

// True for the numeric kinds, whose values are aligned right.
bool IsNumericField(const TField& field);

}  // namespace kalbor::dbftool
