// kalbor-dbf: reads, changes and checks table files (.DBF) and their index
// files (.NDX) from the command line, through the table layer alone.
#include <cstring>
#include <iostream>

#include "args.h"
#include "commands.h"
#include "table_access.h"
#include "tool_error.h"

namespace {

const char kUsage[] = R"(Usage: kalbor-dbf COMMAND FILE.DBF [ARGUMENTS] [OPTIONS]

Reads, changes and checks table files (.DBF) and their index files (.NDX).

Commands:
  header FILE.DBF
      Level, last-update date, record count, header and record length, then
      one line per field: name, type letter, length, decimals.
  dump FILE.DBF [--deleted] [--csv] [--index FILE.NDX]...
      The rows with their record numbers, in file order, or in the order of
      the first --index. --deleted also shows the deleted rows, their record
      numbers marked '*'. --csv writes CSV: a line RECNO,FIELD,... and then
      one line per row.
  create FILE.DBF NAME:KIND[:SIZE]... [--replace]
      Makes an empty level-3 table. KIND is integer (SIZE 1-20 digits,
      default 9), string (SIZE 1-254 characters, required), boolean or date.
      NAME is 1-10 letters, digits or '_', beginning with a letter. An
      existing file is replaced only with --replace.
  append FILE.DBF [--index FILE.NDX]...
      Adds the rows of the CSV read from standard input. Its first line names
      the fields it gives (a RECNO column, as dump --csv writes it, is
      ignored); fields not named stay blank; empty lines are skipped. Each
      row is posted as soon as it is read: at a bad row the command reports
      its line and stops, and the rows before it stay in the table.
  set FILE.DBF RECNO NAME=VALUE... [--index FILE.NDX]...
      Changes fields of one row and posts it; NAME= blanks a field.
  delete FILE.DBF RECNO... [--index FILE.NDX]...
      Marks rows deleted; they stay in the file until pack.
  pack FILE.DBF [--index FILE.NDX]...
      Removes the deleted rows and numbers the others anew from 1. The file
      as it was before stays beside the table as NAME_n.DBF.
  locate FILE.DBF FIELD VALUE [--nocase] [--partial] [--index FILE.NDX]...
      Prints the record number of the first row, in file order or in the
      first --index's order, whose FIELD equals VALUE; --nocase ignores the
      case of letters, --partial lets VALUE match the beginning of a text.
      Prints "not found" with exit status 1 when no row matches. When that
      index is keyed on FIELD the search goes through it and is exact:
      --nocase and --partial then have no effect.
  index FILE.DBF FILE.NDX FIELD [--options N]
      Builds an index file on one string, boolean or number field. N is the
      sum of: 1 primary, 2 unique, 4 descending, 8 case-insensitive (keeps
      no trace in the file), 16 expression (likewise).
  check FILE.DBF [FILE.NDX]...
      Checks the table's structure and each index file against the table,
      changing nothing. Prints each fault, or OK per file; exit status 1
      when there are faults.

Options:
  --index FILE.NDX  An index file opened with the table and kept current by
                    every change (repeatable; dump and locate follow the
                    first one's order).
  --                Ends the options: later arguments are values even when
                    they begin with "--".

Values: dates are YYYY-MM-DD, booleans T or F, numbers are written with a
point; an empty value is blank. Text is UTF-8; a table stores only the
characters of the Western European code page.

Exit status: 0 done, 1 nothing found (locate) or faults found (check),
2 error: the message goes to standard error and the files are left as they
were (but for the rows append posted before a bad one).
)";

// Messages may carry CR LF line breaks; a terminal wants LF.
std::string TerminalText(std::string text) {
  for (size_t p; (p = text.find("\r\n")) != std::string::npos;) text.erase(p, 1);
  return text;
}

int Run(const kalbor::dbftool::TArgs& args) {
  using namespace kalbor::dbftool;
  const std::string& c = args.command;
  if (c == "header") return RunHeader(args, std::cout);
  if (c == "dump") return RunDump(args, std::cout);
  if (c == "create") return RunCreate(args, std::cout);
  if (c == "append") return RunAppend(args, std::cin, std::cout);
  if (c == "set") return RunSet(args, std::cout);
  if (c == "delete") return RunDelete(args, std::cout);
  if (c == "pack") return RunPack(args, std::cout);
  if (c == "locate") return RunLocate(args, std::cout);
  if (c == "index") return RunIndex(args, std::cout);
  if (c == "check") return RunCheck(args, std::cout);
  throw EUsage("unknown command '" + c + "'");
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kalbor::dbftool;
  std::ios::sync_with_stdio(false);
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
                    std::strcmp(argv[1], "help") == 0)) {
    std::cout << kUsage;
    return kExitOk;
  }
  UseToolFormats();
  try {
    int status = Run(ParseArgs(argc, argv));
    std::cout.flush();
    return status;
  } catch (const EUsage& e) {
    std::cout.flush();
    std::cerr << "kalbor-dbf: " << e.what() << "\nTry 'kalbor-dbf --help'.\n";
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "kalbor-dbf: " << TerminalText(e.what()) << '\n';
  }
  return kExitError;
}
