// The commands of kalbor-dbf. Each writes its results to `out` and returns
// the exit status; errors are raised (ETableError, EToolError, EUsage) and
// leave the files as they were, except that append keeps the rows it posted
// before a bad one.
#pragma once

#include <istream>
#include <ostream>

#include "args.h"

namespace kalbor::dbftool {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitNegative = 1;  // locate found nothing; check found faults
constexpr int kExitError = 2;

// Reading (read_commands.cpp).
int RunHeader(const TArgs& args, std::ostream& out);
int RunDump(const TArgs& args, std::ostream& out);
int RunLocate(const TArgs& args, std::ostream& out);

// Changing (change_commands.cpp).
int RunCreate(const TArgs& args, std::ostream& out);
int RunAppend(const TArgs& args, std::istream& in, std::ostream& out);
int RunSet(const TArgs& args, std::ostream& out);
int RunDelete(const TArgs& args, std::ostream& out);
int RunPack(const TArgs& args, std::ostream& out);
int RunIndex(const TArgs& args, std::ostream& out);

// Checking (check_command.cpp).
int RunCheck(const TArgs& args, std::ostream& out);

}  // namespace kalbor::dbftool
