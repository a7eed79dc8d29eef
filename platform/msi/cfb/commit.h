#pragma once
// Incremental commit of staged stream changes into an opened compound file.
#include "msi/cfb/image.h"
#include "msi/cfb/compound_file.h"
#include "msi/cfb/writer.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace msi::cfb {

struct change_set {
    std::optional<class_id> root_class;
    const std::map<std::u16string, compound_file::stream_pieces, name_less>& writes;
    const std::set<std::u16string, name_less>& removals;
    // Sub-storages written whole, and stored ones removed (a storage both
    // removed and written is replaced).
    const std::map<std::u16string, new_entry, name_less>& storage_writes;
    const std::set<std::u16string, name_less>& storage_removals;
};

// Whether a commit waits for the disk: `synced` makes the new state durable
// before and after the header switches to it; `ordered` only keeps the
// order in which the file is written, for a file that is thrown away after
// a crash.
enum class commit_durability { synced, ordered };

// Writes the changed streams, and every table and directory sector that
// changes, into sectors the committed state does not use (free ones, or
// new ones past the end, reserved on disk first); then the header, one
// write, switches to the new state. At every moment the file holds the
// committed state or the new one. Sectors the old state used are free from
// the next commit on; free sectors at the end are cut off. Streams not named
// in `changes` are neither read nor written. Raises ERROR_CREATE_FAILED when
// the file cannot be opened for writing and ERROR_FUNCTION_FAILED when
// writing fails, saying what became of the file; after a failure during
// writing the image refuses further commits (open the file again).
void commit_changes(image& img, const change_set& changes, commit_durability durability = commit_durability::synced);

}  // namespace msi::cfb
