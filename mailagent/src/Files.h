// Files the library writes so that no reader ever sees a part of one.
#pragma once

#include <string>

namespace agentqx {

// Creates dir and its missing parents; true when it is a directory afterwards.
bool MakeDirectories(const std::string& dir);

// Writes bytes as dir/name: into the temporary file dir/.name.tmp first, flushed to the
// disk, then renamed, and the rename flushed too. A crash leaves either the whole file or
// a temporary one, never a part under the final name. False (and nothing under name)
// when any step fails.
bool WriteWholeFile(const std::string& dir, const std::string& name, const std::string& bytes);

// The temporary name WriteWholeFile uses for name; such files are never final.
std::string TemporaryName(const std::string& name);
bool IsTemporaryName(const std::string& name);

}  // namespace agentqx
